// What the timetable editor refuses and warns about, the save bar, leaving with unsaved input, channel B
// read only, duplicate timetable names, and the timetables list on a phone; each refusal checked
// against GET /db.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, logIn, screenshot, getJson, postJson, waitFor, PHONE, answerLeaveQuestion } from '../lib/harness.mjs';

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
    assert.equal(await status(page).innerText(), 'Lesson 3 (09:40–09:40) ends when it starts.', 'the save bar names what stops saving');
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
    await status(page).getByText('Before the start: Minutes before: enter a whole number between 0 and 720.').waitFor();
    assert.equal(await page.getByRole('button', { name: 'Discard changes' }).isEnabled(), true);
    assert.equal(await saveButton(page).isDisabled(), true);
    await minutes.blur();
    assert.equal(await minutes.getAttribute('aria-invalid'), 'true');
    assert.equal(await unloadAsks(page), true);

    // Dismissed: the page and the typed text stay; the back button is guarded too.
    const editorUrl = page.url();
    const asked = [];
    // The app's own dialog asks inside the app; the browser's popup is only for closing the tab.
    const popups = [];
    page.on('dialog', (dialog) => { popups.push(dialog.message()); dialog.dismiss(); });
    await page.getByRole('link', { name: 'All timetables' }).click();
    asked.push(await answerLeaveQuestion(page, false));
    assert.equal(page.url(), editorUrl);
    assert.equal(await minutes.inputValue(), '-5');
    await page.goBack();
    asked.push(await answerLeaveQuestion(page, false));
    await waitFor(() => page.url() === editorUrl, { what: 'the editor to stay' });
    assert.equal(await minutes.inputValue(), '-5');
    // Logging out is a way out as well: dismissed, the session and the typed text stay.
    await page.getByRole('button', { name: 'Log out' }).click();
    asked.push(await answerLeaveQuestion(page, false));
    assert.equal(page.url(), editorUrl);
    assert.equal(await minutes.inputValue(), '-5');
    assert.equal((await page.request.get(`${stack.baseUrl}/api/get/status`)).status(), 200, 'still logged in');

    // Accepted on the back button: the page it led to opens, and nothing was saved.
    await page.goBack();
    asked.push(await answerLeaveQuestion(page, true));
    await page.waitForURL(`${stack.baseUrl}/timetables`);
    assert.deepEqual(await stored(), before);
    assert.equal(await unloadAsks(page), false, 'the guard goes with the page');
    assert.equal(asked.length, 4);
    assert.ok(asked.every((text) => text === 'This timetable has unsaved changes. Leave without saving them?'));
    assert.deepEqual(popups, []);
    page.removeAllListeners('dialog');
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
    assert.equal(await status(page).innerText(), 'Name: A timetable named “Default day” already exists.');
    await saveButton(page).press('Enter');
    await page.locator('.error-summary').getByText('Name: A timetable named “Default day” already exists.').waitFor();
    assert.equal((await stored(examId)).name, 'EXAM DAY');
    await page.getByRole('button', { name: 'Discard changes' }).click();
    assert.deepEqual(browser.problems, []);
  });

  describe('the save bar, breaks, typed times and the lesson generator', () => {
    let genId;
    const desc = (id) => ({ id, doRepeat: false, iterations: 2, delaySec: 1 });
    before(async () => {
      const channel = {
        lessons: ['08:00 - 08:45', '09:00 - 09:45', '10:00 - 10:45'], startOfClass: desc('ID_melody'), endOfClass: desc('ID_melody'),
        preStartWaitMin: 5, preStart: desc('ID_ping'), preEndWaitMin: 5, preEnd: desc('ID_ping'),
      };
      genId = await postJson(browser.context, stack.baseUrl, '/db/timetables/create', { name: 'Generated day', chA: channel, chB: channel, customPlays: [] });
    });
    const inView = (locator) => locator.evaluate((el) => {
      const box = el.getBoundingClientRect();
      const bar = document.querySelector('.save-bar').getBoundingClientRect();
      return box.top >= 0 && box.bottom <= Math.min(window.innerHeight, bar.top);
    });

    it('names the blocking problem first, before the note about silent bells, and goes to its field when pressed', async () => {
      const { page } = browser;
      const before = await stored(genId);
      await openEditor(page, genId);
      await fieldset(page, 'Start of lesson').getByLabel('Signal').selectOption('NULL');
      assert.equal(await status(page).innerText(), 'Unsaved changes');
      await page.locator('#lesson-1-start').fill('08:30');
      assert.equal(await status(page).innerText(), 'Lesson 1 overlaps lesson 2.');
      const note = page.locator('.save-note');
      assert.equal(await note.innerText(), 'This bell plays nothing: Start of lesson.', 'the warning stays, after the error');
      assert.equal(await page.locator('.save-bar').evaluate((bar) => {
        const s = bar.querySelector('.save-status');
        const n = bar.querySelector('.save-note');
        return Boolean(s.compareDocumentPosition(n) & Node.DOCUMENT_POSITION_FOLLOWING) && s.getBoundingClientRect().left <= n.getBoundingClientRect().left;
      }), true);

      // A field further down the page is named later: problems go in the page's order.
      await page.locator('#lesson-2-end').fill('');
      assert.equal(await status(page).innerText(), 'Lesson 1 overlaps lesson 2. (1 more)');

      // Pressed with the field out of view: it is brought into view and focused.
      await page.locator('#add-extra').focus();
      await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
      assert.equal(await inView(page.locator('#lesson-1-start')), false, 'scrolled away first');
      await status(page).getByRole('button', { name: 'Lesson 1 overlaps lesson 2. (1 more)' }).click();
      assert.equal(await page.evaluate(() => document.activeElement.id), 'lesson-1-start');
      assert.ok(await inView(page.locator('#lesson-1-start')), 'clear of the header and the save bar');

      // Save does the same, lists every problem and sends nothing.
      await page.locator('#add-extra').focus();
      await page.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
      await saveButton(page).press('Enter');
      assert.equal(await page.evaluate(() => document.activeElement.id), 'lesson-1-start');
      assert.ok(await inView(page.locator('#lesson-1-start')));
      const summary = page.locator('.error-summary');
      await summary.getByText('Lesson 1 overlaps lesson 2.').waitFor();
      await summary.getByText('Channel A, lesson 3, end: enter a time such as 08:00.').waitFor();
      assert.equal(await summary.getAttribute('role'), 'alert');
      assert.deepEqual(await stored(genId), before);

      // Fixing the first names the next.
      await page.locator('#lesson-1-start').fill('09:00');
      assert.equal(await status(page).innerText(), 'Channel A, lesson 3, end: enter a time such as 08:00.');
      await page.locator('#lesson-2-end').fill('10:45');
      assert.equal(await status(page).innerText(), 'Unsaved changes');
      await page.getByRole('button', { name: 'Discard changes' }).click();
      await page.locator('.save-bar').waitFor({ state: 'hidden' });
    });

    it('shows the break between lessons as listed, and none for an overlap', async () => {
      const { page } = browser;
      await openEditor(page, genId);
      const breaks = page.getByTestId('lesson-break');
      const shown = () => breaks.evaluateAll((els) => els.map((el) => (el.hidden ? '' : el.textContent)));
      assert.deepEqual(await shown(), ['', '15 min break', '15 min break'], 'none before the first lesson');
      assert.equal(await page.locator('.lesson-item').nth(1).getByText('15 min break').isVisible(), true);
      await page.locator('#lesson-0-end').fill('09:00');
      assert.deepEqual(await shown(), ['', 'No break', '15 min break']);
      await page.locator('#lesson-0-end').fill('09:10');
      assert.deepEqual(await shown(), ['', '', '15 min break'], 'an overlap is named by the checks instead');
      await page.locator('.lesson-problems').getByText('Lesson 1 overlaps lesson 2.').waitFor();
      // Counted as typed, before the field is left.
      await page.locator('#lesson-1-start').fill('930');
      assert.deepEqual(await shown(), ['', '20 min break', '15 min break']);
      await page.locator('#lesson-1-start').fill('9.3');
      assert.deepEqual(await shown(), ['', '', '15 min break'], 'none beside a time that is not one');
      await page.getByRole('button', { name: 'Discard changes' }).click();
      assert.deepEqual(await shown(), ['', '15 min break', '15 min break']);
    });

    it('takes 8.00, 8:00, 800, 0800 and 8 as 08:00, with a number keypad, and marks what is no time', async () => {
      const { page } = browser;
      await openEditor(page, genId);
      const inputs = page.locator('input.time-input');
      assert.ok(await inputs.count() >= 6);
      assert.deepEqual([...new Set(await inputs.evaluateAll((els) => els.map((el) => el.inputMode)))], ['decimal']);
      const start = page.locator('#lesson-0-start');
      for (const typed of ['8.00', '8:00', '800', '0800', '8', '7:5', '745']) {
        await start.fill(typed);
        await start.blur();
        assert.equal(await start.inputValue(), typed.startsWith('7') ? (typed === '7:5' ? '07:05' : '07:45') : '08:00', typed);
        assert.equal(await start.getAttribute('aria-invalid'), null, typed);
      }
      for (const typed of ['8.60', '2400', '12345', '8:']) {
        await start.fill(typed);
        await start.blur();
        assert.equal(await start.inputValue(), typed, 'kept as typed to be corrected');
        assert.equal(await start.getAttribute('aria-invalid'), 'true', typed);
      }
      assert.match(await status(page).innerText(), /Channel A, lesson 1, start: "8:" is not a time/);
      await start.fill('800');
      await start.blur();
      assert.equal(await start.getAttribute('aria-invalid'), null);
      // Extra plays' clock times too, saved as the player writes them.
      await page.getByRole('button', { name: 'Add extra play' }).click();
      await page.locator('#add-slot-0').click();
      await page.locator('#slot-0-0').fill('1015');
      await page.locator('#lesson-0-end').fill('0845');
      await saveButton(page).click();
      await page.getByText('Timetable saved.').waitFor();
      const tt = await stored(genId);
      assert.equal(tt.chA.lessons[0], '08:00 - 08:45');
      assert.deepEqual(tt.customPlays.map((p) => p.slots), [['10:15']]);
      assert.equal(await page.locator('#slot-0-0').inputValue(), '10:15');
    });

    it('labels the repeat count and the clock times of an extra play apart', async () => {
      const { page } = browser;
      await openEditor(page, genId);
      const extra = page.locator('.extra-play').first();
      await extra.getByRole('checkbox', { name: 'Repeat' }).check();
      assert.equal(await extra.getByLabel('Times', { exact: true }).getAttribute('type'), 'number');
      const clock = extra.getByRole('list', { name: 'Rings at' });
      assert.equal(await clock.locator('input').inputValue(), '10:15');
      assert.equal(await extra.getByText('Times', { exact: true }).count(), 1, 'one "Times", the count');
      await page.getByRole('button', { name: 'Discard changes' }).click();
    });

    it('makes the lessons from a number, a length, the first start and the breaks, asking before replacing', async () => {
      const { page } = browser;
      await openEditor(page, genId);
      await page.getByText('Make the lessons from a length and breaks').click();
      const count = page.getByLabel('Number of lessons');
      const length = page.getByLabel('Lesson length (min)');
      const first = page.getByLabel('First lesson starts');
      const common = page.getByLabel('Break after each lesson (min)');
      const breakAfter = (n) => page.getByLabel(`After lesson ${n}`, { exact: true });
      // Filled from the lessons there are.
      assert.deepEqual([await count.inputValue(), await length.inputValue(), await first.inputValue(), await common.inputValue()], ['3', '45', '08:00', '15']);
      assert.deepEqual(await page.locator('.generator-breaks input').evaluateAll((els) => els.map((el) => el.value)), ['15', '15']);
      await count.fill('4');
      assert.equal(await page.locator('.generator-breaks input').count(), 3);
      await common.fill('10');
      await breakAfter(2).fill('20');
      await common.fill('5');
      assert.deepEqual(await page.locator('.generator-breaks input').evaluateAll((els) => els.map((el) => el.value)), ['5', '20', '5'],
        'the common length changes the breaks not typed one by one');
      await length.fill('40');
      await first.fill('7.45');
      assert.equal(await page.locator('.save-bar').isHidden(), true, 'the generator alone changes nothing');

      // Cancelled: the lessons stay.
      await page.getByRole('button', { name: 'Make the lessons' }).click();
      let dialog = page.getByRole('dialog', { name: 'Replace the lessons?' });
      await dialog.getByText('The 3 lessons in the list are replaced by 4 lessons, 07:45–10:55.').waitFor();
      await screenshot(page, 'editor-generator-ask-desktop', { fullPage: false });
      await dialog.getByRole('button', { name: 'Cancel' }).click();
      await dialog.waitFor({ state: 'detached' });
      assert.equal(await page.locator('.lesson-row').count(), 3);
      assert.equal(await page.locator('#lesson-0-start').inputValue(), '08:00');

      await page.getByRole('button', { name: 'Make the lessons' }).click();
      dialog = page.getByRole('dialog', { name: 'Replace the lessons?' });
      await dialog.getByRole('button', { name: 'Replace the lessons' }).click();
      await dialog.waitFor({ state: 'detached' });
      const lessonTexts = () => page.locator('.lesson-row').evaluateAll((rows) => rows.map((r) => [...r.querySelectorAll('input')].map((i) => i.value).join('-')));
      assert.deepEqual(await lessonTexts(), ['07:45-08:25', '08:30-09:10', '09:30-10:10', '10:15-10:55']);
      assert.equal(await page.evaluate(() => document.activeElement.id), 'lesson-0-start');
      assert.deepEqual(await page.getByTestId('lesson-break').evaluateAll((els) => els.filter((el) => !el.hidden).map((el) => el.textContent)),
        ['5 min break', '20 min break', '5 min break']);
      assert.equal(await status(page).innerText(), 'Unsaved changes');
      await screenshot(page, 'editor-generator-desktop');
      await saveButton(page).click();
      await page.getByText('Timetable saved.').waitFor();
      assert.deepEqual((await stored(genId)).chA.lessons, ['07:45 - 08:25', '08:30 - 09:10', '09:30 - 10:10', '10:15 - 10:55']);
    });

    it('refuses lessons past midnight and lengths of zero, changing nothing, and asks nothing for an empty list', async () => {
      const { page } = browser;
      await openEditor(page, genId);
      await page.getByText('Make the lessons from a length and breaks').click();
      const problems = page.locator('.generator-problems');
      const make = page.getByRole('button', { name: 'Make the lessons' });
      const before = await page.locator('.lesson-row').count();

      await page.getByLabel('Lesson length (min)').fill('0');
      await make.click();
      await problems.getByText('Lesson length: enter a whole number of minutes, 1 or more.').waitFor();
      assert.equal(await page.getByLabel('Lesson length (min)').getAttribute('aria-invalid'), 'true');
      assert.equal(await page.evaluate(() => document.activeElement.id), 'gen-length');
      await page.getByLabel('Lesson length (min)').fill('45');
      await page.getByLabel('First lesson starts').fill('22:00');
      await make.click();
      await problems.getByText('Lesson 3 would run past midnight (to 00:25): make fewer or shorter lessons, or start earlier.').waitFor();
      assert.equal(await page.getByRole('dialog').count(), 0);
      assert.equal(await page.locator('.lesson-row').count(), before);
      assert.equal(await page.locator('.save-bar').isHidden(), true);

      // With no lessons there is nothing to replace, so nothing to ask.
      for (let n = before; n > 0; n -= 1) await page.getByRole('button', { name: `Remove lesson ${n}` }).click();
      assert.equal(await page.locator('.lesson-row').count(), 0);
      assert.equal(await page.getByText('Make the lessons from a length and breaks').isVisible(), true);
      await page.getByLabel('First lesson starts').fill('8');
      await page.getByLabel('Number of lessons').fill('2');
      await make.click();
      assert.equal(await page.getByRole('dialog').count(), 0);
      assert.equal(await problems.isHidden(), true, 'the refusal is gone');
      assert.deepEqual(await page.locator('.lesson-row input').evaluateAll((els) => els.map((el) => el.value)), ['08:00', '08:45', '08:50', '09:35']);
      await page.getByRole('button', { name: 'Discard changes' }).click();
      assert.deepEqual(browser.problems, []);
    });
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

    it('fits 390 and 320 px without sideways scrolling, the generator open and a problem in the save bar', async () => {
      const narrow = await startBrowser({ width: 320, height: 640 });
      try {
        for (const [label, b] of [['phone', phone], ['320', narrow]]) {
          const { page } = b;
          if (b === narrow) await logIn(page, stack.baseUrl, 'guard-pass');
          await openEditor(page);
          await page.getByText('Make the lessons from a length and breaks').click();
          await page.locator('#lesson-1-start').fill('09:30');
          await status(page).getByText('Lesson 1 overlaps lesson 2.').waitFor();
          const m = await page.evaluate(() => ({ scrollWidth: document.scrollingElement.scrollWidth, clientWidth: document.scrollingElement.clientWidth }));
          assert.ok(m.scrollWidth <= m.clientWidth, `${label}: ${m.scrollWidth} > ${m.clientWidth}`);
          await screenshot(page, `editor-generator-${label}`);
          await screenshot(page, `editor-save-bar-${label}`, { fullPage: false });
          await page.getByRole('button', { name: 'Discard changes' }).click();
          await page.locator('.save-bar').waitFor({ state: 'hidden' });
        }
        assert.deepEqual(narrow.problems, []);
      } finally {
        await narrow.close();
      }
    });

    it('hides the save bar while there is nothing to save, and shows it on a change', async () => {
      const { page } = phone;
      await openEditor(page);
      const bar = page.locator('.save-bar');
      assert.equal(await bar.isHidden(), true);
      await screenshot(page, 'timetable-editor-clean-phone');
      await page.locator('#lesson-1-end').fill('08:30');
      await bar.waitFor();
      await status(page).getByText('Lesson 2 (10:00–08:30) ends before it starts.').waitFor();
      await saveButton(page).press('Enter');
      await page.locator('.error-summary').waitFor();
      await screenshot(page, 'timetable-editor-errors-phone');
      await page.getByRole('button', { name: 'Discard changes' }).click();
      await bar.waitFor({ state: 'hidden' });
      assert.deepEqual(phone.problems, []);
    });
  });
});
