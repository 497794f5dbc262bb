// Any day's bells in the calendar, planning a day and a range, weekday timetables, the dashboard on a
// day without bells, and a backup downloaded and restored.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, addDays } from '../lib/harness.mjs';

const FACTORY = 'ID_factory_default_timetable';

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
    await page.getByTestId('day-title').filter({ hasText: String(Number(key.slice(8))) }).waitFor();
  }

  it('shows today as the dashboard does and where the calendar data ends', async () => {
    const { page } = browser;
    await waitFor(async () => (await get('/api/get/calendarInfo')).regions.some((r) => r.id === 'hu'),
      { what: 'the calendar from the stand-in', timeoutMs: 20000 });
    await page.goto(`${stack.baseUrl}/calendar`);
    await page.getByTestId('day-title').filter({ hasText: '(today)' }).waitFor();
    const overview = await get('/api/get/overview');
    const active = overview.timetables.find((t) => t.id === overview.activeTimetableInfo.id);
    assert.equal(await page.getByTestId('day-timetable').textContent(), active ? active.name : 'None');
    await page.getByText('No calendar data after 2028-08-31').first().waitFor();
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

    const last = addDays(day, 3);
    await page.getByLabel('To').fill(last);
    await page.getByLabel('Timetable', { exact: true }).selectOption(FACTORY);
    await page.getByRole('button', { name: 'Save plan' }).click();
    await page.getByText('Plan saved.').last().waitFor();
    await page.getByTestId('day-bells').waitFor();
    assert.equal(await page.getByTestId('day-bells').locator('tbody tr').count(), 24);
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
    await page.getByRole('button', { name: 'Save weekday timetables' }).click();
    await page.getByText('Weekday timetables saved.').waitFor();
    assert.deepEqual((await get('/api/get/settings')).weekdayTimetables, ['', '', '', '', '', FACTORY, '']);
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
    await page.getByText('Imported. This player lacks the signal “Their song”').waitFor();
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
