// Announcements: a success in a plain sentence, an unknown id told apart from a service out of reach,
// and the footer saying how fresh its internet state is.

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
  async function announce(id) {
    const { page } = browser;
    await page.getByLabel('Announcement id').fill(id);
    await page.getByRole('button', { name: 'Play announcement' }).click();
  }

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
      'The announcement was not played. Failed to download announcement: the announcement service answered: Unknown announcement: no-such');
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
    await announce('welcome');
    await result().getByText('could not be reached').waitFor();
    assert.match(await result().locator('.announce-reason').innerText(), new RegExp(
      '^The announcement was not played\\. Failed to download announcement: the announcement service could not be reached '
      + `\\(Could not connect to http://127\\.0\\.0\\.1:${stack.servicePort}\\)$`,
    ));
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
