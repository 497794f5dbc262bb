// Uploading (file picker and drag and drop), listening, playing and deleting signals.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, waitFor, makeWav } from '../lib/harness.mjs';

const md5 = (buf) => crypto.createHash('md5').update(buf).digest('hex');

describe('signals', () => {
  let stack;
  let browser;
  const bell = makeWav(1, 3);
  const bellId = md5(bell);

  before(async () => {
    stack = await startStack('signals');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'sig-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const signals = () => getJson(browser.context, stack.baseUrl, '/api/get/signals');
  const row = (name) => browser.page.locator('tr.signal-row', { has: browser.page.locator('th', { hasText: new RegExp(`^${name}`) }) });

  it('lists the factory signals marked as such', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/signals`);
    await row('robot').waitFor();
    assert.match(await row('robot').innerText(), /Factory/);
    assert.equal(await page.locator('tr.signal-row').count(), (await signals()).length);
  });

  it('uploads a file chosen with the picker, with progress and the new row', async () => {
    const { page } = browser;
    await page.setInputFiles('#signal-file', { name: 'school-bell.wav', mimeType: 'audio/wav', buffer: bell });
    const item = page.locator('.upload-item', { hasText: 'school-bell.wav' });
    await item.getByText('Added to the library.').waitFor();
    assert.equal(await item.locator('progress').evaluate((p) => p.value), 1);
    await row('school-bell').waitFor();
    assert.match(await row('school-bell').innerText(), /Uploaded/);
    const added = (await signals()).find((s) => s.id === bellId);
    assert.ok(added, 'the signal is listed under the digest of its bytes');
    assert.equal(added.name, 'school-bell');
    assert.equal(added.storageCategory, 1);
    assert.ok(fs.existsSync(path.join(stack.root, 'userdata', `${bellId}.wav`)));
  });

  it('shows the player\'s refusals: same content again, and a wrong format', async () => {
    const { page } = browser;
    await page.setInputFiles('#signal-file', { name: 'again.wav', mimeType: 'audio/wav', buffer: bell });
    await page.locator('.upload-item', { hasText: 'again.wav' }).getByText('File is already uploaded').waitFor();
    await page.setInputFiles('#signal-file', { name: 'notes.txt', mimeType: 'text/plain', buffer: Buffer.from('not a sound') });
    await page.locator('.upload-item', { hasText: 'notes.txt' }).getByText('Bad format: txt').waitFor();
    assert.equal((await signals()).filter((s) => s.name === 'again' || s.name === 'notes').length, 0);
  });

  it('uploads a file dropped onto the drop zone', async () => {
    const { page } = browser;
    const dropped = makeWav(1, 5);
    const transfer = await page.evaluateHandle(({ b64 }) => {
      const dt = new DataTransfer();
      const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      dt.items.add(new File([bytes], 'dropped.wav', { type: 'audio/wav' }));
      return dt;
    }, { b64: dropped.toString('base64') });
    await page.dispatchEvent('[data-testid="dropzone"]', 'drop', { dataTransfer: transfer });
    await page.locator('.upload-item', { hasText: 'dropped.wav' }).getByText('Added to the library.').waitFor();
    await row('dropped').waitFor();
    assert.ok((await signals()).some((s) => s.id === md5(dropped)));
    await screenshot(page, 'signals-desktop');
  });

  it('plays a signal on the player, which starts the audio program with its file', async () => {
    const { page } = browser;
    await page.getByRole('button', { name: 'Play school-bell on the speakers' }).click();
    await page.getByText('Playing “school-bell” on the speakers.').waitFor();
    await waitFor(() => stack.plays().some((l) => l.startsWith('aplay ') && l.endsWith(`${bellId}.wav`)), { what: 'aplay to be started' });
    await page.getByRole('button', { name: 'Play robot on the speakers' }).click();
    await waitFor(() => stack.plays().some((l) => l.startsWith('mpg123 ') && l.endsWith('p-robot.mp3')), { what: 'mpg123 to be started' });
  });

  it('previews a signal in the browser from the player\'s file', async () => {
    const { page } = browser;
    await page.getByRole('button', { name: 'Listen to school-bell in the browser' }).click();
    const audio = page.locator('.preview-row audio');
    await audio.waitFor();
    assert.equal(await audio.getAttribute('src'), `/get_signal_file/${bellId}`);
    // Metadata loaded means the browser got a decodable file from the player.
    await waitFor(() => audio.evaluate((a) => a.readyState >= 1 && Math.round(a.duration) === 1), { what: 'the preview to load' });
    await page.getByRole('button', { name: 'Listen to school-bell in the browser' }).click();
    await audio.waitFor({ state: 'detached' });
  });

  it('deletes an uploaded signal after confirmation, with its file', async () => {
    const { page } = browser;
    await page.getByRole('button', { name: 'Delete school-bell' }).click();
    const dialog = page.getByRole('dialog');
    await dialog.getByText('Its file is deleted from the player.').waitFor();
    await dialog.getByRole('button', { name: 'Delete signal' }).click();
    await row('school-bell').waitFor({ state: 'detached' });
    const db = await getJson(browser.context, stack.baseUrl, '/db');
    assert.equal(db.signals[bellId], undefined);
    assert.ok(!fs.existsSync(path.join(stack.root, 'userdata', `${bellId}.wav`)));
    assert.deepEqual(browser.problems, []);
  });
});
