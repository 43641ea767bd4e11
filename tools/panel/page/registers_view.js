// The AD9516's registers, 0x000 to 0x232: a form that reads and writes one,
// and a grid of every value read so far. The grid takes one Tab stop; the
// arrow keys move in it and Enter picks a register into the form.
import { board_path, call } from './api.js';
import { clear_failure, show_failure } from './failure_view.js';
import { address_text, byte_text } from './format.js';

const last_address = 0x232;
const form = document.getElementById('register-form');
const failure_box = document.querySelector('#registers > .failure');
const grid = document.getElementById('register-grid');
const cells = [];

let serial = null;

function cell_text(address, value) {
  const button = cells[address];
  button.textContent = value === undefined ? '··' : byte_text(value).slice(2);
  button.setAttribute('aria-label', `${address_text(address)}: ${value === undefined ? 'not read' : byte_text(value)}`);
  if (value === undefined) delete button.dataset.value;
  else button.dataset.value = String(value);
}

function build_grid() {
  const head = grid.tHead.rows[0];
  for (let column = 0; column < 16; ++column) {
    const th = document.createElement('th');
    th.scope = 'col';
    th.textContent = `+${column.toString(16).toUpperCase()}`;
    head.append(th);
  }
  const body = grid.tBodies[0];
  for (let base = 0; base <= last_address; base += 16) {
    const row = body.insertRow();
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = address_text(base);
    row.append(th);
    for (let address = base; address < base + 16; ++address) {
      const td = row.insertCell();
      if (address > last_address) continue;
      const button = document.createElement('button');
      button.type = 'button';
      button.tabIndex = address === 0 ? 0 : -1;
      button.dataset.address = String(address);
      td.append(button);
      cells.push(button);
      cell_text(address, undefined);
    }
  }
}

function focus_cell(address) {
  const target = cells[Math.max(0, Math.min(last_address, address))];
  for (const button of grid.querySelectorAll('button[tabindex="0"]')) button.tabIndex = -1;
  target.tabIndex = 0;
  target.focus();
}

const moves = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16 };

grid.addEventListener('keydown', (event) => {
  const address = Number(event.target.dataset.address);
  if (Number.isNaN(address)) return;
  if (event.key in moves) focus_cell(address + moves[event.key]);
  else if (event.key === 'Home') focus_cell(address - (address % 16));
  else if (event.key === 'End') focus_cell(address - (address % 16) + 15);
  else return;
  event.preventDefault();
});

grid.addEventListener('click', (event) => {
  const button = event.target.closest('button');
  if (!button) return;
  focus_cell(Number(button.dataset.address));
  form.elements.address.value = address_text(Number(button.dataset.address));
  form.elements.value.value = button.dataset.value === undefined ? '' : byte_text(Number(button.dataset.value));
  form.elements.value.focus();
  form.elements.value.select();
});

async function run(request) {
  const asked = serial;
  clear_failure(failure_box);
  try {
    const answer = await request();
    if (asked !== serial) return;
    if (answer.registers) {
      answer.registers.forEach((value, address) => cell_text(address, value));
    } else {
      cell_text(answer.address, answer.value);
      form.elements.address.value = address_text(answer.address);
      form.elements.value.value = byte_text(answer.value);
    }
  } catch (failure) {
    if (asked === serial) show_failure(failure_box, failure);
  }
}

document.getElementById('register-read').addEventListener('click', () => {
  run(() => call('GET', board_path(serial, 'registers', form.elements.address.value.trim())));
});

document.getElementById('registers-read-all').addEventListener('click', () => {
  run(() => call('GET', board_path(serial, 'registers')));
});

form.addEventListener('submit', (event) => {
  event.preventDefault();
  run(() => call('PUT', board_path(serial, 'registers', form.elements.address.value.trim()),
    { value: form.elements.value.value.trim() }));
});

export function show(new_serial) {
  serial = new_serial;
  clear_failure(failure_box);
  cells.forEach((_, address) => cell_text(address, undefined));
  form.elements.value.value = '';
}

export function set_usable(usable) {
  for (const control of document.querySelectorAll('#registers button, #registers input')) {
    control.disabled = !usable;
  }
}

// A register written from any tab.
export function written(event) {
  if (event.serial === serial) cell_text(event.address, event.value);
}

build_grid();
