// What the panel refuses when a browser asks: a page without the token, a
// site whose name points at 127.0.0.1 (DNS rebinding), another site's page
// sending requests (CSRF), an oversized image, and paths outside the page.
// Each refusal is checked on the board too: nothing reached it.
import http from 'node:http';
import { expect, test } from './panel_fixture.mjs';

const first = 'VLN-SIM-0000';

async function untouched(panel) {
  expect((await panel.state(first)).led).toBe('off');
  expect(await panel.api('GET', '/api/updates')).toEqual([200, {}]);
}

test('a page without the token, or with a wrong one, is refused and says what to open', async ({ page, panel }) => {
  for (const where of [panel.origin, `${panel.origin}#token=${'A'.repeat(43)}`]) {
    await page.goto(where);
    await expect(page.locator('#notice')).toHaveText(
      'The panel refused this page: open the address velnor-panel printed, with its #token=..., once.');
    const answer = await page.evaluate(async () => (await fetch('/api/boards')).status);
    expect(answer).toBe(401);
  }
  await untouched(panel);
});

test('a name other than the address served is refused, even with the token (DNS rebinding)', async ({ page, panel }) => {
  const answer = await page.goto(`http://rebind.test:${panel.port}/#token=${panel.token}`);
  expect(answer.status()).toBe(421);
  expect(await answer.json()).toMatchObject({
    error: `this panel serves 127.0.0.1:${panel.port}, not the host 'rebind.test:${panel.port}' the request names`,
  });
  await untouched(panel);
});

test('another site\'s page cannot change a board, even in the browser that holds the cookie (CSRF)', async ({ page, panel }) => {
  await page.goto(panel.address);
  await expect(page.locator('#fact-serial')).toHaveText(first);
  // The other site, on another port under another name.
  const site = http.createServer((_, answer) => {
    answer.setHeader('Content-Type', 'text/html');
    answer.end('<!doctype html><title>other site</title>');
  });
  await new Promise((resolve) => site.listen(0, '127.0.0.1', resolve));
  try {
    await page.goto(`http://other.test:${site.address().port}/`);
    const statuses = [];
    page.on('response', (answer) => {
      if (answer.url().startsWith(panel.origin)) statuses.push([answer.request().method(), answer.status()]);
    });
    const attempts = await page.evaluate(async (origin) => {
      const sent = [
        fetch(`${origin}api/boards/VLN-SIM-0000/firmware`, { method: 'POST', credentials: 'include', mode: 'no-cors', body: 'VLFW' }),
        fetch(`${origin}api/boards/VLN-SIM-0000/led`, { method: 'PUT', credentials: 'include', body: '{"led":"blink"}' }),
      ];
      return Promise.all(sent.map((request) => request.then((answer) => answer.type, (failure) => failure.name)));
    }, panel.origin);
    // The simple POST reaches the panel and is refused; the PUT's preflight
    // is refused, so the browser never sends the PUT.
    expect(attempts).toEqual(['opaque', 'TypeError']);
    expect(statuses).toEqual([['POST', 403]]);
  } finally {
    site.close();
  }
  await untouched(panel);
});

test('an image over 16 MiB is refused with the reason, and paths outside the page are not served', async ({ page, panel }) => {
  await page.goto(panel.address);
  await expect(page.locator('#fact-serial')).toHaveText(first);
  // Made in the page: 16 MiB through the test's browser connection is slow.
  await page.getByLabel('Image file').evaluate((input) => {
    const chosen = new DataTransfer();
    chosen.items.add(new File([new Uint8Array((16 << 20) + 1)], 'huge.vlfw'));
    input.files = chosen.files;
    input.dispatchEvent(new Event('change'));
  });
  await expect(page.locator('#firmware-result')).toHaveText(
    'huge.vlfw cannot be used: the request\'s body is larger than the panel takes (16 MiB for an image)');
  for (const where of ['/../../etc/passwd', '/%2e%2e/%2e%2e/etc/passwd', '/page/index.html', '/app.js/']) {
    const status = await page.evaluate(async (path) => (await fetch(path)).status, where);
    expect([where, status]).toEqual([where, 404]);
  }
  await untouched(panel);
});
