// The bells switched off: a banner on every page with the player's words and the press that switches
// them on again (made against the settings' revision), gone once they ring; the settings page keeps
// its own edits through that press. On a phone the banners fold to one line and any of them can be
// dismissed until it changes, so the alarm stays on the first screen.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, PHONE, DESKTOP } from '../lib/harness.mjs';

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
      // Folded to one line on a phone: a tap on it opens it.
      await banner(phone.page).locator('.banner-text').click();
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

  describe('banners on a phone', () => {
    const SMALL = { width: 320, height: 640 };
    const folded = (locator) => locator.evaluate((el) => el.classList.contains('is-folded'));
    const height = async (locator) => (await locator.boundingBox()).height;

    it('fold to one line that opens on a tap, keeping the alarm on the first screen at 390 and 320 px', async () => {
      await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: false });
      const problems = (await getJson(browser.context, stack.baseUrl, '/api/get/health')).filter((c) => c.status !== 'ok' && c.name !== 'bells');
      assert.ok(problems.length >= 2, `at least two health banners besides the bells: ${problems.map((c) => c.name)}`);
      for (const viewport of [PHONE, SMALL]) {
        const phone = await startBrowser(viewport);
        try {
          const { page } = phone;
          await phone.context.addCookies(await browser.context.cookies());
          await open(page, '/', 'Dashboard');
          const items = page.getByTestId('health-strip').locator('.health-item');
          await waitFor(async () => (await items.count()) === problems.length, { what: 'the health banners' });
          await banner(page).waitFor();
          const alarm = await page.getByTestId('alarm-toggle').boundingBox();
          assert.ok(alarm.y + alarm.height <= viewport.height, `the alarm on the first screen at ${viewport.width}: ${JSON.stringify(alarm)}`);
          await screenshot(page, `banners-folded-${viewport.width}`, { fullPage: false });

          // One line each, cut short; the bells' own button waits inside.
          const line = await banner(page).locator('.banner-text').evaluate((el) => ({
            lines: Math.round(el.getBoundingClientRect().height / parseFloat(getComputedStyle(el).lineHeight)), cut: el.scrollWidth > el.clientWidth,
          }));
          assert.deepEqual(line, { lines: 1, cut: true });
          for (let i = 0; i < problems.length; i += 1) {
            const text = items.nth(i).locator('.notice-text');
            assert.equal(await text.evaluate((el) => Math.round(el.getBoundingClientRect().height / parseFloat(getComputedStyle(el).lineHeight))), 1);
          }
          const button = banner(page).getByRole('button', { name: 'Switch the bells on' });
          assert.equal(await button.isVisible(), false);
          const toggle = banner(page).getByRole('button', { name: 'Show the whole message' });
          const foldedHeight = await height(banner(page));

          // A tap on the line opens it in full; the toggle closes it again.
          await banner(page).locator('.banner-text').click();
          await button.waitFor();
          assert.equal(await toggle.getAttribute('aria-expanded'), 'true');
          assert.ok(await height(banner(page)) > foldedHeight + 10, 'opened to more than one line');
          assert.equal(await banner(page).locator('.banner-text').innerText(), OFF);
          await screenshot(page, `banners-opened-${viewport.width}`, { fullPage: false });
          await toggle.click();
          assert.equal(await folded(banner(page)), true);
          assert.equal(await button.isVisible(), false);
          await toggle.click();
          await items.first().getByRole('button', { name: 'Show the whole message' }).click();
          assert.equal(await folded(items.first()), false);
          assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), 'no sideways scrolling');
          assert.deepEqual(phone.problems, []);
        } finally {
          await phone.close();
        }
      }
    });

    it('stay whole on a desktop, where they are not folded', async () => {
      const { page } = browser;
      await open(page, '/', 'Dashboard');
      await banner(page).getByRole('button', { name: 'Switch the bells on' }).waitFor();
      assert.equal(await banner(page).getByRole('button', { name: 'Show the whole message' }).isVisible(), false);
      const items = page.getByTestId('health-strip').locator('.health-item');
      await items.first().waitFor();
      const text = await items.first().locator('.notice-text').evaluate((el) => el.scrollWidth <= el.clientWidth);
      assert.equal(text, true, 'nothing cut');
      await page.setViewportSize({ width: 1366, height: 768 });
      await screenshot(page, 'banners-1366', { fullPage: false });
      await page.setViewportSize(DESKTOP);
    });

    it('can be dismissed until they change, and the emergency banner never folds', async () => {
      const phone = await startBrowser(PHONE);
      try {
        const { page } = phone;
        await phone.context.addCookies(await browser.context.cookies());
        await open(page, '/', 'Dashboard');
        const items = page.getByTestId('health-strip').locator('.health-item');
        await items.first().waitFor();
        const count = await items.count();
        const first = await items.first().getAttribute('data-check');

        await banner(page).getByRole('button', { name: 'Dismiss this message until it changes' }).click();
        await banner(page).waitFor({ state: 'detached' });
        await items.first().getByRole('button', { name: 'Dismiss this message until it changes' }).click();
        await waitFor(async () => (await items.count()) === count - 1, { what: 'the health banner to go' });
        assert.equal(await page.getByTestId('health-strip').locator(`.health-item[data-check="${first}"]`).count(), 0);
        // Still among all the checks.
        assert.equal(await page.getByTestId('health-all').locator(`.health-check[data-check="${first}"]`).count(), 1);

        // Gone on other pages and after a reload.
        await open(page, '/journal', 'Journal');
        assert.equal(await banner(page).count(), 0);
        await open(page, '/', 'Dashboard');
        await open(page, '/', 'Dashboard', () => page.reload());
        await waitFor(async () => (await items.count()) === count - 1, { what: 'the dismissed banner to stay away' });
        assert.equal(await banner(page).count(), 0);

        // Changed words bring the health banner back (answers handed to the page).
        await page.route('**/api/get/health', async (route) => {
          const checks = await (await route.fetch()).json();
          const changed = checks.map((c) => (c.name === first ? { ...c, message: `${c.message} Still.` } : c));
          await route.fulfill({ contentType: 'application/json', body: JSON.stringify(changed) });
        });
        await open(page, '/', 'Dashboard', () => page.reload());
        await page.getByTestId('health-strip').locator(`.health-item[data-check="${first}"]`).getByText('Still.').waitFor();
        await page.unroute('**/api/get/health');

        // The bells switched on and off again: news again, though in the same words.
        await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: true });
        await waitFor(async () => (await bellsCheck()).status === 'ok', { what: 'the bells on' });
        await open(page, '/', 'Dashboard', () => page.reload());
        await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: false });
        await banner(page).getByText(OFF).waitFor({ timeout: 12000 });

        // A routine's banner is shown whole, with nothing to fold or dismiss.
        await postJson(browser.context, stack.baseUrl, '/api/emergency/lockdown', { drill: true });
        const emergency = page.getByTestId('emergency-banner');
        await emergency.waitFor({ timeout: 12000 });
        assert.equal(await emergency.locator('.fold-toggle, .fold-dismiss').count(), 0);
        assert.equal(await emergency.getByRole('button', { name: 'Stop' }).isVisible(), true);
        const box = await emergency.boundingBox();
        assert.ok(box.y >= 0 && box.y + box.height <= PHONE.height, 'the emergency banner in view');
        await screenshot(page, 'banners-emergency-390', { fullPage: false });
        await postJson(browser.context, stack.baseUrl, '/api/emergency/stop', {});
        await emergency.waitFor({ state: 'detached', timeout: 12000 });
        assert.deepEqual(phone.problems, []);
      } finally {
        await phone.close();
        await postJson(browser.context, stack.baseUrl, '/db/settings/update', { schedulerEnable: true });
      }
    });
  });
});
