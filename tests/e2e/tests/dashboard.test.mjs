// The dashboard: the player's clock, the alarm toggle, today's timetable choice and the bell timeline.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import {
  startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, sleep, secondsOf, hhmm, PHONE,
} from '../lib/harness.mjs';

const desc = (id) => ({ id, doRepeat: false, iterations: 2, delaySec: 1.0 });

describe('dashboard', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('dashboard');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'dash-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const overview = () => getJson(browser.context, stack.baseUrl, '/api/get/overview');

  it('shows the player\'s clock ticking', async () => {
    const clock = browser.page.getByTestId('server-time');
    // The first status may still be on its way when the page has just loaded.
    await waitFor(async () => /^\d\d:\d\d:\d\d$/.test(await clock.innerText()), { what: 'the player\'s time', timeoutMs: 4000 });
    const first = await clock.innerText();
    await waitFor(async () => (await clock.innerText()) !== first, { what: 'the clock to advance', timeoutMs: 4000 });
    const status = await getJson(browser.context, stack.baseUrl, '/api/get/status');
    const shown = secondsOf(await clock.innerText());
    assert.ok(Math.abs(secondsOf(status.time) - shown) <= 3, `shown ${shown} vs player ${status.time}`);
  });

  it('names the player\'s time zone beside its clock', async () => {
    const { page } = browser;
    await page.getByTestId('server-time').filter({ hasText: /^\d\d:\d\d:\d\d$/ }).waitFor();
    const { timeZone } = await getJson(browser.context, stack.baseUrl, '/api/get/status');
    assert.ok(timeZone, 'the player tells its time zone');
    const zone = page.locator('.clock-card').getByTestId('server-time-zone');
    await waitFor(async () => (await zone.innerText()) === `Time zone: ${timeZone}`, { what: 'the time zone under the clock' });
    // Under the clock, not somewhere else on the card.
    const clockBox = await page.getByTestId('server-time').boundingBox();
    const zoneBox = await zone.boundingBox();
    assert.ok(zoneBox.y >= clockBox.y + clockBox.height - 1, 'below the time');
    await screenshot(page, 'dashboard-time-zone-desktop', { fullPage: false });
  });

  it('switches the alarm on and off with single presses', async () => {
    const { page } = browser;
    const button = page.getByTestId('alarm-toggle');
    assert.equal(await button.getAttribute('aria-pressed'), 'false');
    await button.click();
    await waitFor(async () => (await button.getAttribute('aria-pressed')) === 'true', { what: 'the alarm button to show ON' });
    assert.match(await button.innerText(), /Stop the alarm/);
    assert.equal((await overview()).alarmActive, true);
    await waitFor(() => stack.plays().some((l) => l.endsWith('alarm.mp3')), { what: 'the alarm signal to play' });
    await screenshot(page, 'dashboard-alarm-on-desktop');

    // Other pages carry a banner with a way to stop it.
    await page.getByRole('link', { name: 'Signals' }).click();
    await page.getByText('The alarm is sounding.').waitFor();
    await page.getByRole('link', { name: 'Dashboard' }).click();

    await page.getByTestId('alarm-toggle').click();
    await waitFor(async () => (await page.getByTestId('alarm-toggle').getAttribute('aria-pressed')) === 'false', { what: 'the alarm button to show OFF' });
    assert.equal((await overview()).alarmActive, false);
    await sleep(800);
    const settled = stack.plays().length;
    await sleep(1200);
    assert.equal(stack.plays().length, settled, 'no more alarm plays after switching it off');
  });

  it('offers "Stop all sounds" while something plays, and it silences everything', async () => {
    const { page, context } = browser;
    const stopAll = page.getByTestId('stop-all');
    await stopAll.waitFor({ state: 'hidden' });
    // The alarm rings without end; nothing in its own controls is pressed here.
    assert.equal((await context.request.get(`${stack.baseUrl}/api/trigger/toggleAlarm/x`)).status(), 200);
    await stopAll.waitFor({ state: 'visible' });
    assert.match(await stopAll.innerText(), /Stop all sounds/);
    await screenshot(page, 'stop-all-desktop');

    const phone = await startBrowser(PHONE);
    try {
      await phone.context.addCookies(await context.cookies());
      await phone.page.goto(`${stack.baseUrl}/signals`);
      await phone.page.getByTestId('stop-all').waitFor({ state: 'visible' });
      await screenshot(phone.page, 'stop-all-phone');
      assert.ok(await phone.page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), 'no sideways scrolling on a phone');
      assert.deepEqual(phone.problems, []);
    } finally {
      await phone.close();
    }

    await stopAll.click();
    await page.getByText('All sounds have been stopped.').waitFor();
    await stopAll.waitFor({ state: 'hidden' });
    assert.equal((await overview()).alarmActive, false);
    assert.equal(await page.getByTestId('alarm-toggle').getAttribute('aria-pressed'), 'false');
    await sleep(800);
    const settled = stack.plays().length;
    await sleep(1200);
    assert.equal(stack.plays().length, settled, 'nothing plays after stopping all sounds');
  });

  it('shows a timetable chosen for today with its next bell and countdown', async (t) => {
    const { page, context } = browser;
    const now = secondsOf((await getJson(context, stack.baseUrl, '/api/get/status')).time);
    if (now > 23 * 3600 + 20 * 60) {
      t.skip('too close to midnight for a bell later today');
      return;
    }
    const start = Math.ceil(now / 60) * 60 + 10 * 60;
    const end = start + 30 * 60;
    const channel = {
      lessons: [`${hhmm(start)} - ${hhmm(Math.min(end, 86340))}`],
      startOfClass: desc('ID_melody'), endOfClass: desc('ID_melody'),
      preStartWaitMin: 5, preStart: desc('ID_ping'), preEndWaitMin: 5, preEnd: desc('NULL'),
    };
    const id = await postJson(context, stack.baseUrl, '/db/timetables/create', { name: 'Test day', chA: channel, chB: channel, customPlays: [] });

    await page.reload();
    await page.locator('#today-choice').selectOption(id);
    await page.getByText('Chosen for today.', { exact: true }).waitFor();
    assert.equal((await getJson(context, stack.baseUrl, '/api/get/settings')).dailyPreferences.selectedTimetableId, id);
    await waitFor(async () => (await page.getByTestId('active-timetable').innerText()) === 'Test day', { what: 'the active timetable' });
    assert.match(await page.getByTestId('active-source').innerText(), /Chosen for today only/);
    const info = (await overview()).activeTimetableInfo;
    assert.equal(info.id, id);
    assert.equal(info.source, 'DAILY_OVERRIDE');

    const preStart = start - 5 * 60;
    const nextTime = page.getByTestId('next-bell-time');
    await waitFor(async () => (await nextTime.innerText()) === hhmm(preStart), { what: `the next bell at ${hhmm(preStart)}` });
    await waitFor(async () => /^\d+:\d\d$/.test(await page.getByTestId('next-bell-countdown').innerText()), { what: 'the countdown' });
    const [m, s] = (await page.getByTestId('next-bell-countdown').innerText()).split(':').map(Number);
    const playerNow = secondsOf((await getJson(context, stack.baseUrl, '/api/get/status')).time);
    assert.ok(Math.abs(m * 60 + s - (preStart - playerNow)) <= 3, `countdown ${m}:${s} vs ${preStart - playerNow}s`);

    // Three bells ring: pre-start, start and end; the silent pre-end is left out.
    assert.equal(await page.locator('.tl-bell').count(), 3);
    const rows = page.locator('.bell-row');
    assert.equal(await rows.count(), 3);
    assert.match(await rows.nth(1).innerText(), new RegExp(`${hhmm(start)}[\\s\\S]*Lesson 1 starts[\\s\\S]*melody`));
    assert.match(await page.locator('.bell-row.is-next').innerText(), /Before lesson 1 starts/);
    // Only one channel rings, so none is named.
    assert.equal(await page.getByTestId('bells-from').innerText(), 'From “Test day”.');
    assert.doesNotMatch(await page.locator('.timeline-card').innerText(), /channel/i);
    await screenshot(page, 'dashboard-desktop');

    const phone = await startBrowser(PHONE);
    try {
      await phone.context.addCookies(await context.cookies());
      await phone.page.goto(`${stack.baseUrl}/`);
      await waitFor(async () => (await phone.page.getByTestId('next-bell-time').innerText()) === hhmm(preStart), { what: 'the next bell on a phone' });
      await screenshot(phone.page, 'dashboard-phone');
      assert.ok(await phone.page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), 'no sideways scrolling on a phone');
    } finally {
      await phone.close();
    }

    await page.locator('#today-choice').selectOption('');
    await page.getByText('Back to the usual timetable.').waitFor();
    assert.equal((await getJson(context, stack.baseUrl, '/api/get/settings')).dailyPreferences.selectedTimetableId, null);
    assert.deepEqual(browser.problems, []);
  });

  it('names no channel for a timetable chosen for today that has no signal set', async () => {
    const { page, context } = browser;
    const silent = desc('NULL');
    const channel = {
      lessons: ['08:00 - 08:45'], startOfClass: silent, endOfClass: silent,
      preStartWaitMin: 5, preStart: silent, preEndWaitMin: 5, preEnd: silent,
    };
    const id = await postJson(context, stack.baseUrl, '/db/timetables/create', { name: 'Silent day', chA: channel, chB: channel, customPlays: [] });
    await page.reload();
    await page.locator('#today-choice').selectOption(id);
    await page.getByText('Chosen for today.', { exact: true }).waitFor();
    const card = page.locator('.timeline-card');
    await card.getByText('“Silent day” has no bells with a signal set, so nothing rings.').waitFor();
    assert.doesNotMatch(await card.innerText(), /channel/i);
    await page.locator('#today-choice').selectOption('');
    await page.getByText('Back to the usual timetable.').waitFor();
  });

  it('moves today\'s bells, says so in words, undoes it, and offers a day without bells', async (t) => {
    const { page, context } = browser;
    const now = secondsOf((await getJson(context, stack.baseUrl, '/api/get/status')).time);
    if (now > 22 * 3600) {
      t.skip('too close to midnight for bells moved later today');
      return;
    }
    const start = Math.ceil(now / 60) * 60 + 10 * 60;
    const channel = {
      lessons: [`${hhmm(start)} - ${hhmm(start + 30 * 60)}`],
      startOfClass: desc('ID_melody'), endOfClass: desc('ID_melody'),
      preStartWaitMin: 5, preStart: desc('ID_ping'), preEndWaitMin: 5, preEnd: desc('NULL'),
    };
    const id = await postJson(context, stack.baseUrl, '/db/timetables/create', { name: 'Moved day', chA: channel, chB: channel, customPlays: [] });
    await postJson(context, stack.baseUrl, '/db/settings/update', { 'dailyPreferences.selectedTimetableId': id });
    await page.reload();
    const nextTime = page.getByTestId('next-bell-time');
    await waitFor(async () => (await nextTime.innerText()) === hhmm(start - 5 * 60), { what: 'the next bell at its timetable time' });

    await page.getByText('Change this day’s bells').click();
    await page.getByLabel('Minutes later (negative: earlier)').fill('45');
    await page.getByTestId('adjust-shift-save').click();
    await page.getByTestId('adjustment-text').getByText('Today starts 45 minutes late').waitFor();
    const day = await getJson(context, stack.baseUrl, `/api/get/day?date=${(await overview()).activeTimetableInfo.date}`);
    assert.deepEqual(day.adjustment, { date: day.date, shiftMinutes: 45, from: '', endAfter: '' });
    await waitFor(async () => (await nextTime.innerText()) === hhmm(start + 40 * 60), { what: 'the next bell 45 minutes later' });
    assert.match(await page.locator('.bell-row').nth(1).innerText(), new RegExp(`${hhmm(start + 45 * 60)}\\s*\\(planned ${hhmm(start)}\\)`));
    await screenshot(page, 'dashboard-late-start-desktop');

    await page.getByTestId('adjust-undo').click();
    await page.getByTestId('adjustment-text').waitFor({ state: 'detached' });
    await waitFor(async () => (await nextTime.innerText()) === hhmm(start - 5 * 60), { what: 'the next bell back at its timetable time' });

    await page.locator('#today-choice').selectOption('NULL');
    // The choice's own status; the next-bell card may say the same words.
    await page.locator('.today-choice .inline-status', { hasText: 'No bells today.' }).waitFor();
    await waitFor(async () => (await page.getByTestId('active-timetable').innerText()) === 'None', { what: 'no timetable in force' });
    assert.equal((await overview()).activeTimetableInfo.id, 'NULL');
    await page.locator('#today-choice').selectOption('');
    await page.getByText('Back to the usual timetable.').waitFor();
    assert.deepEqual(browser.problems, []);
  });
});
