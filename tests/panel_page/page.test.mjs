// The page as a person at the bench uses it: the live list, every control,
// a refused frequency, registers, a firmware update in two tabs, a board
// that leaves, the phone layout and the keyboard alone. Every change is
// checked where it matters, on the board, through the API. The tests tagged
// @wine also run against velnor-panel.exe under Wine (panel_fixture.mjs).
import fs from 'node:fs';
import { boards, expect, firmware_image, test } from './panel_fixture.mjs';

const [first, second] = boards.serials;
const wine = { tag: '@wine' };

async function open(page, panel) {
  await page.goto(panel.address);
  await expect(page.locator('#status')).toHaveText(`2 boards (${boards.kind} boards, library 1.0.2) · live`);
  await expect(page.locator('#fact-serial')).toHaveText(first);
}

test('the list and the first board\'s values show, and the token leaves the address bar', wine, async ({ page, panel }) => {
  await open(page, panel);
  await expect(page.getByRole('table', { name: 'Boards' }).getByRole('row')).toHaveText([
    'SerialFirmwareDriver', `${first}1.3.02.4.1`, `${second}1.3.02.4.1`]);
  await expect(page.getByLabel('Board values').locator('dd')).toHaveText(
    [first, '1.3.0', '2.4.1', 'off', 'rising edge, disarmed', 'internal, 100 MHz']);
  expect(page.url()).toBe(`${panel.origin}#board=${first}`);
  await page.getByRole('button', { name: second }).click();
  await expect(page.getByRole('heading', { level: 2, name: `Board ${second}` })).toBeVisible();
  await page.reload();
  await expect(page.locator('#fact-serial')).toHaveText(second);
});

test('every control sets the board and shows the board\'s answer', wine, async ({ page, panel }) => {
  await open(page, panel);
  const steps = [
    // what the user does, the board's state after it, the fact the page shows
    [() => page.getByRole('radio', { name: 'Blink' }).check(), { led: 'blink' }, ['#fact-led', 'blink']],
    [() => page.getByRole('radio', { name: 'Falling edge' }).check(),
      { trigger: { polarity: 'falling', status: 'disarmed' } }, ['#fact-trigger', 'falling edge, disarmed']],
    [() => page.getByRole('button', { name: 'Arm', exact: true }).click(),
      { trigger: { polarity: 'falling', status: 'armed' } }, ['#trigger-status', 'armed']],
    [() => page.getByRole('button', { name: 'Disarm' }).click(),
      { trigger: { polarity: 'falling', status: 'disarmed' } }, ['#trigger-status', 'disarmed']],
    [async () => {
      await page.getByLabel('Frequency in Hz').fill('125M');
      await page.getByRole('button', { name: 'Set clock' }).click();
    }, { clock: { mode: 'internal', frequency_hz: 125000000 } }, ['#fact-clock', 'internal, 125 MHz']],
    [async () => {
      await page.getByLabel('Source').selectOption('external');
      await page.getByLabel('Frequency in Hz').fill('10000000');
      await page.getByLabel('Frequency in Hz').press('Enter');
    }, { clock: { mode: 'external', frequency_hz: 10000000 } }, ['#fact-clock', 'external, 10 MHz']],
  ];
  const expected = await panel.state(first);
  for (const [act, change, [fact, text]] of steps) {
    await act();
    await expect(page.locator(fact)).toHaveText(text);
    Object.assign(expected, change);
    expect(await panel.state(first)).toEqual(expected);
  }
  await expect(page.getByRole('radio', { name: 'Blink' })).toBeChecked();
  await expect(page.getByRole('radio', { name: 'Falling edge' })).toBeChecked();
});

test('registers are read and written one by one, and all at once', wine, async ({ page, panel }) => {
  await open(page, panel);
  await page.getByLabel('Address', { exact: true }).fill('0x10');
  await page.getByRole('button', { name: 'Read', exact: true }).click();
  await expect(page.getByLabel('Value', { exact: true })).toHaveValue('0x7C');
  await expect(page.getByRole('button', { name: '0x010: 0x7C' })).toHaveText('7C');
  await page.getByLabel('Value', { exact: true }).fill('0x1f');
  await page.getByRole('button', { name: 'Write' }).click();
  await expect(page.getByRole('button', { name: '0x010: 0x1F' })).toBeVisible();
  expect(await panel.api('GET', `/api/boards/${first}/registers/16`)).toEqual([200, { address: 16, value: 0x1f }]);
  const [, all] = await panel.api('GET', `/api/boards/${first}/registers`);
  await page.getByRole('button', { name: 'Read all' }).click();
  await expect(page.getByRole('button', { name: `0x232: 0x${all.registers[0x232].toString(16).toUpperCase().padStart(2, '0')}` })).toBeVisible();
  await expect(page.locator('#register-grid button:not([data-value])')).toHaveCount(0);
  // A register beyond the AD9516's last is refused before anything is sent.
  await page.getByLabel('Address', { exact: true }).fill('0x233');
  await page.getByRole('button', { name: 'Write' }).click();
  await expect(page.locator('#registers > .failure')).toHaveText(
    'register address 0x233 is outside 0x000 to 0x232');
});

test('a refused frequency shows the library\'s message and the two nearest as buttons', wine, async ({ page, panel }) => {
  await open(page, panel);
  await page.getByLabel('Frequency in Hz').fill('123456789');
  await page.getByRole('button', { name: 'Set clock' }).click();
  const failure = page.locator('#clock-control .failure');
  await expect(failure.locator('.message')).toHaveText('vl_device_set_clock failed: invalid_frequency (-13)');
  const line = /^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[Velnor\] \[error\] \[vl_device_set_clock\] Error: Velnor:-13, Invalid clock frequency: 123456789Hz\. Try 123125000Hz or 123750000Hz: invalid_frequency$/;
  await expect(failure.locator('.log-line')).toHaveText(line);
  await expect(page.locator('#log-lines li')).toHaveText([line]);
  await expect(page.locator('#fact-clock')).toHaveText('internal, 100 MHz');
  await expect(failure.getByRole('button')).toHaveText(['123.125 MHz', '123.75 MHz']);
  await page.getByRole('button', { name: 'Set 123750000 Hz (123.75 MHz)' }).click();
  await expect(page.locator('#fact-clock')).toHaveText('internal, 123.75 MHz');
  await expect(failure).toBeHidden();
  expect((await panel.state(first)).clock).toEqual({ mode: 'internal', frequency_hz: 123750000 });
});

test.describe('a firmware update', () => {
  test.use({ panel_options: ['--boards', '2', '--sim-pace', '15'] });

  test('shows the image\'s facts, its progress in both tabs, and its result after the first tab closed', wine, async ({ context, panel }) => {
    const [one, two] = [await context.newPage(), await context.newPage()];
    await open(one, panel);
    await open(two, panel);
    // The image's size and payload as the page writes them, and the payload's CRC-32.
    const facts = {
      [64 * 1024]: ['65,600 bytes', '65,536 bytes', '0xb11de6a1'],
      [4 * 1024 * 1024]: ['4,194,368 bytes', '4,194,304 bytes', '0xc1d46223'],
    }[boards.update_payload];
    // Chosen from a file: Playwright hands a buffer to the page far slower.
    const image = test.info().outputPath('board.vlfw');
    fs.writeFileSync(image, firmware_image([1, 4, 0], boards.update_payload));
    const start_button = (tab) => tab.getByRole('button', { name: `Update board ${first} to 1.4.0` });
    for (const tab of [two, one]) {
      await tab.getByLabel('Image file').setInputFiles(image);
      await expect(tab.getByLabel('Image facts').locator('dd')).toHaveText(['1.4.0', ...facts]);
      await expect(start_button(tab)).toBeEnabled();
    }
    await one.bringToFront();
    await start_button(one).click();
    // Both tabs follow it; the second can no longer start one.
    for (const tab of [one, two]) {
      await expect.poll(() => tab.getByRole('progressbar').evaluate((bar) => bar.value)).toBeGreaterThan(0);
    }
    await expect(two.locator('#firmware-phase')).toHaveText(new RegExp(`^Writing 1\\.4\\.0: \\d+ % \\([\\d,]+ of ${facts[0]}\\)$`));
    await expect(start_button(two)).toBeDisabled();
    await one.close();
    await expect(two.locator('#firmware-result')).toHaveText(`Done: board ${first} runs firmware 1.4.0.`, { timeout: 20_000 });
    expect(await two.getByRole('progressbar').evaluate((bar) => bar.value)).toBe(100);
    await expect(two.locator('#fact-firmware')).toHaveText('1.4.0');
    await expect(two.getByRole('row', { name: first })).toHaveText(`${first}1.4.02.4.1`);
    expect((await panel.state(first)).firmware).toBe('1.4.0');
  });
});

test('an image the board cannot take is refused with its reason, before any board is touched', async ({ page, panel }) => {
  await open(page, panel);
  const image = firmware_image();
  image.write('XXXX', 0, 'latin1');
  await page.getByLabel('Image file').setInputFiles({ name: 'other.bin', mimeType: 'application/octet-stream', buffer: image });
  await expect(page.locator('#firmware-result')).toHaveText(/^other\.bin cannot be used: .+/);
  await expect(page.getByRole('button', { name: 'Update firmware' })).toBeDisabled();
  expect(await panel.api('GET', '/api/updates')).toEqual([200, {}]);
});

test('changes in one tab show in the other', async ({ context, panel }) => {
  const [one, two] = [await context.newPage(), await context.newPage()];
  await open(one, panel);
  await open(two, panel);
  await one.getByRole('radio', { name: 'On', exact: true }).check();
  await one.getByLabel('Address', { exact: true }).fill('0x11');
  await one.getByLabel('Value', { exact: true }).fill('0x05');
  await one.getByRole('button', { name: 'Write' }).click();
  await expect(two.locator('#fact-led')).toHaveText('on');
  await expect(two.getByRole('radio', { name: 'On', exact: true })).toBeChecked();
  await expect(two.getByRole('button', { name: '0x011: 0x05' })).toBeVisible();
});

test('a board that leaves while shown is marked removed, and the list follows arrivals', async ({ page, panel }) => {
  await open(page, panel);
  panel.leave(first);
  panel.arrive('BENCH-7');
  await expect(page.locator('#board-failure')).toHaveText(
    `Board ${first} was removed. The values shown are the last ones read.`);
  await expect(page.getByRole('radio', { name: 'Blink' })).toBeDisabled();
  await expect(page.getByRole('button', { name: 'Set clock' })).toBeDisabled();
  await expect(page.getByRole('table', { name: 'Boards' }).getByRole('button')).toHaveText([second, 'BENCH-7']);
  await page.getByRole('button', { name: 'BENCH-7' }).click();
  await expect(page.locator('#fact-serial')).toHaveText('BENCH-7');
  await expect(page.getByRole('radio', { name: 'Blink' })).toBeEnabled();
});

test('at 390x844 nothing is wider than the screen and the controls work', async ({ page, panel }) => {
  await page.setViewportSize({ width: 390, height: 844 });
  await open(page, panel);
  expect(await page.evaluate(() => document.documentElement.scrollWidth)).toBeLessThanOrEqual(390);
  for (const name of ['Identification LED', 'Trigger', 'Sample clock']) {
    const box = await page.getByRole('group', { name }).boundingBox();
    expect(box.x).toBeGreaterThanOrEqual(0);
    expect(box.x + box.width).toBeLessThanOrEqual(390);
  }
  await page.getByRole('radio', { name: 'Blink' }).check();
  await expect(page.locator('#fact-led')).toHaveText('blink');
});

test('the keyboard alone reaches and works every kind of control', async ({ page, panel }) => {
  await open(page, panel);
  const focused = () => page.evaluate(() => {
    const element = document.activeElement;
    return element.labels?.[0]?.textContent.trim() || element.getAttribute('aria-label') || element.textContent.trim();
  });
  // Tab until the element named so has the focus.
  const tab_to = async (name) => {
    for (let i = 0; i < 40; ++i) {
      await page.keyboard.press('Tab');
      if ((await focused()) === name) return;
    }
    throw new Error(`Tab never reached ${name}`);
  };
  await tab_to(second);
  await page.keyboard.press('Enter');
  await expect(page.locator('#fact-serial')).toHaveText(second);
  await tab_to('Off');
  await page.keyboard.press('ArrowRight');
  await expect(page.locator('#fact-led')).toHaveText('on');
  await tab_to('Arm');
  await page.keyboard.press('Enter');
  await expect(page.locator('#trigger-status')).toHaveText('armed');
  await tab_to('Frequency in Hz');
  await page.keyboard.press('ControlOrMeta+a');
  await page.keyboard.type('50M');
  await page.keyboard.press('Enter');
  await expect(page.locator('#fact-clock')).toHaveText('internal, 50 MHz');
  await tab_to('Read all');
  await page.keyboard.press('Enter');
  await tab_to('0x000: 0x18');
  for (const key of ['ArrowDown', 'ArrowRight', 'Enter']) await page.keyboard.press(key);
  await expect(page.getByLabel('Address', { exact: true })).toHaveValue('0x011');
  expect(await focused()).toBe('Value');
  expect((await panel.state(second))).toMatchObject(
    { led: 'on', trigger: { status: 'armed' }, clock: { frequency_hz: 50000000 } });
});
