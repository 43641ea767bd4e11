// velnor-panel's page in Debian's Chromium, headless, on virtual boards:
//   - first load to interactive: from the navigation's start to the page's
//     "panel-interactive" mark (session started, list and first board shown,
//     controls live), each load in a fresh browser context;
//   - the same page's load with JavaScript off (navigation start to the
//     load event): what the browser costs before any of the page's code;
//   - arrival to row: from a virtual board's arrival being asked for to its
//     row on the page (the test library's folder poll adds up to 5 ms).
// Prints the medians and the spreads of each as JSON.
//   node bench/panel_page_bench.mjs <velnor-panel> <libpanel_board_changes.so> [samples]
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from '../tests/panel_page/node_modules/playwright-core/index.mjs';

const [program, changes_lib, samples_text = '15'] = process.argv.slice(2);
const samples = Number(samples_text);
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'velnor-panel-bench-'));
const changes = path.join(folder, 'changes');
fs.mkdirSync(changes);

const panel = spawn(program, ['--no-browser', '--boards', '2'], {
  env: { ...process.env, TMPDIR: folder, LD_PRELOAD: changes_lib, VELNOR_PANEL_CHANGES: changes },
  stdio: ['ignore', 'pipe', 'inherit'],
});
const line = await new Promise((resolve) => panel.stdout.once('data', (data) => resolve(String(data))));
const address = line.match(/http\S+/)[0];
const browser = await chromium.launch({
  executablePath: process.env.VELNOR_CHROMIUM ?? '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});

function summary(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
  return { samples: sorted.length, median_ms: +at(0.5).toFixed(2), min_ms: +sorted[0].toFixed(2), max_ms: +sorted.at(-1).toFixed(2) };
}

const loads = [];
for (let i = 0; i < samples; ++i) {
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.goto(address);
  await page.waitForFunction(() => performance.getEntriesByName('panel-interactive').length > 0);
  loads.push(await page.evaluate(() => performance.getEntriesByName('panel-interactive')[0].startTime));
  await context.close();
}

const bare = [];
for (let i = 0; i < samples; ++i) {
  const context = await browser.newContext({ javaScriptEnabled: false });
  const page = await context.newPage();
  await page.goto(address, { waitUntil: 'load' });
  bare.push(await page.evaluate(() => performance.getEntriesByType('navigation')[0].loadEventEnd));
  await context.close();
}

const arrivals = [];
const context = await browser.newContext();
const page = await context.newPage();
await page.goto(address);
await page.waitForFunction(() => performance.getEntriesByName('panel-interactive').length > 0);
for (let i = 0; i < samples; ++i) {
  const serial = `BENCH-${i}`;
  const seen = page.evaluate((wanted) => new Promise((resolve) => {
    const rows = document.querySelector('#boards tbody');
    const observer = new MutationObserver(() => {
      if (rows.querySelector(`button[data-serial="${wanted}"]`)) {
        observer.disconnect();
        resolve(performance.timeOrigin + performance.now());
      }
    });
    observer.observe(rows, { childList: true, subtree: true });
  }), serial);
  await page.evaluate(() => new Promise(requestAnimationFrame));
  const asked = performance.timeOrigin + performance.now();
  fs.writeFileSync(path.join(changes, `add-${serial}`), '');
  arrivals.push((await seen) - asked);
}
await browser.close();
panel.kill('SIGTERM');
await new Promise((resolve) => panel.once('exit', resolve));
fs.rmSync(folder, { recursive: true, force: true });
console.log(JSON.stringify({ first_load_to_interactive: summary(loads), load_without_scripts: summary(bare), arrival_to_row: summary(arrivals) }, null, 2));
