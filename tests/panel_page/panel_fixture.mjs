// A velnor-panel on fresh boards for each test that asks for one:
//   test.use({ panel_options: ['--boards', '2'] });
//   test('...', async ({ page, panel }) => { await page.goto(panel.address); });
// panel.api() talks to it as a script does (Bearer token), to set up a
// board or to check what reached it; panel.arrive()/leave() make virtual
// boards come and go (through the panel_board_changes library).
//
// By default the panel is the Linux velnor-panel on virtual boards
// (VELNOR_PANEL, VELNOR_PANEL_CHANGES_LIB). With VELNOR_PANEL_WINE set it is
// velnor-panel.exe on the product Velnor.dll under Wine, against the kernel
// virtual board driver's two boards: VELNOR_PANEL_WINE names a program that
// starts a new Wine session (the driver's boards at their power-on state)
// and runs velnor-panel.exe --no-browser in it. Only the tests tagged @wine
// run so (--grep @wine --workers 1): the driver's boards neither arrive nor
// leave on request, and panel_options do not apply.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { test as base, expect } from '@playwright/test';

const program = process.env.VELNOR_PANEL;
const changes_lib = process.env.VELNOR_PANEL_CHANGES_LIB;
const wine_start = process.env.VELNOR_PANEL_WINE;
if (!wine_start && (!program || !changes_lib)) {
  throw new Error('set VELNOR_PANEL (the velnor-panel program) and VELNOR_PANEL_CHANGES_LIB, ' +
    'or VELNOR_PANEL_WINE');
}

// What the boards are where the panel runs: their serials, what the page
// calls them, and the payload of an update image big enough that its
// progress is seen (the driver takes about 0.8 s for 1 MiB).
export const boards = wine_start
  ? { serials: ['VLN-E2E-0000', 'VLN-E2E-0001'], kind: 'real', update_payload: 4 * 1024 * 1024 }
  : { serials: ['VLN-SIM-0000', 'VLN-SIM-0001'], kind: 'virtual', update_payload: 64 * 1024 };

// The Windows program ends its line with CR LF.
const address_line = /^Velnor panel: (http:\/\/127\.0\.0\.1:(\d+)\/)#token=([A-Za-z0-9_-]{43})\r?$/m;

async function start_panel(options) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'velnor-panel-page-'));
  const changes = path.join(folder, 'changes');
  fs.mkdirSync(changes);
  const child = wine_start
    ? spawn(wine_start, [], { stdio: ['ignore', 'pipe', 'pipe'] })
    : spawn(program, ['--no-browser', ...options], {
      env: { ...process.env, TMPDIR: folder, LD_PRELOAD: changes_lib, VELNOR_PANEL_CHANGES: changes },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
  let errors = '';
  child.stderr.on('data', (data) => { errors += data; });
  const line = await new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (data) => {
      out += data;
      if (out.includes('\n')) resolve(out);
    });
    child.on('exit', (code) => reject(new Error(`velnor-panel ended (${code}): ${errors}`)));
  });
  const found = line.match(address_line);
  expect(found, line).not.toBeNull();
  const [, origin, port, token] = found;
  const panel = {
    origin,
    port: Number(port),
    token,
    address: `${origin}#token=${token}`,
    // One request as a script sends it; answers [status, document].
    async api(method, where, body) {
      const answer = await fetch(origin + where.slice(1), {
        method,
        headers: { Authorization: `Bearer ${token}`, 'Content-Type': 'application/json' },
        body: body === undefined ? undefined : JSON.stringify(body),
      });
      return [answer.status, await answer.json()];
    },
    async state(serial) {
      const [status, document] = await panel.api('GET', `/api/boards/${encodeURIComponent(serial)}`);
      expect(status).toBe(200);
      return document;
    },
    arrive(serial) { fs.writeFileSync(path.join(changes, `add-${serial}`), ''); },
    leave(serial) { fs.writeFileSync(path.join(changes, `remove-${serial}`), ''); },
    errors: () => errors,
    async stop(signal = 'SIGTERM') {
      if (child.exitCode === null) {
        const ended = new Promise((resolve) => child.once('exit', (code, by) => resolve(code ?? by)));
        child.kill(signal);
        return ended;
      }
      return child.exitCode;
    },
  };
  return [panel, folder];
}

export const test = base.extend({
  panel_options: [['--boards', '2'], { option: true }],
  panel: async ({ panel_options }, use) => {
    const [panel, folder] = await start_panel(panel_options);
    await use(panel);
    await panel.stop();
    fs.rmSync(folder, { recursive: true, force: true });
  },
});

export { expect };

// A firmware image as the board takes it: "VLFW", format 1, the version,
// its text, the payload's length and CRC-32, then the payload.
export function firmware_image(version = [1, 4, 0], payload_size = 64 * 1024) {
  const payload = Buffer.alloc(payload_size, 0).map((_, i) => i & 0xff);
  const header = Buffer.alloc(4 + 16 + 32 + 12);
  header.write('VLFW', 0, 'latin1');
  [1, ...version].forEach((value, i) => header.writeUInt32LE(value, 4 + 4 * i));
  header.write(version.join('.'), 20, 'latin1');
  header.writeUInt32LE(payload.length, 52);
  header.writeUInt32LE(zlib.crc32(payload), 56);
  return Buffer.concat([header, payload]);
}
