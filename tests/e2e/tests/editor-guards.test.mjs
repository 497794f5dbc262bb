// What the timetable editor refuses and warns about, the save bar, leaving with unsaved input, channel B
// read only, duplicate timetable names, and the timetables list on a phone; each refusal checked
// against GET /db.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, logIn, screenshot, getJson, postJson, waitFor, PHONE } from '../lib/harness.mjs';

const DEFAULT_ID = 'ID_factory_default_timetable';
const fieldset = (page, legend) => page.locator('#channel-a fieldset', { has: page.locator('legend', { hasText: legend }) });

describe('timetable editor guards', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('editor-guards');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'guard-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const db = () => getJson(browser.context, stack.baseUrl, '/db');
  const stored = async (id = DEFAULT_ID) => (await db()).timetables[id];
  const saveButton = (page) => page.getByRole('button', { name: 'Save changes' });
  const status = (page) => page.locator('.save-status');
  const openEditor = async (page, id = DEFAULT_ID) => {
    await page.goto(`${stack.baseUrl}/timetables/${id}`);
    await page.locator('#lesson-0-start').waitFor();
  };
  /** Whether the page's beforeunload handler would ask before the tab is closed or reloaded. */
  const unloadAsks = (page) => page.evaluate(() => {
    const event = new Event('beforeunload', { cancelable: true });
    window.dispatchEvent(event);
    return event.defaultPrevented;
  });

  it('refuses lessons that end before they start or overlap, naming them, and sends nothing', async () => {
    const { page } = browser;
    const before = await stored();
    await openEditor(page);
    assert.equal(await page.locator('.save-bar').isHidden(), true, 'nothing to save yet');

    await page.locator('#lesson-2-start').fill('09:40');
    await page.locator('#lesson-2-end').fill('09:30');
    const problems = page.locator('.lesson-problems');
    await problems.getByText('Lesson 3 (09:40–09:30) ends before it starts.').waitFor();
    await page.locator('#lesson-2-end').fill('09:40');
    await problems.getByText('Lesson 3 (09:40–09:40) ends when it starts.').waitFor();
    assert.equal(await status(page).innerText(), 'Fix the marked fields to save');
    assert.equal(await saveButton(page).isDisabled(), true);

    // Lesson 3 now runs into lesson 4 and starts before lesson 2 ends.
    await page.locator('#lesson-2-end').fill('11:30');
    await problems.getByText('Lesson 2 overlaps lesson 3.').waitFor();
    await problems.getByText('Lesson 3 overlaps lesson 4.').waitFor();
    assert.deepEqual(await page.locator('.lesson-row').evaluateAll((rows) => rows.map((r) => r.classList.contains('is-invalid'))),
      [false, true, true, true, false, false]);

    // Pressing Save lists the problems and sends nothing.
    await saveButton(page).press('Enter');
    const summary = page.locator('.error-summary');
    await summary.getByText('Lesson 2 overlaps lesson 3.').waitFor();
    await summary.getByText('Lesson 3 overlaps lesson 4.').waitFor();
    await screenshot(page, 'editor-lesson-errors-desktop');
    assert.deepEqual(await stored(), before);

    // A lesson may start when the one before ends; the list follows the fixes as they are made.
    await page.locator('#lesson-2-start').fill('09:45');
    await page.locator('#lesson-2-end').fill('10:00');
    await summary.waitFor({ state: 'detached' });
    assert.equal(await problems.isHidden(), true);
    assert.equal(await status(page).innerText(), 'Unsaved changes');
    await page.getByRole('button', { name: 'Discard changes' }).click();
    await page.locator('.save-bar').waitFor({ state: 'hidden' });
  });

  it('keeps lessons sorted by start when saving, numbered as saved', async () => {
    const { page } = browser;
    await openEditor(page);
    await page.locator('#lesson-0-start').fill('14:00');
    await page.locator('#lesson-0-end').fill('14:45');
    assert.equal(await status(page).innerText(), 'Unsaved changes', 'out of order is not an error');
    await saveButton(page).click();
    await page.getByText('Timetable saved.').waitFor();
    assert.deepEqual((await stored()).chA.lessons,
      ['09:00 - 09:45', '10:00 - 10:45', '11:00 - 11:45', '12:00 - 12:45', '13:00 - 13:45', '14:00 - 14:45']);
    assert.equal(await page.locator('#lesson-0-start').inputValue(), '09:00');
    assert.equal(await page.locator('#lesson-5-start').inputValue(), '14:00');
    assert.deepEqual(await page.locator('.lesson-n').allInnerTexts(), ['1', '2', '3', '4', '5', '6']);
    await page.locator('.save-bar').waitFor({ state: 'hidden' });
  });

  it('shows an invalid "minutes before" in the save bar and asks before leaving it', async () => {
    const { page } = browser;
    const before = await stored();
    // Opened from the list, so that going back stays within the application.
    await page.goto(`${stack.baseUrl}/timetables`);
    await page.locator(`a.button[href="/timetables/${DEFAULT_ID}"]`).click();
    await page.locator('#lesson-0-start').waitFor();
    assert.equal(await unloadAsks(page), false);
    const minutes = fieldset(page, 'Before the start').getByLabel('Minutes before');
    await minutes.fill('-5');
    await status(page).getByText('Fix the marked fields to save').waitFor();
    assert.equal(await page.getByRole('button', { name: 'Discard changes' }).isEnabled(), true);
    assert.equal(await saveButton(page).isDisabled(), true);
    await minutes.blur();
    assert.equal(await minutes.getAttribute('aria-invalid'), 'true');
    assert.equal(await unloadAsks(page), true);

    // Dismissed: the page and the typed text stay; the back button is guarded too.
    const editorUrl = page.url();
    const asked = [];
    page.on('dialog', (dialog) => { asked.push(dialog.message()); dialog.dismiss(); });
    await page.getByRole('link', { name: 'All timetables' }).click();
    await waitFor(() => asked.length === 1, { what: 'the leave question' });
    assert.equal(page.url(), editorUrl);
    assert.equal(await minutes.inputValue(), '-5');
    await page.goBack();
    await waitFor(() => asked.length === 2, { what: 'the leave question on going back' });
    await waitFor(() => page.url() === editorUrl, { what: 'the editor to stay' });
    assert.equal(await minutes.inputValue(), '-5');
    // Logging out is a way out as well: dismissed, the session and the typed text stay.
    await page.getByRole('button', { name: 'Log out' }).click();
    await waitFor(() => asked.length === 3, { what: 'the leave question on logging out' });
    assert.equal(page.url(), editorUrl);
    assert.equal(await minutes.inputValue(), '-5');
    assert.equal((await page.request.get(`${stack.baseUrl}/api/get/status`)).status(), 200, 'still logged in');
    page.removeAllListeners('dialog');

    // Accepted: the page is left and nothing was saved.
    page.once('dialog', (dialog) => dialog.accept());
    await page.getByRole('link', { name: 'All timetables' }).click();
    await page.waitForURL(`${stack.baseUrl}/timetables`);
    assert.deepEqual(await stored(), before);
    assert.equal(await unloadAsks(page), false, 'the guard goes with the page');
    assert.ok(asked.every((text) => text === 'This timetable has unsaved changes. Leave without saving them?'));
  });

  it('marks silent lesson bells and names them next to Save, and still saves them', async () => {
    const { page } = browser;
    await openEditor(page);
    const start = fieldset(page, 'Start of lesson');
    await start.getByLabel('Signal').selectOption('NULL');
    await start.getByText('Silent: no signal is chosen, so nothing plays.').waitFor();
    const note = page.locator('.save-note');
    assert.equal(await note.innerText(), 'This bell plays nothing: Start of lesson.');
    await fieldset(page, 'Before the end').getByLabel('Signal').selectOption('NULL');
    assert.equal(await note.innerText(), 'These bells play nothing: Start of lesson, Before the end.');
    assert.equal(await page.locator('#channel-a .silent-warning:visible').count(), 2);
    await screenshot(page, 'editor-silent-desktop');

    await saveButton(page).click();
    await page.getByText('Timetable saved.').waitFor();
    const tt = await stored();
    assert.equal(tt.chA.startOfClass.id, 'NULL');
    assert.equal(tt.chA.preEnd.id, 'NULL');
    // Still marked after the save, while the bar is gone.
    assert.equal(await page.locator('#channel-a .silent-warning:visible').count(), 2);
    await start.getByLabel('Signal').selectOption('ID_melody');
    await fieldset(page, 'Before the end').getByLabel('Signal').selectOption('ID_ping');
    await saveButton(page).click();
    await page.locator('.save-bar').waitFor({ state: 'hidden' });
    assert.equal((await stored()).chA.startOfClass.id, 'ID_melody');
  });

  it('shows channel B read only and keeps it unchanged when saving', async () => {
    const { page, context } = browser;
    const tt = await stored();
    const chB = {
      ...tt.chB,
      lessons: ['07:00 - 07:50', '07:45 - 08:30'],
      endOfClass: { id: 'ID_guitar', doRepeat: true, iterations: 3, delaySec: 1.5 },
      preStartWaitMin: 7,
    };
    await postJson(context, stack.baseUrl, `/db/timetables/update/${DEFAULT_ID}`, { ...tt, chB });
    const before = await stored();

    await openEditor(page);
    const channelB = page.locator('.channel-b');
    await channelB.getByText('is kept with the timetable, but the player rings only channel A.').waitFor();
    await channelB.locator('summary').click();
    await channelB.getByText('guitar, 3 times, 1.5 s apart').waitFor();
    await channelB.getByText('Lesson 1 overlaps lesson 2.').waitFor();
    assert.equal(await channelB.locator('input, select, textarea, button').count(), 0);

    await page.getByLabel('Name').fill('Default day');
    await saveButton(page).click();
    await page.getByText('Timetable saved.').waitFor();
    const after = await stored();
    assert.equal(after.name, 'Default day');
    assert.deepEqual(after.chB, before.chB);
  });

  it('refuses a name another timetable has when creating, renaming, duplicating and editing', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables`);
    await page.getByRole('button', { name: 'New timetable' }).click();
    let dialog = page.getByRole('dialog');
    await dialog.getByLabel('Name').fill('Exam day');
    await dialog.getByRole('button', { name: 'Create' }).click();
    await page.waitForURL(/\/timetables\/[0-9a-f-]{36}$/);
    const examId = decodeURIComponent(page.url().split('/').pop());
    const count = async () => Object.keys((await db()).timetables).length;
    assert.equal(await count(), 2);

    const refused = async (name, button, error) => {
      dialog = page.getByRole('dialog');
      await dialog.getByRole('textbox').fill(name);
      await dialog.getByRole('button', { name: button }).click();
      await dialog.getByText(error).waitFor();
      await dialog.getByRole('button', { name: 'Cancel' }).click();
      await dialog.waitFor({ state: 'detached' });
    };
    await page.getByRole('link', { name: 'All timetables' }).click();
    await page.getByRole('button', { name: 'New timetable' }).click();
    await refused('  default day ', 'Create', 'A timetable named “Default day” already exists.');
    await page.getByRole('button', { name: 'Rename Exam day' }).click();
    await refused('DEFAULT DAY', 'Rename', 'A timetable named “Default day” already exists.');
    await page.getByRole('button', { name: 'Duplicate Default day' }).click();
    assert.equal(await page.getByRole('dialog').getByRole('textbox').inputValue(), 'Default day (copy)');
    await refused('exam day', 'Duplicate', 'A timetable named “Exam day” already exists.');
    assert.equal(await count(), 2);
    assert.equal((await stored(examId)).name, 'Exam day');

    // The same name in other letters is still the timetable's own.
    await page.getByRole('button', { name: 'Rename Exam day' }).click();
    dialog = page.getByRole('dialog');
    await dialog.getByRole('textbox').fill('EXAM DAY');
    await dialog.getByRole('button', { name: 'Rename' }).click();
    await page.getByRole('link', { name: 'EXAM DAY' }).waitFor();

    await openEditor(page, examId);
    const name = page.getByLabel('Name');
    await name.fill('Default Day ');
    await name.blur();
    await page.getByText('A timetable named “Default day” already exists.').first().waitFor();
    assert.equal(await status(page).innerText(), 'Fix the marked fields to save');
    await saveButton(page).press('Enter');
    await page.locator('.error-summary').getByText('Name: A timetable named “Default day” already exists.').waitFor();
    assert.equal((await stored(examId)).name, 'EXAM DAY');
    await page.getByRole('button', { name: 'Discard changes' }).click();
    assert.deepEqual(browser.problems, []);
  });

  describe('on a phone', () => {
    let phone;
    before(async () => {
      phone = await startBrowser(PHONE);
      await logIn(phone.page, stack.baseUrl, 'guard-pass');
    });
    after(async () => {
      if (phone) await phone.close();
    });

    it('gives rename its own icon and name beside Edit', async () => {
      const { page } = phone;
      await page.goto(`${stack.baseUrl}/timetables`);
      const item = page.locator('.tt-item', { has: page.getByRole('link', { name: 'Default day', exact: true }) });
      const rename = item.getByRole('button', { name: 'Rename Default day' });
      await rename.waitFor();
      const edit = item.getByRole('link', { name: 'Edit' });
      const drawing = (el) => el.locator('svg').innerHTML();
      assert.notEqual(await drawing(rename), await drawing(edit));
      assert.equal(await rename.innerText(), 'Rename', 'worded on a phone as well');
      await screenshot(page, 'editor-guards-timetables-phone');
    });

    it('hides the save bar while there is nothing to save, and shows it on a change', async () => {
      const { page } = phone;
      await openEditor(page);
      const bar = page.locator('.save-bar');
      assert.equal(await bar.isHidden(), true);
      await screenshot(page, 'timetable-editor-clean-phone');
      await page.locator('#lesson-1-end').fill('08:30');
      await bar.waitFor();
      await status(page).getByText('Fix the marked fields to save').waitFor();
      await saveButton(page).press('Enter');
      await page.locator('.error-summary').waitFor();
      await screenshot(page, 'timetable-editor-errors-phone');
      await page.getByRole('button', { name: 'Discard changes' }).click();
      await bar.waitFor({ state: 'hidden' });
      assert.deepEqual(phone.problems, []);
    });
  });
});
