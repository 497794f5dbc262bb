// Announcements: the service's list to choose from (an id typed by hand as "Other id"), a success in a
// plain sentence, an unknown id told apart from a service out of reach (in words, the transport's own
// words as details only), and the footer saying how fresh its internet state is.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, waitFor, PHONE } from '../lib/harness.mjs';

describe('announcements and the internet state', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('announcements');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'ann-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const result = () => browser.page.getByTestId('announce-result');
  const choice = (page = browser.page) => page.getByLabel('Announcement', { exact: true });
  // An id of the service's list is chosen from it, any other typed as another id.
  async function announce(id, page = browser.page) {
    await choice(page).locator('option').first().waitFor({ state: 'attached' });
    const listed = (await choice(page).locator('option').evaluateAll((options) => options.map((o) => o.value))).includes(id);
    if (listed) {
      await choice(page).selectOption(id);
    } else {
      await choice(page).selectOption({ label: 'Other id…' });
      await page.getByLabel('Other id').fill(id);
    }
    await page.getByRole('button', { name: 'Play announcement' }).click();
  }

  it('offers the service\'s announcements to choose from, with another id typed by hand', async () => {
    const { page, context } = browser;
    const answer = await getJson(context, stack.baseUrl, '/api/get/announcements');
    assert.deepEqual(answer, { listed: true, announcements: [{ id: 'welcome', name: 'welcome' }] });
    await page.goto(`${stack.baseUrl}/announcements`);
    await choice().locator('option').first().waitFor({ state: 'attached' });
    assert.deepEqual(await choice().locator('option').allInnerTexts(), ['welcome', 'Other id…']);
    assert.equal(await choice().inputValue(), 'welcome', 'the first listed is chosen');
    assert.equal(await page.getByLabel('Other id').isVisible(), false, 'no id to type while one is chosen');
    await choice().selectOption({ label: 'Other id…' });
    await page.getByLabel('Other id').waitFor();
    // Nothing typed: said at the field, nothing sent.
    await page.getByRole('button', { name: 'Play announcement' }).click();
    await page.getByText('Enter the id of an announcement.').waitFor();
    await screenshot(page, 'announcements-list-desktop');
    await choice().selectOption('welcome');
    assert.equal(await page.getByLabel('Other id').isVisible(), false);

    for (const viewport of [PHONE, { width: 320, height: 640 }]) {
      const phone = await startBrowser(viewport);
      try {
        await phone.context.addCookies(await context.cookies());
        await phone.page.goto(`${stack.baseUrl}/announcements`);
        await choice(phone.page).selectOption({ label: 'Other id…' });
        await phone.page.getByLabel('Other id').waitFor();
        await screenshot(phone.page, `announcements-list-${viewport.width}`, { fullPage: false });
        assert.ok(await phone.page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), 'no sideways scrolling');
      } finally {
        await phone.close();
      }
    }
  });

  it('keeps the id field alone where the service lists nothing, and keeps an id typed before the list came', async () => {
    const { page } = browser;
    await page.route('**/api/get/announcements', (route) => route.fulfill({
      contentType: 'application/json', body: JSON.stringify({ listed: false, announcements: [] }),
    }));
    const unlisted = page.waitForResponse((r) => r.url().endsWith('/api/get/announcements'));
    await page.goto(`${stack.baseUrl}/announcements`);
    await unlisted;
    await page.getByLabel('Announcement id').waitFor();
    assert.equal(await choice().isVisible(), false);
    await page.unroute('**/api/get/announcements');

    // A slow list: what was typed meanwhile stays, as another id.
    let release;
    const held = new Promise((resolve) => { release = resolve; });
    await page.route('**/api/get/announcements', async (route) => {
      await held;
      await route.continue();
    });
    await page.reload();
    await page.getByLabel('Announcement id').fill('typed-early');
    const listed = page.waitForResponse((r) => r.url().endsWith('/api/get/announcements'));
    release();
    await listed;
    await choice().waitFor();
    assert.equal(await choice().inputValue(), '');
    assert.equal(await page.getByLabel('Other id').inputValue(), 'typed-early');
    await page.unroute('**/api/get/announcements');
  });

  it('says in a plain sentence that the announcement is playing', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/announcements`);
    await announce('welcome');
    await result().getByText('Announcement welcome is playing.', { exact: true }).waitFor();
    assert.doesNotMatch(await result().innerText(), /answered/);
    await waitFor(() => stack.plays().some((l) => l.startsWith('mpg123 ') && l.endsWith('announcement.mp3')),
      { what: 'the downloaded announcement to play' });
  });

  it('shows the service\'s own words for an unknown id, with the internet state', async () => {
    const { page } = browser;
    await announce('no-such');
    await result().getByText('Unknown announcement: no-such').waitFor();
    assert.equal(await result().locator('.announce-reason').innerText(),
      'The announcement was not played. The service answered: Unknown announcement: no-such');
    assert.equal(await result().getByTestId('announce-detail').count(), 0, 'the service\'s words need no details');
    assert.equal(await result().getByTestId('announce-internet').innerText(), 'Internet access: yes (checked just now).');
    // The check the download made reaches the footer at once.
    assert.equal(await page.getByTestId('internet').innerText(), 'Internet access: yes');
    assert.equal(await page.getByTestId('internet-checked').innerText(), '· checked just now');
    await screenshot(page, 'announcements-unknown-desktop');
  });

  it('says when the footer\'s internet state was last checked', async () => {
    const { page, context } = browser;
    const info = await getJson(context, stack.baseUrl, '/api/get/info');
    assert.ok(Number.isInteger(info.internetCheckedSecondsAgo) && info.internetCheckedSecondsAgo >= 0, JSON.stringify(info));
    // The words for older and missing checks, from answers the page is handed.
    for (const [secondsAgo, words] of [[180, '· checked 3 min ago'], [7300, '· checked 2 h ago'], [null, '· not checked yet']]) {
      await page.route('**/api/get/info', (route) => route.fulfill({
        contentType: 'application/json',
        body: JSON.stringify({ version: info.version, internetAccess: secondsAgo !== null, internetCheckedSecondsAgo: secondsAgo }),
      }));
      await page.reload();
      await page.getByTestId('internet-checked').getByText(words, { exact: true }).waitFor();
      assert.equal(await page.getByTestId('internet').innerText(),
        `Internet access: ${secondsAgo === null ? 'unknown' : 'yes'}`, 'no "no" before the first check');
      if (secondsAgo === 180) await screenshot(page, 'footer-checked-desktop');
      await page.unroute('**/api/get/info');
    }
  });

  it('tells a service out of reach from an unknown id', async () => {
    const { page, context } = browser;
    // The stand-in goes away: the player's requests to it now fail to connect.
    const standin = stack.processes[0];
    standin.kill('SIGTERM');
    await standin.exited;

    await page.goto(`${stack.baseUrl}/announcements`);
    // Out of reach, the service lists nothing: the id is typed.
    await page.getByLabel('Announcement id').fill('welcome');
    await page.getByRole('button', { name: 'Play announcement' }).click();
    await result().getByText('could not be reached').waitFor();
    assert.equal(await result().locator('.announce-reason').innerText(),
      'The announcement was not played. The announcement service could not be reached. Check the player’s internet connection, then try again.');
    assert.doesNotMatch(await result().locator('.announce-reason').innerText(), /http|connect to/i);
    // The transport's words only as details.
    assert.equal(await result().getByTestId('announce-detail').innerText(),
      `Details: Could not connect to http://127.0.0.1:${stack.servicePort}`);
    assert.equal(await choice().isVisible(), false);
    assert.deepEqual(await getJson(context, stack.baseUrl, '/api/get/announcements'), { listed: false, announcements: [] });
    assert.match(await page.locator('.history-list li').first().innerText(), /could not be reached/);
    assert.doesNotMatch(await page.locator('.history-list li').first().innerText(), /http/);
    assert.equal(await result().getByTestId('announce-internet').innerText(), 'Internet access: no (checked just now).');
    assert.equal(await page.getByTestId('internet').innerText(), 'Internet access: no');
    assert.equal((await getJson(context, stack.baseUrl, '/api/get/info')).internetAccess, false);
    await screenshot(page, 'announcements-unreachable-desktop');

    const phone = await startBrowser(PHONE);
    try {
      await phone.context.addCookies(await context.cookies());
      await phone.page.goto(`${stack.baseUrl}/announcements`);
      await phone.page.getByLabel('Announcement id').fill('welcome');
      await phone.page.getByRole('button', { name: 'Play announcement' }).click();
      await phone.page.getByTestId('announce-internet').waitFor();
      await phone.page.getByTestId('internet-checked').getByText('· checked just now').waitFor();
      await screenshot(phone.page, 'announcements-unreachable-phone');
      assert.ok(await phone.page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), 'no sideways scrolling');
    } finally {
      await phone.close();
    }
    assert.deepEqual(browser.problems, []);
  });
});
