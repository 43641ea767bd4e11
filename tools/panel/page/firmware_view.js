// Firmware update of the shown board: the chosen image's facts first, then
// the update's progress and its result, from the event stream. The update
// runs in the panel: this tab may close, another tab shows the same.
import { board_path, call } from './api.js';
import { clear_failure, show_failure } from './failure_view.js';
import { bytes_text } from './format.js';

const file_input = document.getElementById('firmware-file');
const facts = document.getElementById('image-facts');
const start = document.getElementById('firmware-start');
const running_box = document.getElementById('firmware-running');
const progress = document.getElementById('firmware-progress');
const phase = document.getElementById('firmware-phase');
const result = document.getElementById('firmware-result');
// A screen reader hears each phase once, not every percent.
const announce = document.getElementById('firmware-announce');

const updates = new Map(); // serial -> its last update event
let serial = null;
let image = null; // {file, facts} once checked
let usable = false;

const running_phases = new Set(['starting', 'erasing', 'writing', 'verifying']);
const phase_names = { starting: 'Starting', erasing: 'Erasing', writing: 'Writing', verifying: 'Verifying' };

function running() {
  return running_phases.has(updates.get(serial)?.phase);
}

function refresh_start() {
  start.disabled = !usable || !image || running();
  start.textContent = image ? `Update board ${serial ?? ''} to ${image.facts.version}` : 'Update firmware';
}

function render() {
  const event = updates.get(serial);
  running_box.hidden = !event;
  if (!event) {
    clear_failure(result);
    refresh_start();
    return;
  }
  const percent = event.total ? Math.floor((event.sent * 100) / event.total) : 0;
  progress.value = percent;
  progress.setAttribute('aria-valuetext', `${percent} percent`);
  const said = `Firmware update to ${event.image}: ${phase_names[event.phase] ?? event.phase}`;
  if (announce.textContent !== said) announce.textContent = said;
  if (running_phases.has(event.phase)) {
    phase.textContent = `${phase_names[event.phase]} ${event.image}: ${percent} % (${event.sent.toLocaleString('en-US')} of ${bytes_text(event.total)})`;
    clear_failure(result);
  } else {
    phase.textContent = `Update to ${event.image}: ${event.phase}`;
    result.className = event.phase === 'done' ? 'success' : 'failure';
    if (event.phase === 'done') {
      result.textContent = `Done: board ${event.serial} runs firmware ${event.firmware}.`;
    } else {
      const why = event.error ? `${event.error.error}. ` : '';
      result.textContent = `${event.phase === 'failed' ? 'Failed' : 'Stopped'}: ${why}${event.reset ?? ''}`;
    }
    result.hidden = false;
  }
  refresh_start();
}

file_input.addEventListener('change', async () => {
  image = null;
  facts.hidden = true;
  clear_failure(result);
  refresh_start();
  const file = file_input.files[0];
  if (!file) return;
  try {
    const checked = await call('POST', '/api/firmware/check', file);
    image = { file, facts: checked };
    document.getElementById('image-version').textContent = checked.version;
    document.getElementById('image-size').textContent = bytes_text(checked.size);
    document.getElementById('image-payload').textContent = bytes_text(checked.payload_length);
    document.getElementById('image-crc').textContent = checked.payload_crc32;
    facts.hidden = false;
  } catch (failure) {
    result.className = 'failure';
    show_failure(result, new Error(`${file.name} cannot be used: ${failure.message}`));
  }
  refresh_start();
});

start.addEventListener('click', async () => {
  const asked = serial;
  start.disabled = true;
  try {
    update(await call('POST', board_path(asked, 'firmware'), image.file));
  } catch (failure) {
    if (asked !== serial) return;
    result.className = 'failure';
    show_failure(result, failure);
    refresh_start();
  }
});

// An update event of any board: the newest of each is kept.
export function update(event) {
  const known = updates.get(event.serial);
  if (known && (known.update > event.update || (known.update === event.update && !running_phases.has(known.phase)))) return;
  updates.set(event.serial, event);
  if (event.serial === serial) render();
}

// Every board's last update (GET /api/updates), after a load or a break.
export function all_updates(summary) {
  for (const event of Object.values(summary)) update(event);
}

export function show(new_serial) {
  serial = new_serial;
  render();
}

export function set_usable(flag) {
  usable = flag;
  file_input.disabled = !flag;
  refresh_start();
}
