// Uploading (file picker and drag and drop), listening, playing and deleting signals; what a delete
// would silence, the alarm signal kept, bells of deleted signals said in words, factory signals restored.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import {
  startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, makeWav, secondsOf, hhmm, addDays, PHONE,
} from '../lib/harness.mjs';

const md5 = (buf) => crypto.createHash('md5').update(buf).digest('hex');
const desc = (id) => ({ id, doRepeat: false, iterations: 1, delaySec: 1.0 });

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

  it('gives each upload\'s size in bytes below 1 KiB and rounded above it', async () => {
    const { page } = browser;
    // A file the player refuses still shows its size while it is sent.
    await page.setInputFiles('#signal-file', { name: 'tiny.wav', mimeType: 'audio/wav', buffer: Buffer.alloc(29, 1) });
    const item = page.locator('.upload-item', { hasText: 'tiny.wav' });
    assert.equal(await item.locator('.upload-head .muted').innerText(), '29 bytes');
    await item.getByText(/^(Not added|Added to the library)/).waitFor();
    const sizes = await page.evaluate(async () => {
      const { sizeText } = await import('/js/pages/signals.js');
      return [0, 1, 29, 1023, 1024, 1536, 10239, 10 * 1024, 1048575, 1048576, 5.55 * 1048576, 100 * 1048576].map(sizeText);
    });
    assert.deepEqual(sizes, ['0 bytes', '1 byte', '29 bytes', '1023 bytes', '1 KiB', '1.5 KiB', '10 KiB', '10 KiB', '1 MiB', '1 MiB', '5.6 MiB', '100 MiB']);
  });

  it('shows the player\'s refusals: same content again, and a wrong format', async () => {
    const { page } = browser;
    await page.setInputFiles('#signal-file', { name: 'again.wav', mimeType: 'audio/wav', buffer: bell });
    await page.locator('.upload-item', { hasText: 'again.wav' }).getByText('File is already uploaded').waitFor();
    await page.setInputFiles('#signal-file', { name: 'notes.txt', mimeType: 'text/plain', buffer: Buffer.from('not a sound') });
    await page.locator('.upload-item', { hasText: 'notes.txt' }).getByText('Not added: Bad format: txt (use MP3 or WAV files).').waitFor();
    assert.equal((await signals()).filter((s) => s.name === 'again' || s.name === 'notes').length, 0);
  });

  it('names only the formats this player takes, MP4 not on Linux', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/signals`);
    await row('robot').waitFor();
    const zone = page.getByTestId('dropzone');
    await zone.getByText('Drop MP3 or WAV files here, or', { exact: true }).waitFor();
    const accept = (await page.locator('#signal-file').getAttribute('accept')).split(',');
    assert.ok(accept.includes('.mp3') && accept.includes('.wav'), accept.join(','));
    assert.equal(accept.some((a) => a.includes('mp4')), false, accept.join(','));
    assert.equal(await page.getByText(/MP4/).count(), 0);

    // The player's refusal of an MP4 file names what it does take.
    await page.setInputFiles('#signal-file', { name: 'film.mp4', mimeType: 'audio/mp4', buffer: Buffer.from('not played here') });
    await page.locator('.upload-item', { hasText: 'film.mp4' }).getByText('Not added: Bad format: mp4 (use MP3 or WAV files).').waitFor();
    await zone.getByText('Drop MP3 or WAV files here, or', { exact: true }).waitFor();
    assert.equal((await signals()).some((s) => s.name === 'film'), false);
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

  it('renames a signal: the player\'s refusal shown, the new name in the list and the signal menus', async () => {
    const { page } = browser;
    const chime = makeWav(1, 11);
    const chimeId = md5(chime);
    await page.setInputFiles('#signal-file', { name: 'chime.wav', mimeType: 'audio/wav', buffer: chime });
    await row('chime').waitFor();
    const nameOf = async () => (await signals()).find((s) => s.id === chimeId).name;

    const dialog = page.getByRole('dialog', { name: 'Rename signal' });
    // 41 characters but 82 bytes: over the player's limit, which only the player words.
    await page.getByRole('button', { name: 'Rename chime' }).click();
    await dialog.getByLabel('New name').fill('é'.repeat(41));
    await dialog.getByRole('button', { name: 'Rename' }).click();
    await page.locator('#toasts').getByText('“chime” could not be renamed: Invalid name: expected 1 to 80 bytes').waitFor();
    assert.equal(await nameOf(), 'chime');
    await screenshot(page, 'signals-rename-refused-desktop', { fullPage: false });

    await page.getByRole('button', { name: 'Rename chime' }).click();
    await dialog.getByLabel('New name').fill('  Morning chime  ');
    await dialog.getByRole('button', { name: 'Rename' }).click();
    await row('Morning chime').waitFor();
    assert.equal(await nameOf(), 'Morning chime');
    assert.equal(await row('chime').count(), 0);
    // The same sound under its new name: the id, and so every bell using it, stays.
    assert.ok((await signals()).every((s) => s.name !== 'chime'));
    await screenshot(page, 'signals-renamed-desktop');

    await page.goto(`${stack.baseUrl}/settings`);
    const option = page.locator('#set-alarm-signal option', { hasText: 'Morning chime' });
    await option.waitFor({ state: 'attached' });
    assert.equal(await option.getAttribute('value'), chimeId);
    await page.goto(`${stack.baseUrl}/signals`);
    await row('Morning chime').waitFor();
    await page.getByRole('button', { name: 'Rename Morning chime' }).click();
    await dialog.getByLabel('New name').fill('chime');
    await dialog.getByRole('button', { name: 'Rename' }).click();
    await row('chime').waitFor();
    await page.getByRole('button', { name: 'Delete chime' }).click();
    await page.getByRole('dialog').getByRole('button', { name: 'Delete signal' }).click();
    await row('chime').waitFor({ state: 'detached' });
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

  describe('signals in use', () => {
    const gong = makeWav(1, 7);
    const gongId = md5(gong);
    let examsId;
    let planned;
    let start;

    it('names in the delete dialog the timetables, their plans and the bells that use the signal', async (t) => {
      const { page, context } = browser;
      const now = secondsOf((await getJson(context, stack.baseUrl, '/api/get/status')).time);
      if (now > 23 * 3600 + 20 * 60) {
        t.skip('too close to midnight for a bell later today');
        return;
      }
      await page.setInputFiles('#signal-file', { name: 'gong.wav', mimeType: 'audio/wav', buffer: gong });
      await row('gong').waitFor();
      // Bells later today, so that the dashboard shows them as coming.
      start = Math.ceil(now / 60) * 60 + 10 * 60;
      const channel = {
        lessons: [`${hhmm(start)} - ${hhmm(Math.min(start + 30 * 60, 86340))}`],
        startOfClass: desc(gongId), endOfClass: desc('ID_melody'),
        preStartWaitMin: 5, preStart: desc('NULL'), preEndWaitMin: 5, preEnd: desc('NULL'),
      };
      examsId = await postJson(context, stack.baseUrl, '/db/timetables/create', {
        name: 'Exams', chA: channel, chB: channel, customPlays: [{ desc: desc(gongId), slots: [hhmm(start + 15 * 60)] }],
      });
      const today = (await getJson(context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
      planned = addDays(today, 7);
      await postJson(context, stack.baseUrl, '/db/plan/days', { from: planned, timetableId: examsId });

      await page.reload();
      await page.getByRole('button', { name: 'Delete gong' }).click();
      const dialog = page.getByRole('dialog');
      await dialog.getByText('These bells will be silent until you choose another signal for them').waitFor();
      const uses = await dialog.locator('.uses-list li').allInnerTexts();
      assert.deepEqual(uses, [`Timetable “Exams” (planned on ${planned}): start of lesson (channels A and B) and extra play 1 (${hhmm(start + 15 * 60)}).`]);
      await dialog.getByText('Its file is deleted from the player.').waitFor();
      await screenshot(page, 'signals-delete-dialog-desktop');
      await dialog.getByRole('button', { name: 'Cancel' }).click();
      assert.ok((await signals()).some((s) => s.id === gongId), 'cancelled: still there');

      // A signal used only by timetables can still go, once confirmed.
      await page.getByRole('button', { name: 'Delete gong' }).click();
      await dialog.getByRole('button', { name: 'Delete signal' }).click();
      await row('gong').waitFor({ state: 'detached' });
      const db = await getJson(context, stack.baseUrl, '/db');
      assert.equal(db.signals[gongId], undefined);
      assert.equal(db.timetables[examsId].chA.startOfClass.id, gongId, 'the timetable keeps naming it');
    });

    it('says in words on the timetables list and the dashboard which bells lost their signal', async (t) => {
      if (!examsId) {
        t.skip('needs the timetable of the test before');
        return;
      }
      const { page, context } = browser;
      await page.goto(`${stack.baseUrl}/timetables`);
      const card = page.locator('.tt-item', { hasText: 'Exams' });
      const warning = card.getByTestId('deleted-signal');
      await warning.waitFor();
      assert.equal(await warning.innerText(), 'Uses a deleted signal: start of lesson (channels A and B) and extra play 1 '
        + `(${hhmm(start + 15 * 60)}). These bells are silent until you choose another signal.`);
      assert.equal(await page.locator('.tt-item', { hasText: 'Default' }).getByTestId('deleted-signal').count(), 0);
      await screenshot(page, 'timetables-deleted-signal-desktop');

      await postJson(context, stack.baseUrl, '/db/settings/update', { 'dailyPreferences.selectedTimetableId': examsId });
      try {
        await page.goto(`${stack.baseUrl}/`);
        const rows = page.locator('.bell-row');
        await waitFor(async () => (await rows.count()) === 3, { what: 'the three bells of "Exams"' });
        const texts = await rows.allInnerTexts();
        assert.match(texts[0], /Lesson 1 starts[\s\S]*Deleted signal — this bell will be silent/);
        assert.match(texts[1], /Extra play[\s\S]*Deleted signal — this bell will be silent/);
        assert.doesNotMatch(texts[2], /Deleted signal/, 'the end of the lesson has its melody');
        assert.doesNotMatch(texts.join(' '), new RegExp(gongId), 'no bare id is shown');
        // The next bell is the start of the lesson: its card says so too.
        await page.getByTestId('next-bell').getByText('Deleted signal — this bell will be silent').waitFor();
        await screenshot(page, 'dashboard-deleted-signal-desktop');

        // The calendar's day panel for today says it the same way.
        const today = (await getJson(context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
        await page.goto(`${stack.baseUrl}/calendar?month=${today.slice(0, 7)}`);
        await page.locator(`td[data-date="${today}"] button`).click();
        const dayBells = page.getByTestId('day-bells');
        await dayBells.waitFor();
        assert.equal(await dayBells.getByTestId('deleted-signal').count(), 2, 'the start of the lesson and the extra play');
        assert.doesNotMatch(await dayBells.innerText(), new RegExp(gongId), 'no bare id in the day panel');

        const phone = await startBrowser(PHONE);
        try {
          await phone.context.addCookies(await context.cookies());
          await phone.page.goto(`${stack.baseUrl}/`);
          await phone.page.locator('.bell-row').first().getByText('Deleted signal — this bell will be silent').waitFor();
          assert.ok(await phone.page.locator('.bell-row').first().getByTestId('deleted-signal').isVisible(), 'visible on a phone too');
          await screenshot(phone.page, 'dashboard-deleted-signal-phone');
        } finally {
          await phone.close();
        }
      } finally {
        await postJson(context, stack.baseUrl, '/db/settings/update', { 'dailyPreferences.selectedTimetableId': null });
      }
    });

    it('refuses to delete the alarm signal and points to the settings', async () => {
      const { page, context } = browser;
      await page.goto(`${stack.baseUrl}/signals`);
      await page.getByRole('button', { name: 'Delete alarm' }).click();
      const dialog = page.getByRole('dialog');
      await dialog.getByRole('heading', { name: '“alarm” is the alarm signal' }).waitFor();
      await dialog.getByText('Choose another alarm signal in Settings first').waitFor();
      assert.equal(await dialog.getByRole('button', { name: /Delete/ }).count(), 0, 'nothing there deletes');
      await screenshot(page, 'signals-alarm-refused-desktop');
      await dialog.getByRole('button', { name: 'Open Settings' }).click();
      await page.waitForURL(`${stack.baseUrl}/settings`);
      assert.ok((await getJson(context, stack.baseUrl, '/db')).signals.ID_alarm, 'the alarm signal stays');

      // The player refuses too, whoever asks.
      const res = await context.request.get(`${stack.baseUrl}/api/trigger/deleteSignal/ID_alarm`);
      assert.equal(res.status(), 400);
      assert.equal(await res.text(), '\'alarm\' is the alarm signal and cannot be deleted: choose another alarm signal in Settings first');
    });
  });

  it('restores a deleted factory signal under its own id, and it plays', async () => {
    const { page, context } = browser;
    await page.goto(`${stack.baseUrl}/signals`);
    const restore = page.getByTestId('restore-factory');
    await page.getByText('All factory signals are present.').waitFor();
    assert.equal(await restore.isDisabled(), true);
    const original = (await getJson(context, stack.baseUrl, '/db')).signals.ID_ring;

    await page.getByRole('button', { name: 'Delete ring' }).click();
    const dialog = page.getByRole('dialog');
    await dialog.getByText('Its installed file is kept: “Restore factory signals” brings it back.').waitFor();
    await dialog.getByRole('button', { name: 'Delete signal' }).click();
    await row('ring').waitFor({ state: 'detached' });
    await page.getByText('Missing factory signal: “ring”.').waitFor();
    assert.equal(await restore.isDisabled(), false);
    await screenshot(page, 'signals-factory-missing-desktop');

    await restore.click();
    await page.getByText('Restored “ring”.').waitFor();
    await row('ring').waitFor();
    await page.getByText('All factory signals are present.').waitFor();
    assert.equal(await restore.isDisabled(), true);
    // The same record as a new installation's, but for the moment it was added.
    const withoutMoment = ({ lastModified, ...rest }) => { assert.ok(lastModified); return rest; };
    const back = (await getJson(context, stack.baseUrl, '/db')).signals.ID_ring;
    assert.deepEqual(withoutMoment(back), withoutMoment(original));
    assert.deepEqual(withoutMoment(back), { name: 'ring', filename: 's-ring.mp3', lengthSec: 3, storageCategory: 0 });

    await page.getByRole('button', { name: 'Play ring on the speakers' }).click();
    await waitFor(() => stack.plays().some((l) => l.startsWith('mpg123 ') && l.endsWith('s-ring.mp3')), { what: 'the restored signal to play' });
  });

  it('looks right on a phone and at smaller desktop widths', async () => {
    const { page, context } = browser;
    for (const [name, size] of [['1366', { width: 1366, height: 768 }], ['1024', { width: 1024, height: 768 }]]) {
      await page.setViewportSize(size);
      await page.goto(`${stack.baseUrl}/signals`);
      await row('robot').waitFor();
      await screenshot(page, `signals-${name}`);
    }
    const phone = await startBrowser(PHONE);
    try {
      await phone.context.addCookies(await context.cookies());
      await phone.page.goto(`${stack.baseUrl}/signals`);
      await phone.page.getByText('All factory signals are present.').waitFor();
      await screenshot(phone.page, 'signals-phone');
      await phone.page.getByRole('button', { name: 'Delete melody' }).click();
      await phone.page.getByRole('dialog').locator('.uses-list li').first().waitFor();
      await screenshot(phone.page, 'signals-delete-dialog-phone');
      assert.ok(await phone.page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), 'no sideways scrolling');
      await phone.page.getByRole('dialog').getByRole('button', { name: 'Cancel' }).click();
    } finally {
      await phone.close();
      await page.setViewportSize({ width: 1280, height: 900 });
    }
    assert.deepEqual(browser.problems, []);
  });
});
