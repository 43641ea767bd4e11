// Shows a failure where it happened: the panel's message and, when the
// library refused, its log line. Every failure also refreshes the log.
import { refresh_log } from './log_view.js';

export function show_failure(box, failure) {
  const message = document.createElement('span');
  message.textContent = failure.message;
  const parts = [message];
  if (failure.body?.log_line) {
    const line = document.createElement('code');
    line.className = 'log-line';
    line.textContent = failure.body.log_line;
    parts.push(line);
  }
  box.replaceChildren(...parts);
  box.hidden = false;
  refresh_log();
}

export function clear_failure(box) {
  box.hidden = true;
  box.replaceChildren();
}
