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

let connected = false; // the first reading succeeded

function show_status() {
  if (!connected) return;
  const count = `${boards.length} board${boards.length === 1 ? '' : 's'}`;
  status.textContent = `${count} (${info.boards} boards, library ${info.library}) · ${live}`;
}

// The serial chosen, kept in the address so that a reload shows it again.
function chosen_serial() {
  return new URLSearchParams(location.hash.slice(1)).get('board');
}

function choose(serial) {
  history.replaceState(null, '', `#${new URLSearchParams({ board: serial })}`);
  const shown = board.show(serial);
  mark_chosen();
  return shown;
}

function mark_chosen() {
  for (const button of rows.querySelectorAll('button')) {
    button.setAttribute('aria-current', String(button.dataset.serial === board.shown_serial()));
  }
}

let lists_asked = 0;

async function refresh_list() {
  // Lists asked for at once may answer out of order: only the last one counts.
  const asked = ++lists_asked;
  const answer = await call('GET', '/api/boards');
  if (asked !== lists_asked) return;
  boards = answer;
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
  // The board shown follows the list: it leaves with its row and comes
  // back with it.
  const shown = board.shown_serial();
  if (shown === null) {
    if (boards.length > 0) await choose(chosen_serial() ?? boards[0].serial);
  } else if (!boards.some((entry) => entry.serial === shown)) {
    board.left();
  } else if (!board.is_present()) {
    await board.show(shown);
  }
}

rows.addEventListener('click', (event) => {
  const serial = event.target.closest('button')?.dataset.serial;
  if (serial !== undefined) choose(serial);
});

// After a load or a break: the list, every update, and the board shown read afresh.
async function refresh_all() {
  const shown = board.shown_serial();
  await refresh_list();
  firmware.all_updates(await call('GET', '/api/updates'));
  if (shown !== null && board.is_present()) await board.show(shown);
}

// A failure of the page's own reading: said in the status line.
function show_failure(failure) {
  status.textContent = `The boards cannot be read: ${failure.message}`;
}

function data(event) {
  return JSON.parse(event.data);
}

function follow_events() {
  const events = new EventSource('/api/events');
  events.addEventListener('arrived', () => refresh_list().catch(show_failure));
  events.addEventListener('removed', () => refresh_list().catch(show_failure));
  events.addEventListener('board', (event) => board.changed(data(event)));
  events.addEventListener('register', (event) => registers.written(data(event)));
  events.addEventListener('update', (event) => {
    const update = data(event);
    firmware.update(update);
    if (update.phase === 'done') {
      refresh_list().catch(show_failure);
      if (update.serial === board.shown_serial()) board.show(update.serial);
    }
  });
  events.addEventListener('watch', (event) => {
    live = `not live (${data(event).error}): reload to see arrivals and removals`;
    show_status();
  });
  events.addEventListener('resync', () => refresh_all().catch(show_failure));
  let broken = false;
  events.addEventListener('error', () => {
    broken = true;
    // The browser tries again after a break, but not after a refusal (a
    // panel started anew has another token).
    live = events.readyState === EventSource.CLOSED
      ? 'not connected: open the address velnor-panel printed'
      : 'the connection to the panel is lost; trying again';
    show_status();
  });
  events.addEventListener('open', () => {
    if (!broken) return;
    broken = false;
    live = 'live';
    refresh_all().catch(show_failure);
  });
}

try {
  await start_session();
  follow_events();
  const asked = call('GET', '/api/info');
  asked.catch(() => {}); // a refusal is reported once, by the reading below
  await refresh_all();
  info = await asked;
  connected = true;
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
