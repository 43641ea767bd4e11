// The panel's page: starts the session, lists the boards, shows the one
// chosen, and follows the event stream so that arrivals, removals and
// every tab's changes appear without a reload.
import { call, start_session } from './api.js';
import * as board from './board_view.js';
import * as firmware from './firmware_view.js';
import { refresh_log } from './log_view.js';
import * as registers from './registers_view.js';

const status = document.getElementById('status');
const notice = document.getElementById('notice');
const rows = document.querySelector('#boards tbody');
const no_boards = document.getElementById('no-boards');

let boards = [];
let live = 'live';
let info = null;

function show_status() {
  const count = `${boards.length} board${boards.length === 1 ? '' : 's'}`;
  status.textContent = `${count} (${info?.boards ?? ''} boards, library ${info?.library ?? ''}) · ${live}`;
}

// The serial chosen, kept in the address so that a reload shows it again.
function chosen_serial() {
  return new URLSearchParams(location.hash.slice(1)).get('board');
}

function choose(serial) {
  history.replaceState(null, '', `#${new URLSearchParams({ board: serial })}`);
  mark_chosen();
  board.show(serial);
}

function mark_chosen() {
  for (const button of rows.querySelectorAll('button')) {
    button.setAttribute('aria-current', String(button.dataset.serial === board.shown_serial()));
  }
}

async function refresh_list() {
  boards = await call('GET', '/api/boards');
  rows.replaceChildren(...boards.map((entry) => {
    const row = document.createElement('tr');
    const serial_cell = document.createElement('th');
    serial_cell.scope = 'row';
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'link';
    button.dataset.serial = entry.serial;
    button.textContent = entry.serial;
    button.title = `Board ${entry.index}: ${entry.path}`;
    serial_cell.append(button);
    row.append(serial_cell);
    for (const value of [entry.firmware, entry.driver]) {
      row.insertCell().textContent = value;
    }
    return row;
  }));
  no_boards.hidden = boards.length > 0;
  mark_chosen();
  show_status();
  const shown = board.shown_serial();
  if (shown === null && boards.length > 0) {
    choose(chosen_serial() ?? boards[0].serial);
  }
}

rows.addEventListener('click', (event) => {
  const serial = event.target.closest('button')?.dataset.serial;
  if (serial !== undefined) choose(serial);
});

async function refresh_all() {
  const shown = board.shown_serial();
  await refresh_list();
  firmware.all_updates(await call('GET', '/api/updates'));
  if (shown !== null) {
    if (boards.some((entry) => entry.serial === shown)) await board.show(shown);
    else board.left();
  }
}

function data(event) {
  return JSON.parse(event.data);
}

function follow_events() {
  const events = new EventSource('/api/events');
  events.addEventListener('arrived', async (event) => {
    await refresh_list();
    if (data(event).serial === board.shown_serial()) board.show(board.shown_serial());
  });
  events.addEventListener('removed', async (event) => {
    await refresh_list();
    const shown = board.shown_serial();
    if (data(event).serial === shown && !boards.some((entry) => entry.serial === shown)) board.left();
  });
  events.addEventListener('board', (event) => board.changed(data(event)));
  events.addEventListener('register', (event) => registers.written(data(event)));
  events.addEventListener('update', (event) => {
    const update = data(event);
    firmware.update(update);
    if (update.phase === 'done') {
      refresh_list();
      if (update.serial === board.shown_serial()) board.show(update.serial);
    }
  });
  events.addEventListener('watch', (event) => {
    live = `not live (${data(event).error}): reload to see arrivals and removals`;
    show_status();
  });
  events.addEventListener('resync', () => refresh_all());
  let broken = false;
  events.addEventListener('error', () => {
    broken = true;
    live = 'the connection to the panel is lost; trying again';
    show_status();
  });
  events.addEventListener('open', () => {
    if (!broken) return;
    broken = false;
    live = 'live';
    refresh_all().catch(() => {});
  });
}

try {
  await start_session();
  follow_events();
  const asked = call('GET', '/api/info');
  await refresh_all();
  info = await asked;
  show_status();
  refresh_log();
  performance.mark('panel-interactive');
} catch (failure) {
  status.textContent = 'Not connected';
  notice.textContent = failure.status === 401
    ? 'The panel refused this page: open the address velnor-panel printed, with its #token=..., once.'
    : `The panel cannot be reached: ${failure.message}`;
  notice.hidden = false;
}
