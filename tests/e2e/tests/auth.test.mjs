// First password, login, logout and password change, as a person does them in the browser.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, logIn, screenshot, getJson, PHONE } from '../lib/harness.mjs';

describe('authentication', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('auth');
    browser = await startBrowser();
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  it('asks for a password on first run before showing anything else', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables`);
    await page.waitForURL(`${stack.baseUrl}/setup`);
    await page.getByRole('heading', { name: 'Choose a password' }).waitFor();
    await screenshot(page, 'setup-desktop');

    // Two different entries are refused in words, and nothing is sent.
    await page.getByLabel('New password', { exact: true }).fill('first-pass');
    await page.getByLabel('Repeat the new password').fill('other-pass');
    await page.getByRole('button', { name: 'Set password and continue' }).click();
    await page.getByText('The two passwords are not the same.').waitFor();
    const overview = await getJson(browser.context, stack.baseUrl, '/api/get/overview');
    assert.equal(overview.passwordMissing, true);

    await setFirstPassword(page, stack.baseUrl, 'first-pass');
    const after = await getJson(browser.context, stack.baseUrl, '/api/get/overview');
    assert.equal(after.passwordMissing, false);
  });

  it('logs out to the login page, after which the interface is closed', async () => {
    const { page, context } = browser;
    await page.goto(`${stack.baseUrl}/`);
    await page.getByRole('button', { name: 'Log out' }).click();
    await page.waitForURL(`${stack.baseUrl}/login`);
    await page.getByRole('heading', { name: 'Log in' }).waitFor();
    const res = await context.request.get(`${stack.baseUrl}/db`);
    assert.equal(res.status(), 400);
    assert.equal(await res.text(), 'No auth');
    await screenshot(page, 'login-desktop');

    // A page address typed while logged out lands on the login page too.
    await page.goto(`${stack.baseUrl}/signals`);
    await page.waitForURL(`${stack.baseUrl}/login`);
  });

  it('refuses a wrong password in words and accepts the right one', async () => {
    const { page, context } = browser;
    await page.goto(`${stack.baseUrl}/login`);
    await page.getByLabel('Password').fill('not-it');
    await page.getByRole('button', { name: 'Log in' }).click();
    await page.getByText('The password is not correct.').waitFor();
    assert.equal(page.url(), `${stack.baseUrl}/login`);

    await logIn(page, stack.baseUrl, 'first-pass', { remember: true });
    await page.getByRole('heading', { name: 'Dashboard' }).waitFor();
    const db = await getJson(context, stack.baseUrl, '/db');
    assert.equal(db.dbVersion, 1);
  });

  it('changes the password from the settings page with the current one, ending other sessions', async () => {
    const { page, context } = browser;
    // Another device logged in with the same password.
    const other = await startBrowser();
    try {
      await logIn(other.page, stack.baseUrl, 'first-pass');
      assert.equal((await other.context.request.get(`${stack.baseUrl}/db`)).status(), 200);

      await page.goto(`${stack.baseUrl}/settings`);
      const form = page.locator('.password-card');
      const current = form.getByLabel('Current password');
      const next = form.getByLabel('New password', { exact: true });
      const again = form.getByLabel('Repeat the new password');
      const submit = form.getByRole('button', { name: 'Change password' });

      // Too short: refused in the page, nothing is sent.
      await current.fill('first-pass');
      await next.fill('short');
      await again.fill('short');
      await submit.click();
      await form.getByText('The new password must have at least 8 characters.').waitFor();
      await screenshot(page, 'password-change-desktop');

      // A wrong current password: the player refuses it.
      await current.fill('not-the-one');
      await next.fill('second-pass');
      await again.fill('second-pass');
      await submit.click();
      await form.getByText('The current password is not correct.').waitFor();
      assert.equal((await other.context.request.get(`${stack.baseUrl}/db`)).status(), 200, 'nothing changed yet');

      await current.fill('first-pass');
      await submit.click();
      await page.getByText('The password has been changed.').waitFor();
      assert.equal(await current.inputValue(), '');
      // Still logged in here, and nowhere else.
      assert.equal((await context.request.get(`${stack.baseUrl}/db`)).status(), 200);
      const elsewhere = await other.context.request.get(`${stack.baseUrl}/db`);
      assert.equal(await elsewhere.text(), 'No auth');
      assert.deepEqual(other.problems, []);
    } finally {
      await other.close();
    }

    await page.getByRole('button', { name: 'Log out' }).click();
    await page.waitForURL(`${stack.baseUrl}/login`);
    await page.getByLabel('Password').fill('first-pass');
    await page.getByRole('button', { name: 'Log in' }).click();
    await page.getByText('The password is not correct.').waitFor();
    await logIn(page, stack.baseUrl, 'second-pass');
    await page.getByRole('heading', { name: 'Dashboard' }).waitFor();
  });

  it('shows the login page on a phone', async () => {
    const phone = await startBrowser(PHONE);
    try {
      await phone.page.goto(`${stack.baseUrl}/`);
      await phone.page.waitForURL(`${stack.baseUrl}/login`);
      await phone.page.getByRole('heading', { name: 'Log in' }).waitFor();
      await screenshot(phone.page, 'login-phone');
      assert.deepEqual(phone.problems, []);
    } finally {
      await phone.close();
    }
    assert.deepEqual(browser.problems, []);
  });

  // Last: afterwards this address must wait before it may log in again.
  it('counts the wait after too many wrong passwords down each second, the button disabled until it is over', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/`);
    await page.getByRole('button', { name: 'Log out' }).click();
    await page.waitForURL(`${stack.baseUrl}/login`);
    // The page's clock, moved on by the test: the wait is a minute of the player's.
    await page.clock.install();
    for (let i = 0; i < 5; i += 1) {
      await page.getByLabel('Password').fill(`guess-${i}`);
      // Each wrong password is answered before the next: the text of the previous one is still shown.
      const answered = page.waitForResponse((response) => response.url().endsWith('/auth/login'));
      await page.getByRole('button', { name: 'Log in' }).click();
      assert.equal((await answered).status(), 400);
      await page.getByText('The password is not correct.').waitFor();
    }
    await page.getByLabel('Password').fill('second-pass');
    const refused = page.waitForResponse((response) => response.url().endsWith('/auth/login'));
    await page.getByRole('button', { name: 'Log in' }).click();
    const response = await refused;
    assert.equal(response.status(), 429);
    const wait = Number(response.headers()['retry-after']);
    assert.ok(wait > 1 && wait <= 60, `Retry-After: ${wait}`);
    const sentence = (left) => `Too many wrong passwords. Please wait ${left} before trying again.`;
    const message = page.locator('.form-message');
    await message.getByText(sentence(wait === 60 ? '1 minute' : `${wait} seconds`), { exact: true }).waitFor();
    const button = page.getByRole('button', { name: 'Log in' });
    assert.equal(await button.isDisabled(), true);
    assert.equal(page.url(), `${stack.baseUrl}/login`, 'not even the right password gets in while waiting');
    await screenshot(page, 'login-throttled-desktop');

    await page.clock.runFor(1000);
    await message.getByText(sentence(`${wait - 1} seconds`), { exact: true }).waitFor();
    await page.clock.runFor(1000);
    await message.getByText(sentence(`${wait - 2} seconds`), { exact: true }).waitFor();
    // Enter in the field sends nothing while the button waits.
    let tries = 0;
    const count = (request) => { if (request.url().endsWith('/auth/login')) tries += 1; };
    page.on('request', count);
    await page.getByLabel('Password').press('Enter');
    assert.equal(await button.isDisabled(), true);

    await page.clock.runFor((wait - 2) * 1000);
    await message.getByText('You can try again now.').waitFor();
    assert.equal(await button.isDisabled(), false);
    page.off('request', count);
    assert.equal(tries, 0);
    assert.deepEqual(browser.problems, []);
  });
});
