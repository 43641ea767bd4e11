// One board: its values, and the controls that set the LED, the trigger
// and the clock. Every change answers the board's state, which the page
// shows; another tab's change arrives as a "board" event.
import { board_path, call } from './api.js';
import { clear_failure, show_failure } from './failure_view.js';
import { hertz_text } from './format.js';
import { refresh_log } from './log_view.js';
import * as firmware from './firmware_view.js';
import * as registers from './registers_view.js';

const section = document.getElementById('board');
const title = document.getElementById('board-title');
const board_failure = document.getElementById('board-failure');
const led_control = document.getElementById('led-control');
const trigger_control = document.getElementById('trigger-control');
const clock_form = document.getElementById('clock-control');
const clock_failure = clock_form.querySelector('.failure');

let shown = null; // the serial shown
let last = null; // its last state
let present = false;

function set_text(id, text) {
  document.getElementById(id).textContent = text;
}

// Nothing shown until the new board's values are read: never another board's.
function render_nothing() {
  last = null;
  for (const fact of section.querySelectorAll('.facts dd')) fact.textContent = '';
  for (const radio of section.querySelectorAll('.controls input[type=radio]')) radio.checked = false;
  set_text('trigger-status', '');
  clock_form.elements.frequency.value = '';
}

function render(state) {
  last = state;
  set_text('fact-serial', state.serial);
  set_text('fact-firmware', state.firmware);
  set_text('fact-driver', state.driver);
  set_text('fact-led', state.led);
  set_text('fact-trigger', `${state.trigger.polarity} edge, ${state.trigger.status}`);
  set_text('fact-clock', `${state.clock.mode}, ${hertz_text(state.clock.frequency_hz)}`);
  for (const radio of led_control.querySelectorAll('input')) radio.checked = radio.value === state.led;
  for (const radio of trigger_control.querySelectorAll('input')) {
    radio.checked = radio.value === state.trigger.polarity;
  }
  set_text('trigger-status', state.trigger.status);
  clock_form.elements.mode.value = state.clock.mode;
  if (document.activeElement !== clock_form.elements.frequency) {
    clock_form.elements.frequency.value = String(state.clock.frequency_hz);
  }
}

function set_usable(usable) {
  for (const control of section.querySelectorAll('.controls input, .controls select, .controls button')) {
    control.disabled = !usable;
  }
  registers.set_usable(usable);
  firmware.set_usable(usable);
}

// Sends one change; the answer is the board's state. A refusal puts the
// controls back to what the board has and shows why in box.
async function change(what, body, box) {
  const serial = shown;
  if (box) clear_failure(box);
  try {
    const state = await call('PUT', board_path(serial, what), body);
    if (serial === shown) render(state);
    return null;
  } catch (failure) {
    if (serial !== shown) return null;
    if (last) render(last);
    if (box) show_failure(box, failure);
    else refresh_log();
    return failure;
  }
}

async function set_clock(body) {
  const nearest = clock_failure.querySelector('.nearest');
  clock_failure.hidden = true;
  const failure = await change('clock', body, null);
  if (!failure) return;
  clock_failure.querySelector('.message').textContent = failure.message;
  clock_failure.querySelector('.log-line').textContent = failure.body.log_line ?? '';
  const hertz = (failure.body.nearest_hz ?? []).filter((value) => value !== null);
  const buttons = nearest.querySelectorAll('button');
  buttons.forEach((button, i) => {
    button.hidden = i >= hertz.length;
    if (i < hertz.length) {
      button.dataset.hz = String(hertz[i]);
      button.textContent = hertz_text(hertz[i]);
      button.setAttribute('aria-label', `Set ${hertz[i]} Hz (${hertz_text(hertz[i])})`);
    }
  });
  nearest.hidden = hertz.length === 0;
  clock_failure.hidden = false;
}

led_control.addEventListener('change', (event) => {
  change('led', { led: event.target.value }, led_control.querySelector('.failure'));
});

trigger_control.addEventListener('change', (event) => {
  change('trigger', { polarity: event.target.value }, trigger_control.querySelector('.failure'));
});

trigger_control.addEventListener('click', (event) => {
  const status = event.target.closest('button')?.dataset.status;
  if (status) change('trigger', { status }, trigger_control.querySelector('.failure'));
});

clock_form.addEventListener('submit', (event) => {
  event.preventDefault();
  set_clock({ mode: clock_form.elements.mode.value, frequency_hz: clock_form.elements.frequency.value.trim() });
});

clock_failure.addEventListener('click', (event) => {
  const hertz = event.target.closest('button')?.dataset.hz;
  if (!hertz) return;
  clock_form.elements.frequency.value = hertz;
  set_clock({ mode: 'internal', frequency_hz: Number(hertz) });
  clock_form.elements.frequency.focus();
});

// Shows the board with this serial, read afresh.
export async function show(serial) {
  if (serial !== shown) {
    shown = serial;
    render_nothing();
    title.textContent = `Board ${serial}`;
    clock_failure.hidden = true;
    for (const box of section.querySelectorAll('.failure[role=alert]')) {
      if (box !== clock_failure) clear_failure(box);
    }
    registers.show(serial);
    firmware.show(serial);
  }
  section.hidden = false;
  try {
    render(await call('GET', board_path(serial)));
    present = true;
    set_usable(true);
    clear_failure(board_failure);
  } catch (failure) {
    present = false;
    set_usable(false);
    show_failure(board_failure, failure);
  }
}

export function shown_serial() {
  return shown;
}

export function is_present() {
  return present;
}

// A change another tab (or this one) made.
export function changed(state) {
  if (state.serial === shown && present) render(state);
}

// The shown board left: its last values stay, its controls are disabled.
export function left() {
  if (!present) return;
  present = false;
  set_usable(false);
  board_failure.textContent = `Board ${shown} was removed. The values shown are the last ones read.`;
  board_failure.hidden = false;
}
