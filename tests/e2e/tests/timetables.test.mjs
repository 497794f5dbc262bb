// Creating, editing, renaming, duplicating and deleting timetables, checked against GET /db.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import {
  startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, addDays, PHONE,
} from '../lib/harness.mjs';

const fieldset = (page, panel, legend) => page.locator(`${panel} fieldset`, { has: page.locator('legend', { hasText: legend }) });

describe('timetables', () => {
  let stack;
  let browser;
  let ttId;

  before(async () => {
    stack = await startStack('timetables');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'tt-passwd');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const db = () => getJson(browser.context, stack.baseUrl, '/db');

  it('creates a timetable with the factory signals and opens its editor', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables`);
    await page.getByRole('button', { name: 'New timetable' }).click();
    const dialog = page.getByRole('dialog');
    await dialog.getByLabel('Name').fill('Exam day');
    await dialog.getByRole('button', { name: 'Create' }).click();
    await page.waitForURL(/\/timetables\/[0-9a-f-]{36}$/);
    ttId = decodeURIComponent(page.url().split('/').pop());
    await page.getByRole('heading', { name: 'Exam day', level: 1 }).waitFor();
    const created = (await db()).timetables[ttId];
    assert.equal(created.name, 'Exam day');
    assert.equal(created.chA.lessons.length, 6);
    // The signals of the player's own default timetable, on both channels.
    for (const ch of [created.chA, created.chB]) {
      assert.deepEqual([ch.startOfClass.id, ch.endOfClass.id, ch.preStart.id, ch.preEnd.id], ['ID_melody', 'ID_melody', 'ID_ping', 'ID_ping']);
    }
    assert.equal(await page.locator('#channel-a .silent-warning:visible').count(), 0);
  });

  it('refuses malformed times in words and sends nothing', async () => {
    const { page } = browser;
    await page.locator('#lesson-0-start').fill('25:00');
    await page.getByRole('button', { name: 'Save changes' }).press('Enter');
    const summary = page.locator('.error-summary');
    await summary.getByText('Channel A, lesson 1, start: "25:00" is not a time').waitFor();
    assert.equal((await db()).timetables[ttId].chA.lessons[0], '08:00 - 08:45');

    // An end before its start is refused too.
    await page.locator('#lesson-0-start').fill('08:00');
    await page.locator('#lesson-1-end').fill('08:30');
    await page.getByRole('button', { name: 'Save changes' }).press('Enter');
    await summary.getByText('Lesson 2 (09:00–08:30) ends before it starts.').waitFor();
    await page.getByRole('button', { name: 'Discard changes' }).click();
    assert.equal(await page.locator('#lesson-1-end').inputValue(), '09:45');
  });

  it('saves lessons, signals and extra plays as one timetable, channel B as it was', async () => {
    const { page } = browser;
    const before = (await db()).timetables[ttId];
    const start = page.locator('#lesson-0-start');
    await start.fill('7:50');
    await start.blur();
    assert.equal(await start.inputValue(), '07:50');

    await page.locator('#add-lesson').click();
    assert.equal(await page.locator('#lesson-6-start').inputValue(), '13:55');
    assert.equal(await page.locator('#lesson-6-end').inputValue(), '14:40');

    const startOfLesson = fieldset(page, '#channel-a', 'Start of lesson');
    await startOfLesson.getByLabel('Signal').selectOption('ID_ring');
    await startOfLesson.getByLabel('Repeat').check();
    await startOfLesson.getByLabel('Times').fill('3');
    const preEnd = fieldset(page, '#channel-a', 'Before the end');
    await preEnd.getByLabel('Minutes before').fill('2');

    await page.getByRole('button', { name: 'Add extra play' }).click();
    await page.locator('#add-slot-0').click();
    await page.locator('#slot-0-0').fill('10:15');
    await fieldset(page, '.extra-list', 'Extra play 1').getByLabel('Signal').selectOption('ID_robot');
    await page.locator('.save-status', { hasText: 'Unsaved changes' }).waitFor();
    await screenshot(page, 'timetable-editor-desktop');

    await page.getByRole('button', { name: 'Save changes' }).click();
    await page.getByText('Timetable saved.').waitFor();
    await page.locator('.save-bar').waitFor({ state: 'hidden' });

    const tt = (await db()).timetables[ttId];
    assert.equal(tt.name, 'Exam day');
    assert.equal(tt.chA.lessons.length, 7);
    assert.equal(tt.chA.lessons[0], '07:50 - 08:45');
    assert.equal(tt.chA.lessons[6], '13:55 - 14:40');
    assert.deepEqual(tt.chA.startOfClass, { id: 'ID_ring', doRepeat: true, iterations: 3, delaySec: 1 });
    assert.equal(tt.chA.preEndWaitMin, 2);
    assert.deepEqual(tt.chB, before.chB);
    assert.equal(tt.chA.endOfClass.id, 'ID_melody');
    assert.equal(tt.customPlays.length, 1);
    assert.deepEqual(tt.customPlays[0].slots, ['10:15']);
    assert.equal(tt.customPlays[0].desc.id, 'ID_robot');
  });

  it('sorts lessons and removes one', async () => {
    const { page } = browser;
    await page.locator('#lesson-6-start').fill('06:00');
    await page.locator('#lesson-6-end').fill('06:45');
    await page.locator('#sort-lessons').click();
    assert.equal(await page.locator('#lesson-0-start').inputValue(), '06:00');
    assert.equal(await page.locator('#lesson-1-start').inputValue(), '07:50');
    await page.getByRole('button', { name: 'Remove lesson 2' }).click();
    await page.getByRole('button', { name: 'Save changes' }).click();
    await page.locator('.save-bar').waitFor({ state: 'hidden' });
    assert.deepEqual((await db()).timetables[ttId].chA.lessons,
      ['06:00 - 06:45', '09:00 - 09:45', '10:00 - 10:45', '11:00 - 11:45', '12:00 - 12:45', '13:00 - 13:45']);
  });

  it('renames, duplicates and deletes from the list, asking before deleting', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables`);
    await page.getByRole('button', { name: 'Rename Exam day' }).click();
    let dialog = page.getByRole('dialog');
    await dialog.getByLabel('New name').fill('Short day');
    await dialog.getByRole('button', { name: 'Rename' }).click();
    await page.getByRole('link', { name: 'Short day' }).waitFor();
    assert.equal((await db()).timetables[ttId].name, 'Short day');

    await page.getByRole('button', { name: 'Duplicate Short day' }).click();
    dialog = page.getByRole('dialog');
    await dialog.getByRole('button', { name: 'Duplicate' }).click();
    await page.getByRole('link', { name: 'Short day (copy)' }).waitFor();
    const all = (await db()).timetables;
    const copyId = Object.keys(all).find((id) => all[id].name === 'Short day (copy)');
    assert.ok(copyId && copyId !== ttId);
    assert.deepEqual(all[copyId].chA, all[ttId].chA);
    assert.deepEqual(all[copyId].customPlays, all[ttId].customPlays);
    await screenshot(page, 'timetables-desktop');

    await page.getByRole('button', { name: 'Delete Short day (copy)' }).click();
    await page.getByRole('dialog').getByRole('button', { name: 'Cancel' }).click();
    assert.ok((await db()).timetables[copyId]);

    await page.getByRole('button', { name: 'Delete Short day (copy)' }).click();
    await page.getByRole('dialog').getByRole('button', { name: 'Delete timetable' }).click();
    await page.getByRole('link', { name: 'Short day (copy)' }).waitFor({ state: 'detached' });
    await waitFor(async () => !(await db()).timetables[copyId], { what: 'the copy to be deleted' });
    assert.ok((await db()).timetables[ttId]);
    assert.deepEqual(browser.problems, []);
  });

  it('says on each row where the timetable rings, also on a phone', async () => {
    const { page, context } = browser;
    const { timetables, settings } = await db();
    const base = timetables[settings.defaultTimetableId];
    const create = (name) => postJson(context, stack.baseUrl, '/db/timetables/create', { name, chA: base.chA, chB: base.chB, customPlays: [] });
    const weekly = await create('Long week');
    const trips = await create('Trip days');
    const exam = await create('Exam');
    await create('Spare');
    const today = (await getJson(context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
    await postJson(context, stack.baseUrl, '/db/plan/weekdays', { weekdayTimetables: [weekly, '', '', '', weekly, '', ''] });
    for (const offset of [30, 31, 40]) await postJson(context, stack.baseUrl, '/db/plan/days', { from: addDays(today, offset), timetableId: trips });
    // A date of next year is worded with its year.
    const examDay = `${Number(today.slice(0, 4)) + 1}-03-02`;
    await postJson(context, stack.baseUrl, '/db/plan/days', { from: examDay, timetableId: exam });
    await postJson(context, stack.baseUrl, '/db/plan/days', { from: addDays(today, 50), timetableId: settings.defaultTimetableId });

    const uses = (name) => page.locator('li.tt-item', { has: page.getByRole('link', { name, exact: true }) }).getByTestId('tt-uses');
    await page.goto(`${stack.baseUrl}/timetables`);
    await uses('Spare').waitFor();
    assert.equal(await uses('Long week').innerText(), 'Mondays and Fridays');
    assert.equal(await uses('Trip days').innerText(), '3 planned dates');
    assert.equal(await uses('Exam').innerText(), `Planned for 2 March ${examDay.slice(0, 4)}`);
    assert.equal(await uses('Spare').innerText(), 'Not used');
    assert.match(await uses(base.name).innerText(), /^Default timetable · Planned for \d{1,2} [A-Z][a-z]+( \d{4})?$/);
    // As the player reports them, whatever the list's own words.
    const reported = Object.fromEntries((await getJson(context, stack.baseUrl, '/db/timetables')).map((t) => [t.id, t.uses]));
    assert.deepEqual([...reported[weekly].weekdays].sort(), [0, 4]);
    assert.equal(reported[trips].dates.length, 3);
    assert.equal(reported[trips].default, false);
    await screenshot(page, 'timetables-uses-desktop');

    await page.setViewportSize(PHONE);
    try {
      await uses('Long week').waitFor();
      for (const name of ['Long week', 'Trip days', 'Exam', 'Spare', base.name]) {
        const box = await uses(name).boundingBox();
        assert.ok(box.x >= 0 && box.x + box.width <= PHONE.width, `${name}'s uses fit on the screen`);
        assert.ok(box.height < 60, `${name}'s uses stay short`);
      }
      assert.equal(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), true, 'no sideways scrolling');
      await screenshot(page, 'timetables-uses-phone');
    } finally {
      await page.setViewportSize({ width: 1280, height: 900 });
    }
    assert.deepEqual(browser.problems, []);
  });

  it('listens to a bell\'s signal in the browser, not on the speakers, one at a time', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables/${encodeURIComponent(ttId)}`);
    const choices = page.locator('fieldset.play-desc .signal-choice');
    await choices.first().waitFor();
    const [first, second] = [choices.nth(0), choices.nth(1)];
    const select = first.locator('select');
    const chosen = await select.inputValue();
    const playsBefore = stack.plays().length;
    const playing = (choice) => choice.locator('audio').evaluate((a) => !a.paused && a.readyState >= 2);

    await first.getByRole('button', { name: /^Listen to .+ in this browser$/ }).click();
    await waitFor(() => playing(first), { what: 'the signal to play in the browser' });
    assert.equal(await first.locator('audio').getAttribute('src'), `/get_signal_file/${chosen}`);
    assert.equal(await first.locator('.listen-button').getAttribute('aria-pressed'), 'true');
    await screenshot(page, 'timetable-editor-listen-desktop', { fullPage: false });

    // Pressed again: silence.
    await first.getByRole('button', { name: /^Stop listening to / }).click();
    await waitFor(async () => !(await playing(first)), { what: 'the preview to stop' });
    assert.equal(await first.locator('.listen-button').getAttribute('aria-pressed'), 'false');

    // A second Listen stops the first, so two sounds never mix.
    await first.locator('.listen-button').click();
    await waitFor(() => playing(first), { what: 'the first to play again' });
    await second.locator('.listen-button').click();
    await waitFor(async () => (await playing(second)) && !(await playing(first)), { what: 'only the second to play' });

    // Nothing to hear without a signal; another choice stops what the old one played.
    await second.locator('select').selectOption('NULL');
    await waitFor(async () => !(await playing(second)), { what: 'the preview to stop on another choice' });
    assert.equal(await second.locator('.listen-button').isDisabled(), true);
    assert.equal(stack.plays().length, playsBefore, 'nothing sent to the speakers');
    assert.deepEqual(browser.problems, []);
  });
});
