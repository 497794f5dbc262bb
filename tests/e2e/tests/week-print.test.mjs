// The calendar's week view (what each day rings and why) and the printed bell schedules.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, addDays } from '../lib/harness.mjs';

const desc = (id) => ({ id, doRepeat: false, iterations: 1, delaySec: 0 });

// Stands in for the print dialog, which a headless browser does not open: the sheet stays as it was
// when printing was asked for, until afterprint.
async function holdPrinting(page) {
  await page.evaluate(() => { window.print = () => { window.printAsked = (window.printAsked || 0) + 1; }; });
}

describe('week view and printing', () => {
  let stack;
  let browser;
  let today;
  let examId;
  // Monday, Tuesday and Wednesday of next week: a planned day moved from 11:00, one cut after 10:00, one without bells.
  let moved;
  let cut;
  let silent;

  before(async () => {
    stack = await startStack('week');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'week-pass');
    const { context } = browser;
    today = (await getJson(context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
    const weekday = (new Date(`${today}T12:00:00Z`).getUTCDay() + 6) % 7;
    moved = addDays(today, 7 - weekday);
    cut = addDays(moved, 1);
    silent = addDays(moved, 2);
    const channel = {
      lessons: ['09:00 - 10:30', '11:00 - 12:30'], startOfClass: desc('ID_melody'), endOfClass: desc('ID_melody'),
      preStartWaitMin: 5, preStart: desc('NULL'), preEndWaitMin: 5, preEnd: desc('NULL'),
    };
    examId = await postJson(context, stack.baseUrl, '/db/timetables/create', { name: 'Exam day', chA: channel, chB: channel, customPlays: [] });
    await postJson(context, stack.baseUrl, '/db/settings/update', { schoolName: 'Riverside School', 'calendar.workdayMode': 7 });
    // Planned days ring on any type of day, so the test does not depend on the calendar of the day it runs.
    await postJson(context, stack.baseUrl, '/db/plan/days', { from: moved, to: cut, timetableId: examId });
    await postJson(context, stack.baseUrl, '/db/plan/days', { from: silent, timetableId: 'NULL' });
    await postJson(context, stack.baseUrl, '/db/plan/adjust', { date: cut, endAfter: '10:00' });
    await postJson(context, stack.baseUrl, '/db/plan/adjust', { date: moved, shiftMinutes: 30, from: '11:00' });
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  it('shows seven days with the timetable each uses and why, and every bell', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/calendar`);
    const week = page.getByTestId('week-view');
    await week.getByTestId('week-day').first().waitFor();
    assert.equal(await week.getByTestId('week-day').count(), 7);
    assert.equal(await week.locator('.week-day.is-today').getAttribute('data-date'), today);

    await week.getByRole('button', { name: 'Next week' }).click();
    const planned = week.locator(`[data-date="${moved}"]`);
    await planned.waitFor();
    assert.equal(await planned.getByTestId('week-timetable').innerText(), 'Exam day');
    assert.equal(await planned.getByTestId('week-why').innerText(), 'Planned');
    assert.match(await planned.getByTestId('week-adjusted').innerText(), /starts 30 minutes late \(from 11:00\)/);
    assert.deepEqual(await planned.locator('.week-bell-time').allInnerTexts(), ['09:00', '10:30', '11:30', '13:00']);
    assert.match(await planned.locator('.week-bell').nth(2).innerText(), /planned 11:00/);
    assert.match(await planned.locator('.week-bell').nth(0).innerText(), /^09:00 Lesson 1 starts$/);

    const ended = week.locator(`[data-date="${cut}"]`);
    assert.equal(await ended.getByTestId('week-why').innerText(), 'Planned');
    assert.match(await ended.getByTestId('week-adjusted').innerText(), /No bells after 10:00/);
    assert.deepEqual(await ended.locator('.week-bell-time').allInnerTexts(), ['09:00']);
    const noBells = week.locator(`[data-date="${silent}"]`);
    assert.equal(await noBells.getByTestId('week-why').innerText(), 'Planned without bells');
    assert.equal(await noBells.getByTestId('week-timetable').innerText(), 'No bells');
    await screenshot(page, 'week-view-desktop');

    // The month grid names the timetable of a planned day.
    await page.goto(`${stack.baseUrl}/calendar?month=${moved.slice(0, 7)}`);
    const cell = page.locator(`.cal-grid td[data-date="${moved}"] [data-testid="day-plan"]`);
    await cell.waitFor();
    assert.equal(await cell.innerText(), 'Exam day');
    assert.deepEqual(browser.problems, []);
  });

  it('prints the week alone on A4, without menus or buttons, under the school\'s name and the dates', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/calendar`);
    await page.getByTestId('week-day').first().waitFor();
    await holdPrinting(page);
    await page.getByTestId('print-week').click();
    assert.equal(await page.evaluate(() => window.printAsked), 1);
    await page.emulateMedia({ media: 'print' });
    try {
      const heading = page.locator('.print-heading');
      assert.equal(await heading.locator('.print-school').innerText(), 'Riverside School');
      assert.match(await heading.locator('.print-what').innerText(), /^Bells, \d+ \w{3}( \d{4})? – \d+ \w{3} \d{4}$/);
      assert.equal(await page.locator('.site-header').isVisible(), false);
      assert.equal(await page.locator('.cal-card').isVisible(), false, 'the month is not on the sheet');
      assert.equal(await page.getByTestId('day-panel').isVisible(), false, 'nor the day');
      assert.equal(await page.getByTestId('week-day').first().isVisible(), true);
      assert.equal(await page.getByTestId('print-week').isVisible(), false);
      await screenshot(page, 'week-view-print');
    } finally {
      await page.emulateMedia({ media: 'screen' });
    }
    await page.evaluate(() => window.dispatchEvent(new Event('afterprint')));
    assert.equal(await page.locator('.print-heading').count(), 0);
    assert.equal(await page.locator('.cal-card').isVisible(), true);
  });

  it('prints a day and a timetable', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/calendar`);
    await page.getByTestId('day-title').waitFor();
    await holdPrinting(page);
    await page.getByTestId('print-day').click();
    await page.emulateMedia({ media: 'print' });
    try {
      assert.equal(await page.getByTestId('day-title').isVisible(), true);
      assert.equal(await page.getByTestId('week-view').isVisible(), false);
      assert.match(await page.locator('.print-heading .print-what').innerText(), /^Bells, /);
    } finally {
      await page.emulateMedia({ media: 'screen' });
    }
    await page.evaluate(() => window.dispatchEvent(new Event('afterprint')));

    await page.goto(`${stack.baseUrl}/timetables/${encodeURIComponent(examId)}`);
    await page.getByTestId('print-timetable').waitFor();
    assert.equal(await page.getByTestId('timetable-sheet').count(), 0);
    await holdPrinting(page);
    await page.getByTestId('print-timetable').click();
    await page.emulateMedia({ media: 'print' });
    try {
      const sheet = page.getByTestId('timetable-sheet');
      assert.equal(await sheet.isVisible(), true);
      assert.equal(await page.locator('#tt-name').isVisible(), false, 'the editor is not on the sheet');
      assert.deepEqual(await sheet.locator('.sheet-lessons tbody tr').allInnerTexts(), ['1\t09:00\t10:30', '2\t11:00\t12:30']);
      assert.match(await page.locator('.print-heading .print-what').innerText(), /Timetable “Exam day”/);
      await screenshot(page, 'timetable-print');
    } finally {
      await page.emulateMedia({ media: 'screen' });
    }
    assert.equal(await page.getByTestId('timetable-sheet').isVisible(), false, 'on screen the sheet stays hidden');
    assert.deepEqual(browser.problems, []);
  });
});
