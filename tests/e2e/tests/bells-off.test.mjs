// The bells switched off: a banner on every page with the player's words and the press that switches
// them on again (made against the settings' revision), gone once they ring; the settings page keeps
// its own edits through that press.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, PHONE } from '../lib/harness.mjs';

const OFF = 'The bells are switched off: no timetable rings.';

describe('the bells switched off', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('bells-off');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'bells-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const settings = () => getJson(browser.context, stack.baseUrl, '/api/get/settings');
  const bellsCheck = async () => (await getJson(browser.context, stack.baseUrl, '/api/get/health')).find((c) => c.name === 'bells');
  const banner = (page) => page.getByTestId('bells-off-banner');
  // Loads a page and waits for its heading and the frame's first status and health checks.
  const open = async (page, path, heading, how = () => page.goto(`${stack.baseUrl}${path}`)) => {
    const answered = (name) => page.waitForResponse((r) => new URL(r.url()).pathname === `/api/get/${name}`);
    const first = Promise.all([answered('status'), answered('health')]);
    await how();
    await page.getByRole('heading', { name: heading, level: 1 }).waitFor();
    await first;
  };

  it('says so on every page, at once after the settings page switched them off', async () => {
    const { page } = browser;
    await open(page, '/settings', 'Settings');
    assert.equal((await bellsCheck()).status, 'ok');
    assert.equal(await banner(page).count(), 0, 'no banner while the bells ring');

    await page.getByLabel('Ring bells on schedule').uncheck();
    await page.getByRole('button', { name: 'Save settings' }).click();
    await page.getByText('Settings saved.').waitFor();
    const check = await bellsCheck();
    assert.deepEqual([check.status, check.message], ['warning', OFF]);
    await banner(page).getByText(OFF).waitFor({ timeout: 5000 });
    assert.equal(await banner(page).getAttribute('role'), 'status');

    for (const [path, heading] of [['/', 'Dashboard'], ['/calendar', 'Calendar'], ['/journal', 'Journal']]) {
      await open(page, path, heading);
      await banner(page).getByRole('button', { name: 'Switch the bells on' }).waitFor();
    }
    // The dashboard's health strip leaves it to the banner, and keeps the other checks.
    await open(page, '/', 'Dashboard');
    await banner(page).waitFor();
    const others = (await getJson(browser.context, stack.baseUrl, '/api/get/health')).filter((c) => c.status !== 'ok' && c.name !== 'bells');
    const items = page.getByTestId('health-strip').locator('.health-item');
    await waitFor(async () => (await items.count()) === others.length, { what: 'the health strip without the bells' });
    assert.equal(await items.getByText(OFF).count(), 0);
    // The full list of checks, folded away, still has it among the rest.
    assert.equal(await page.getByTestId('health-all').locator('.health-check[data-check="bells"]').getAttribute('data-status'), (await bellsCheck()).status);
    await screenshot(page, 'bells-off-dashboard', { fullPage: false });

    const phone = await startBrowser(PHONE);
    try {
      await phone.context.addCookies(await browser.context.cookies());
      await open(phone.page, '/timetables', 'Timetables');
      const button = banner(phone.page).getByRole('button', { name: 'Switch the bells on' });
      await button.waitFor();
      const box = await button.boundingBox();
      assert.ok(box.x >= 0 && box.x + box.width <= PHONE.width, `the button fits the phone: ${JSON.stringify(box)}`);
      assert.equal(await phone.page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), true);
      await screenshot(phone.page, 'bells-off-phone', { fullPage: false });
      assert.deepEqual(phone.problems, []);
    } finally {
      await phone.close();
    }
  });

  it('switches them on from the banner against the current revision, and the banner goes', async () => {
    const { page } = browser;
    await open(page, '/calendar', 'Calendar');
    const revision = (await browser.context.request.get(`${stack.baseUrl}/api/get/settings`)).headers().etag;
    const sent = [];
    const listen = (r) => { if (new URL(r.url()).pathname === '/db/settings/update') sent.push({ body: JSON.parse(r.postData()), ifMatch: r.headers()['if-match'] }); };
    page.on('request', listen);
    await banner(page).getByRole('button', { name: 'Switch the bells on' }).click();
    await page.getByText('The bells are switched on.').waitFor();
    await banner(page).waitFor({ state: 'detached', timeout: 5000 });
    page.off('request', listen);
    assert.deepEqual(sent, [{ body: { schedulerEnable: true }, ifMatch: revision }]);
    assert.equal((await settings()).schedulerEnable, true);
    assert.equal((await bellsCheck()).status, 'ok');
    assert.deepEqual(browser.problems, []);
  });

  it('shows a change of another browser without a reload', async () => {
    const { page } = browser;
    await open(page, '/signals', 'Signals');
    assert.equal(await banner(page).count(), 0);
    await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: false });
    // The overview, polled every few seconds, tells the frame to ask for the health at once.
    await banner(page).getByText(OFF).waitFor({ timeout: 12000 });
    await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: true });
    await banner(page).waitFor({ state: 'detached', timeout: 12000 });
  });

  it('keeps the settings page\'s unsaved edits through the banner\'s press, which then saves without a refusal', async () => {
    const { page } = browser;
    await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: false });
    await open(page, '/settings', 'Settings');
    const delay = page.getByLabel('Pause between alarm repeats (seconds)');
    await delay.fill('6');
    await banner(page).getByRole('button', { name: 'Switch the bells on' }).click();
    await banner(page).waitFor({ state: 'detached', timeout: 5000 });
    assert.equal(await page.getByLabel('Ring bells on schedule').isChecked(), true, 'the switch shows the change');
    assert.equal(await delay.inputValue(), '6', 'the edit is kept');
    await page.locator('.save-bar').getByText('Unsaved changes').waitFor();
    await page.getByRole('button', { name: 'Save settings' }).click();
    await page.getByText('Settings saved.').waitFor();
    assert.equal(await page.locator('.changed-elsewhere').count(), 0);
    const now = await settings();
    assert.deepEqual([now.schedulerEnable, now.alarmDelaySec], [true, 6]);

    // Without edits the page shows the change just the same.
    await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: false });
    await open(page, '/settings', 'Settings', () => page.reload());
    await banner(page).getByRole('button', { name: 'Switch the bells on' }).click();
    await banner(page).waitFor({ state: 'detached', timeout: 5000 });
    assert.equal(await page.getByLabel('Ring bells on schedule').isChecked(), true);
    assert.equal(await page.locator('.save-bar').isHidden(), true);
    assert.deepEqual(browser.problems, []);
  });
});
