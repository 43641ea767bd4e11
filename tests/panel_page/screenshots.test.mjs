// The pictures in docs/panel.md: light and dark, wide and narrow, with a
// refused frequency and the registers read. They go to the test's output
// folder, or to VELNOR_PANEL_SCREENSHOTS (docs/images to renew the docs').
import path from 'node:path';
import { expect, test } from './panel_fixture.mjs';

for (const scheme of ['light', 'dark']) {
  for (const [width, height, name] of [[1280, 800, 'wide'], [390, 844, 'narrow']]) {
    test(`screenshot: ${name}, ${scheme}`, async ({ browser, panel }, info) => {
      const page = await browser.newPage({ viewport: { width, height }, colorScheme: scheme });
      await panel.api('PUT', '/api/boards/VLN-SIM-0000/led', { led: 'blink' });
      await page.goto(panel.address);
      await page.getByRole('button', { name: 'Read all' }).click();
      await expect(page.locator('#register-grid button:not([data-value])')).toHaveCount(0);
      await page.getByLabel('Frequency in Hz').fill('123456789');
      await page.getByRole('button', { name: 'Set clock' }).click();
      await expect(page.getByRole('button', { name: /^Set 123125000 Hz/ })).toBeVisible();
      await page.getByLabel('Frequency in Hz').blur();
      await page.evaluate(() => window.scrollTo(0, 0));
      const folder = process.env.VELNOR_PANEL_SCREENSHOTS ?? info.outputPath();
      await page.screenshot({ path: path.join(folder, `panel-${name}-${scheme}.png`) });
      await page.close();
    });
  }
}
