// Any day's bells in the calendar and why in the day's own words, planning a day and a range (its
// working days only, the days off it holds counted first), weekday timetables, the dashboard on a day
// without bells, timetables exported and imported under a free name, and a backup downloaded and restored.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, addDays } from '../lib/harness.mjs';

const FACTORY = 'ID_factory_default_timetable';
const MONTHS = ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August', 'September', 'October', 'November', 'December'];
const silent = { id: 'NULL', doRepeat: false, iterations: 1, delaySec: 1.0 };
const CHANNEL = {
  lessons: ['08:00 - 08:45'], startOfClass: silent, endOfClass: silent,
  preStartWaitMin: 5, preStart: silent, preEndWaitMin: 5, preEnd: silent,
};

/** "12 December 2026" of "2026-12-12". */
const dateWords = (key) => `${Number(key.slice(8))} ${MONTHS[Number(key.slice(5, 7)) - 1]} ${key.slice(0, 4)}`;

describe('planning ahead, backup and restore', () => {
  let stack;
  let browser;
  let today;

  before(async () => {
    stack = await startStack('plan');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'plan-pass');
    today = (await getJson(browser.context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const get = (url) => getJson(browser.context, stack.baseUrl, url);
  const plannedDates = async () => (await get('/api/get/settings')).plannedDays.map((p) => `${p.date}=${p.timetableId}`);

  async function openDay(page, key) {
    await page.goto(`${stack.baseUrl}/calendar?month=${key.slice(0, 7)}`);
    await page.locator(`td[data-date="${key}"] button`).click();
    await page.getByTestId('day-title').filter({ hasText: dateWords(key) }).waitFor();
  }
  // The same day again, once the panel has drawn it after a change.
  const panelOf = (page, key) => page.getByTestId('day-panel').filter({ has: page.getByTestId('day-title').filter({ hasText: dateWords(key) }) });
  const region = async () => (await get('/api/get/calendarInfo')).regions.find((r) => r.id === 'hu');

  it('shows today as the dashboard does and where the calendar data ends', async () => {
    const { page } = browser;
    await waitFor(async () => (await get('/api/get/calendarInfo')).regions.some((r) => r.id === 'hu'),
      { what: 'the calendar from the stand-in', timeoutMs: 20000 });
    await page.goto(`${stack.baseUrl}/calendar`);
    await page.getByTestId('day-title').filter({ hasText: '(today)' }).waitFor();
    const overview = await get('/api/get/overview');
    const active = overview.timetables.find((t) => t.id === overview.activeTimetableInfo.id);
    assert.equal(await page.getByTestId('day-timetable').textContent(), active ? active.name : 'None');
    await page.getByText(`No calendar data after ${dateWords('2028-08-31')}`).first().waitFor();
    assert.equal(await page.locator(`td[data-date="${today}"]`).getAttribute('class').then((c) => c.includes('is-today')), true);
  });

  it('plans a day without bells and a range with a timetable from the day panel', async () => {
    const { page } = browser;
    const day = addDays(today, 2);
    await openDay(page, day);
    await page.getByLabel('Timetable', { exact: true }).selectOption('NULL');
    await page.getByRole('button', { name: 'Save plan' }).click();
    await page.getByText('Plan saved.').waitFor();
    await page.getByTestId('day-no-bells').waitFor();
    assert.match(await page.getByTestId('day-source').textContent(), /Planned as a day without bells/);
    assert.deepEqual(await plannedDates(), [`${day}=NULL`]);
    await page.locator(`td[data-date="${day}"].is-planned`).waitFor();

    // Every day of it, whatever the days are: "Working days only" cleared.
    const last = addDays(day, 3);
    await page.getByLabel('To').fill(last);
    await page.getByLabel('Timetable', { exact: true }).selectOption(FACTORY);
    await page.getByLabel('Working days only').uncheck();
    await page.getByRole('button', { name: 'Save plan' }).click();
    await page.getByText('Plan saved.').last().waitFor();
    await page.getByTestId('day-bells').waitFor();
    assert.equal(await page.getByTestId('day-bells').locator('tbody tr').count(), 24);
    // The bells in the words the dashboard and the journal use.
    assert.deepEqual((await page.getByTestId('day-bells').locator('tbody tr td:nth-child(2)').allInnerTexts()).slice(0, 4),
      ['Before lesson 1 starts', 'Lesson 1 starts', 'Before lesson 1 ends', 'Lesson 1 ends']);
    assert.deepEqual(await plannedDates(), [0, 1, 2, 3].map((n) => `${addDays(day, n)}=${FACTORY}`));
    await screenshot(page, 'calendar-day-panel');

    // A date in the past is refused by the player and nothing changes.
    const res = await browser.context.request.post(`${stack.baseUrl}/db/plan/days`,
      { data: JSON.stringify({ from: addDays(today, -1), timetableId: 'NULL' }), headers: { 'Content-Type': 'application/json' } });
    assert.equal(res.status(), 400);
    assert.equal(await res.text(), `Date in the past: ${addDays(today, -1)}`);

    await page.getByLabel('Timetable', { exact: true }).selectOption('');
    await page.getByLabel('To').fill(last);
    await page.getByRole('button', { name: 'Save plan' }).click();
    await page.getByText('Plan cleared.').waitFor();
    assert.deepEqual(await plannedDates(), []);
  });

  it('says why in the chosen day\'s own words, "today" only for today', async () => {
    const { page } = browser;
    const hu = await region();
    const sameYear = (key) => (key.slice(0, 4) === today.slice(0, 4) ? dateWords(key).replace(/ \d{4}$/, '') : dateWords(key));
    const extra = hu.extraWorkdays.find((d) => d > today);
    const free = hu.schoolBreaks.find((d) => d > today && !hu.holidays.includes(d));
    assert.ok(extra && free, 'the stand-in\'s registry has an extra working day and a school break ahead');

    await openDay(page, extra);
    assert.equal(await page.getByTestId('day-source').textContent(), `The default timetable, because ${sameYear(extra)} is an extra working day.`);
    await openDay(page, free);
    assert.equal(await page.getByTestId('day-source').textContent(), `No bells on ${sameYear(free)}: it is a school break.`);
    await screenshot(page, 'calendar-day-own-words');

    await page.goto(`${stack.baseUrl}/calendar`);
    await page.getByTestId('day-title').filter({ hasText: '(today)' }).waitFor();
    assert.match(await page.getByTestId('day-source').textContent(), /^(The default timetable, because today is an? [a-z ]+\.|No bells today: it is an? [a-z ]+\.)$/);
    assert.deepEqual(browser.problems, []);
  });

  it('plans a timetable over a range on its working days only, having said how many days off it holds', async (t) => {
    const { page, context } = browser;
    const christmas = (await region()).holidays.find((d) => d.endsWith('-12-25') && d > addDays(today, 4));
    if (!christmas) {
      t.skip('no Christmas ahead in the stand-in\'s calendar data');
      return;
    }
    // The winter break with two weekends around it: a Monday to a Sunday in 2026.
    const [first, last] = [addDays(christmas, -4), addDays(christmas, 9)];
    const examId = await postJson(context, stack.baseUrl, '/db/timetables/create', { name: 'Exam day', chA: CHANNEL, chB: CHANNEL, customPlays: [] });
    const note = page.getByTestId('plan-note');
    const planRange = async () => {
      await openDay(page, first);
      await page.getByLabel('To').fill(last);
      await page.getByLabel('Timetable', { exact: true }).selectOption({ label: 'Exam day' });
    };

    // With the breaks kept free, every day of it is a day off: nothing to plan, and nothing is sent.
    await planRange();
    await note.getByText('Every day of the range is a day off').waitFor();
    assert.equal(await page.getByLabel('Working days only').isChecked(), true, 'checked by default');
    await page.getByRole('button', { name: 'Save plan' }).click();
    await page.getByText('Every day of the range is a day off, so nothing is planned.').waitFor();
    assert.deepEqual(await plannedDates(), []);

    // Breaks ringing as ordinary days: the weekends and the public holidays are left out.
    await postJson(context, stack.baseUrl, '/db/settings/update', { 'calendar.syncSchoolHolidays': false });
    const types = await get(`/api/get/dayTypes?from=${first}&to=${last}`);
    const working = types.filter((d) => d.working).map((d) => d.date);
    const off = types.length - working.length;
    assert.ok(working.length > 0 && off > 0 && !working.includes(christmas), `a range of both: ${JSON.stringify(types)}`);
    await planRange();
    await note.getByText(`The range includes ${off} days off (weekends, holidays, breaks); they keep their own timetable.`).waitFor();
    await screenshot(page, 'calendar-plan-working-days');
    await page.getByRole('button', { name: 'Save plan' }).click();
    await page.getByText(`Plan saved. The ${off} days off keep their own timetable.`).waitFor();
    assert.deepEqual(await plannedDates(), working.map((d) => `${d}=${examId}`));
    await openDay(page, christmas);
    await page.getByTestId('day-no-bells').waitFor();
    assert.equal(await page.getByTestId('day-timetable').textContent(), 'None');
    assert.equal(await page.locator(`td[data-date="${christmas}"]`).evaluate((td) => td.classList.contains('is-planned')), false);
    await page.locator(`td[data-date="${first}"].is-planned`, { hasText: 'Exam day' }).waitFor();

    // Cleared "Working days only" warns, and plans the days off too.
    await planRange();
    await page.getByLabel('Working days only').uncheck();
    await note.getByText(`The range includes ${off} days off (weekends, holidays, breaks); they ring “Exam day” too.`).waitFor();
    await page.getByRole('button', { name: 'Save plan' }).click();
    await panelOf(page, first).getByTestId('day-source').getByText('Planned for this day in the calendar.').waitFor();
    assert.equal((await plannedDates()).length, types.length);

    // Clearing a range clears all of it: the box is not offered, and a day alone needs none.
    await page.getByLabel('Timetable', { exact: true }).selectOption('');
    await page.getByLabel('To').fill(last);
    await note.getByText(`The plans of all ${types.length} days of the range are cleared.`).waitFor();
    assert.equal(await page.getByLabel('Working days only').isVisible(), false);
    await page.getByRole('button', { name: 'Save plan' }).click();
    await page.getByText('Plan cleared.').waitFor();
    assert.deepEqual(await plannedDates(), []);
    await openDay(page, christmas);
    await page.getByLabel('Timetable', { exact: true }).selectOption({ label: 'Exam day' });
    assert.equal(await page.getByLabel('Working days only').isVisible(), false);
    await page.getByRole('button', { name: 'Save plan' }).click();
    await panelOf(page, christmas).getByTestId('day-source').getByText('Planned for this day in the calendar.').waitFor();
    assert.deepEqual(await plannedDates(), [`${christmas}=${examId}`]);

    await postJson(context, stack.baseUrl, '/db/plan/days', { from: christmas, timetableId: null });
    await postJson(context, stack.baseUrl, '/db/settings/update', { 'calendar.syncSchoolHolidays': true });
    await browser.context.request.get(`${stack.baseUrl}/api/trigger/deleteTimetable/${examId}`);
    assert.deepEqual(browser.problems, []);
  });

  it('names the next day with bells on a day planned without them', async () => {
    const { page } = browser;
    await postJson(browser.context, stack.baseUrl, '/db/settings/update', { 'calendar.workdayMode': 7 });
    await postJson(browser.context, stack.baseUrl, '/db/plan/days', { from: today, to: addDays(today, 1), timetableId: 'NULL' });
    await page.goto(`${stack.baseUrl}/`);
    await page.getByTestId('next-bell').getByText('No bells today.').waitFor();
    const next = page.getByTestId('next-bell-day');
    await next.waitFor();
    const expected = await get('/api/get/nextBellDay');
    assert.equal(expected.date, addDays(today, 2));
    assert.match(await next.textContent(), new RegExp(`Next: \\w+day \\d+ \\w+, ${expected.time}`));
    await screenshot(page, 'dashboard-next-bell-day');
    await postJson(browser.context, stack.baseUrl, '/db/plan/days', { from: today, to: addDays(today, 1), timetableId: null });
  });

  it('sets a Saturday timetable', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/settings`);
    await page.getByLabel('Timetable on Saturdays').selectOption(FACTORY);
    await page.getByRole('button', { name: 'Save settings' }).click();
    await page.getByText('Settings saved.').waitFor();
    assert.deepEqual((await get('/api/get/settings')).weekdayTimetables, ['', '', '', '', '', FACTORY, '']);
  });

  it('reaches Import by keyboard with no hidden stop before it, and imports the file chosen that way', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables`);
    await page.getByRole('button', { name: 'New timetable' }).waitFor();
    // Every stop from the top of the page to "New timetable" is something to see.
    await page.locator('body').focus();
    const stops = [];
    for (let i = 0; i < 60; i += 1) {
      await page.keyboard.press('Tab');
      const stop = await page.evaluate(() => {
        const el = document.activeElement;
        const box = el.getBoundingClientRect();
        return { id: el.id, text: el.textContent.trim(), seen: el.checkVisibility() && box.width > 4 && box.height > 4 };
      });
      stops.push(stop);
      if (stop.text === 'New timetable') break;
    }
    assert.equal(stops.at(-1).text, 'New timetable');
    assert.deepEqual(stops.filter((s) => !s.seen), [], 'no invisible stop');
    assert.equal(stops.some((s) => s.id === 'tt-import-file'), false);
    assert.equal(stops.at(-2).text, 'Import', 'Import comes right before New timetable');

    const [download] = await Promise.all([page.waitForEvent('download'), page.getByRole('button', { name: 'Export Default' }).click()]);
    const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'qv-timetable-')), 'Keyboard.json');
    await download.saveAs(file);
    const exported = JSON.parse(fs.readFileSync(file, 'utf8'));
    exported.timetable.name = 'Chosen by keyboard';
    fs.writeFileSync(file, JSON.stringify(exported));
    await page.getByRole('button', { name: 'New timetable' }).focus();
    await page.keyboard.press('Shift+Tab');
    assert.equal(await page.evaluate(() => document.activeElement.textContent.trim()), 'Import', 'and back again');
    // The browser is told to hand file choosers to the test when the first one is awaited; a round
    // trip to the page before the key makes sure that has happened, or the chooser would open unseen.
    const chosen = page.waitForEvent('filechooser');
    await page.evaluate(() => 0);
    await page.keyboard.press('Enter');
    const chooser = await chosen;
    await chooser.setFiles(file);
    await page.getByText('Imported as “Chosen by keyboard”.').waitFor();
    await page.getByRole('link', { name: 'Chosen by keyboard', exact: true }).waitFor();
    await browser.context.request.get(`${stack.baseUrl}/api/trigger/deleteTimetable/${(await get('/db/timetables')).find((t) => t.name === 'Chosen by keyboard').id}`);
  });

  it('exports and imports a timetable, and deleting a planned one asks again', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables`);
    const [download] = await Promise.all([page.waitForEvent('download'), page.getByRole('button', { name: 'Export Default' }).click()]);
    assert.equal(download.suggestedFilename(), 'Default.json');
    const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'qv-timetable-')), 'Default.json');
    await download.saveAs(file);
    const exported = JSON.parse(fs.readFileSync(file, 'utf8'));
    exported.timetable.name = 'Shared';
    exported.timetable.customPlays = [{ desc: { id: 'their-song', doRepeat: false, iterations: 2, delaySec: 1 }, slots: ['12:00'] }];
    exported.signals['their-song'] = 'Their song';
    fs.writeFileSync(file, JSON.stringify(exported));
    await page.locator('#tt-import-file').setInputFiles(file);
    await page.getByText('Imported as “Shared”. This player lacks the signal “Their song”').waitFor();
    await page.getByRole('link', { name: 'Shared', exact: true }).waitFor();
    const copy = (await get('/db/timetables')).find((t) => t.name === 'Shared');
    assert.equal(copy.customPlays[0].desc.id, 'NULL');

    await postJson(browser.context, stack.baseUrl, '/db/plan/days', { from: addDays(today, 5), timetableId: copy.id });
    await page.getByRole('button', { name: 'Delete Shared' }).click();
    await page.getByRole('button', { name: 'Delete timetable' }).click();
    await page.getByText(`“Shared” is planned on ${addDays(today, 5)}`).waitFor();
    await screenshot(page, 'timetable-delete-uses');
    await page.getByRole('button', { name: 'Delete with its plans' }).click();
    await page.getByText('Deleted “Shared”.').waitFor();
    assert.deepEqual(await plannedDates(), []);
    assert.equal((await get('/db/timetables')).some((t) => t.name === 'Shared'), false);
  });

  it('imports a timetable whose name is taken as a copy under a free name, and says which', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/timetables`);
    const [download] = await Promise.all([page.waitForEvent('download'), page.getByRole('button', { name: 'Export Default' }).click()]);
    const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'qv-timetable-')), 'Default.json');
    await download.saveAs(file);

    await page.locator('#tt-import-file').setInputFiles(file);
    await page.getByText('Imported as “Default (imported)”.').waitFor();
    await page.getByRole('link', { name: 'Default (imported)', exact: true }).waitFor();
    await page.locator('#tt-import-file').setInputFiles(file);
    await page.getByText('Imported as “Default (imported 2)”.').waitFor();
    await page.getByRole('link', { name: 'Default (imported 2)', exact: true }).waitFor();
    const names = (await get('/db/timetables')).map((t) => t.name).filter((n) => n.startsWith('Default'));
    assert.deepEqual(names.sort(), ['Default', 'Default (imported)', 'Default (imported 2)'].sort());
    await screenshot(page, 'timetables-imported-copy');
    for (const copy of (await get('/db/timetables')).filter((t) => t.name !== 'Default')) {
      await browser.context.request.get(`${stack.baseUrl}/api/trigger/deleteTimetable/${copy.id}`);
    }
  });

  it('downloads a backup and restores it after changes, asking first', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/settings`);
    const [download] = await Promise.all([page.waitForEvent('download'), page.getByRole('link', { name: 'Download backup' }).click()]);
    assert.match(download.suggestedFilename(), /^quorvane-backup-\d{4}-\d{2}-\d{2}\.zip$/);
    const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'qv-backup-')), 'backup.zip');
    await download.saveAs(file);
    const before = await get('/db');

    await postJson(browser.context, stack.baseUrl, '/db/settings/update', { alarmDelaySec: 7 });
    await browser.context.request.get(`${stack.baseUrl}/api/trigger/deleteTimetable/${FACTORY}`);
    assert.notDeepEqual(await get('/db'), before);

    await page.reload();
    await page.locator('#restore-file').setInputFiles(file);
    await page.getByRole('button', { name: 'Restore from backup' }).click();
    await page.getByText('Restoring replaces every timetable').waitFor();
    await screenshot(page, 'restore-confirmation');
    await page.getByRole('button', { name: 'Replace everything' }).click();
    await page.getByText('The backup has been restored.').first().waitFor();
    assert.deepEqual(await get('/db'), before);

    // A file that is no backup changes nothing.
    const bad = path.join(path.dirname(file), 'bad.zip');
    fs.writeFileSync(bad, 'no zip');
    await page.locator('#restore-file').setInputFiles(bad);
    await page.getByRole('button', { name: 'Restore from backup' }).click();
    await page.getByRole('button', { name: 'Replace everything' }).click();
    await page.getByText('Nothing was restored: Not a readable zip archive').waitFor();
    assert.deepEqual(await get('/db'), before);
    assert.deepEqual(browser.problems, []);
  });
});
