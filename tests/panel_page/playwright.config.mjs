// velnor-panel's page in Debian's Chromium, headless, against panels on
// virtual boards that the tests start themselves (panel_fixture.mjs).
import os from 'node:os';
import path from 'node:path';
import { defineConfig } from '@playwright/test';

export default defineConfig({
  testDir: '.',
  testMatch: '*.test.mjs',
  workers: 2,
  timeout: 30_000,
  expect: { timeout: 5_000 },
  reporter: [['list']],
  outputDir: process.env.VELNOR_PANEL_PAGE_OUTPUT ?? path.join(os.tmpdir(), 'velnor-panel-page'),
  use: {
    browserName: 'chromium',
    viewport: { width: 1280, height: 800 },
    launchOptions: {
      executablePath: process.env.VELNOR_CHROMIUM ?? '/usr/bin/chromium',
      // The machine has no network: Chromium's own connections would only fail.
      // rebind.test and other.test are names for 127.0.0.1, as an attacker's
      // DNS would make them.
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync',
        '--host-resolver-rules=MAP rebind.test 127.0.0.1, MAP other.test 127.0.0.1'],
    },
  },
});
