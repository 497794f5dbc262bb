// The settings a district's IT needs: the player's name (page title, header, backup file, metrics) and
// the token its monitoring reads /metrics with.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import http from 'node:http';
import { startStack, startBrowser, setFirstPassword, screenshot } from '../lib/harness.mjs';

describe('monitoring settings', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('monitoring');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'monitor-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const scrape = (token) => fetch(`${stack.baseUrl}/metrics`, token ? { headers: { Authorization: `Bearer ${token}` } } : {});

  it('names the player in the title, the header, the backup and the metrics', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/settings`);
    await page.getByLabel('Name of this player').fill('North building');
    await page.getByRole('button', { name: 'Save settings' }).click();
    await page.getByText('Settings saved.').waitFor();
    await page.getByTestId('player-name').getByText('North building').waitFor();
    assert.equal(await page.title(), 'Settings · North building · Quorvane Player');
    await page.getByRole('link', { name: 'Dashboard' }).click();
    await page.getByRole('heading', { name: 'Dashboard' }).waitFor();
    assert.equal(await page.title(), 'Dashboard · North building · Quorvane Player');

    const backup = await browser.context.request.get(`${stack.baseUrl}/backup`);
    assert.match(backup.headers()['content-disposition'], /filename="quorvane-backup-North-building-\d{4}-\d{2}-\d{2}\.zip"/);
    const metrics = await (await browser.context.request.get(`${stack.baseUrl}/metrics`)).text();
    assert.match(metrics, /quorvane_build_info\{[^}]*player="North building"[^}]*\} 1/);
    assert.deepEqual(browser.problems, []);
  });

  it('makes a token that reads the metrics, and a renewed one ends it', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/settings`);
    const card = page.locator('section', { has: page.getByRole('heading', { name: 'Monitoring' }) });
    await card.getByText('No token yet').waitFor();
    assert.equal((await scrape()).status, 401);
    await card.getByRole('button', { name: 'Make a token' }).click();
    const field = card.getByLabel('Token');
    await field.waitFor();
    const first = await field.inputValue();
    assert.match(first, /^[0-9a-f]{48}$/);
    const answer = await scrape(first);
    assert.equal(answer.status, 200);
    assert.match(await answer.text(), /# TYPE quorvane_bells_total counter/);
    await screenshot(page, 'monitoring-token');

    await card.getByRole('button', { name: 'Renew the token' }).click();
    const dialog = page.getByRole('dialog', { name: 'Renew the token?' });
    await dialog.getByRole('button', { name: 'Renew the token' }).click();
    await page.waitForFunction((old) => document.getElementById('metrics-token-text').value !== old, first);
    const second = await field.inputValue();
    assert.equal((await scrape(first)).status, 401, 'the old token stops working');
    assert.equal((await scrape(second)).status, 200);
    // Kept when the page is opened again.
    await page.reload();
    assert.equal(await card.getByLabel('Token').inputValue(), second);
    assert.deepEqual(browser.problems, []);
  });

  it('sends a test alert to the saved webhook and shows how it went, and the journal keeps it', async () => {
    const received = [];
    let status = 200;
    const receiver = http.createServer((req, res) => {
      let body = '';
      req.on('data', (chunk) => { body += chunk; });
      req.on('end', () => {
        received.push({ body, type: req.headers['content-type'] });
        res.writeHead(status, { 'Content-Type': 'text/plain' }).end('ok');
      });
    });
    await new Promise((resolve) => { receiver.listen(0, '127.0.0.1', resolve); });
    const hookUrl = `http://127.0.0.1:${receiver.address().port}/hook`;
    try {
      const { page } = browser;
      await page.goto(`${stack.baseUrl}/settings`);
      const card = page.locator('section', { has: page.getByRole('heading', { name: 'Alerts' }) });
      const test = card.getByRole('button', { name: 'Send a test alert' });
      assert.equal(await test.isDisabled(), true, 'nothing to send to yet');
      await card.getByLabel('Webhook address').fill(hookUrl);
      await card.getByText('Save the settings first').waitFor();
      assert.equal(await test.isDisabled(), true, 'the test goes to the saved address only');

      // A mail address without its server is refused by name, and nothing is stored.
      await card.getByLabel('E-mail address').fill('caretaker@school.example');
      await page.getByRole('button', { name: 'Save settings' }).click();
      await page.getByText('Invalid value for setting alerts.smtpServer').waitFor();
      await card.getByLabel('E-mail address').fill('');
      await page.getByRole('button', { name: 'Save settings' }).click();
      await page.getByText('Settings saved.').waitFor();

      await test.click();
      await card.getByText('Sent to the webhook.').waitFor();
      assert.equal(received.length, 1);
      assert.equal(received[0].type, 'application/json');
      const alert = JSON.parse(received[0].body);
      assert.equal(alert.event, 'test');
      assert.equal(alert.player, 'North building');
      await screenshot(page, 'alerts-test-sent');

      status = 503;
      await test.click();
      await card.getByText('Not sent to the webhook: The webhook answered 503').waitFor();

      await page.getByRole('link', { name: 'Journal' }).click();
      await page.getByText('Alert by webhook not sent (a test, not tried again): The webhook answered 503.', { exact: false }).waitFor();
      await page.getByText('Alert by webhook sent: A test alert', { exact: false }).waitFor();
      assert.deepEqual(browser.problems, []);
    } finally {
      receiver.close();
    }
  });
});
