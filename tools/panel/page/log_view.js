// The library's failure lines of this session, newest last.
import { call } from './api.js';

const lines = document.getElementById('log-lines');
const empty = document.getElementById('log-empty');
const path = document.getElementById('log-path');

export async function refresh_log() {
  try {
    const log = await call('GET', '/api/log');
    path.textContent = `From ${log.path}`;
    lines.replaceChildren(...log.lines.map((text) => {
      const item = document.createElement('li');
      item.textContent = text;
      return item;
    }));
    empty.hidden = log.lines.length > 0;
  } catch (failure) {
    path.textContent = `The log cannot be read: ${failure.message}`;
  }
}

document.getElementById('log-refresh').addEventListener('click', refresh_log);
