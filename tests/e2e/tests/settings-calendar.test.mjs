// Settings (every control of the page in its one save), the calendar month grid with the stand-in's
// holidays, announcements and the footer.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, logIn, screenshot, getJson, postJson, waitFor, answerLeaveQuestion } from '../lib/harness.mjs';

const silent = { id: 'NULL', doRepeat: false, iterations: 1, delaySec: 1.0 };
const CHANNEL = {
  lessons: ['08:00 - 08:45'], startOfClass: silent, endOfClass: silent,
  preStartWaitMin: 5, preStart: silent, preEndWaitMin: 5, preEnd: silent,
};
const MONTHS = ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August', 'September', 'October', 'November', 'December'];

describe('settings, calendar and announcements', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('settings');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'set-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const settings = () => getJson(browser.context, stack.baseUrl, '/api/get/settings');
  const calendarInfo = () => getJson(browser.context, stack.baseUrl, '/api/get/calendarInfo');
  const hu = async () => (await calendarInfo()).regions.find((r) => r.id === 'hu');

  it('changes settings and the player keeps them', async () => {
    const { page } = browser;
    await waitFor(hu, { what: 'the calendar to be synchronised from the stand-in', timeoutMs: 20000 });
    await page.goto(`${stack.baseUrl}/settings`);
    const delay = page.getByLabel('Pause between alarm repeats (seconds)');
    await delay.fill('-3');
    // Save stays reachable while disabled, to say what is wrong.
    assert.equal(await page.getByRole('button', { name: 'Save settings' }).isDisabled(), true);
    await page.getByRole('button', { name: 'Save settings' }).press('Enter');
    // Said at the field and, as what stops the save, in the save bar.
    await page.locator('#set-alarm-delay-err').getByText('Enter a number of seconds between 0 and 3600.').waitFor();
    await page.locator('.save-bar').getByRole('button', { name: 'Enter a number of seconds between 0 and 3600.' }).waitFor();
    assert.equal((await settings()).alarmDelaySec, 0);

    await delay.fill('2.5');
    await page.getByLabel('Working week').selectOption({ label: 'Monday to Saturday' });
    await page.getByLabel('Ring bells on schedule').uncheck();
    await page.getByLabel('Keep school breaks free of bells').uncheck();
    await page.getByLabel('Alarm signal').selectOption('ID_ring');
    assert.ok(await page.getByLabel('Calendar region').locator('option[value="hu"]').count());
    await page.getByRole('button', { name: 'Save settings' }).click();
    await page.getByText('Settings saved.').waitFor();
    const saved = await settings();
    assert.equal(saved.alarmDelaySec, 2.5);
    assert.equal(saved.alarmSignalId, 'ID_ring');
    assert.equal(saved.schedulerEnable, false);
    assert.equal(saved.calendar.workdayMode, 16);
    assert.equal(saved.calendar.syncSchoolHolidays, false);
    assert.equal(saved.calendar.syncRegionId, 'hu');
    await screenshot(page, 'settings-desktop');

    // With the scheduler off the dashboard says so instead of listing bells.
    await page.getByRole('link', { name: 'Dashboard' }).click();
    await page.getByText('The scheduler is switched off, so no bells ring.').first().waitFor();

    await page.getByRole('link', { name: 'Settings' }).click();
    await page.getByLabel('Ring bells on schedule').check();
    await page.getByRole('button', { name: 'Save settings' }).click();
    await page.getByText('Settings saved.').first().waitFor();
    assert.equal((await settings()).schedulerEnable, true);
  });

  it('asks before leaving unsaved or invalid settings, and keeps them when told to stay', async () => {
    const { page } = browser;
    const before = await settings();
    await page.goto(`${stack.baseUrl}/settings`);
    const bar = page.locator('.save-bar');
    await page.getByLabel('Working week').waitFor();
    assert.equal(await bar.isHidden(), true, 'nothing to save yet');
    await page.getByLabel('Working week').selectOption({ label: 'Every day' });
    await bar.getByText('Unsaved changes').waitFor();

    const asked = [];
    // Inside the app the question is the app's own dialog; the browser's popup is for closing the tab.
    const popups = [];
    page.on('dialog', (dialog) => { popups.push(dialog.message()); dialog.dismiss(); });
    await page.getByRole('link', { name: 'Dashboard' }).click();
    asked.push(await answerLeaveQuestion(page, false));
    assert.equal(new URL(page.url()).pathname, '/settings');
    assert.equal(await page.getByLabel('Working week').inputValue(), '7');

    // Back to what is saved: nothing to ask about; an invalid pause is asked about again.
    await page.getByRole('button', { name: 'Discard changes' }).click();
    await bar.waitFor({ state: 'hidden' });
    await page.getByLabel('Pause between alarm repeats (seconds)').fill('');
    await bar.getByText('Enter a number of seconds between 0 and 3600.').waitFor();
    await page.getByRole('link', { name: 'Dashboard' }).click();
    asked.push(await answerLeaveQuestion(page, true));
    await page.getByRole('heading', { name: 'Dashboard' }).waitFor();
    assert.deepEqual(asked, Array(2).fill('The settings have unsaved changes. Leave without saving them?'));
    assert.deepEqual(await settings(), before);

    // A weekday timetable chosen but not saved is asked about too.
    await page.getByRole('link', { name: 'Settings' }).click();
    await page.getByLabel('Timetable on Saturdays').selectOption({ label: 'Default' });
    await page.getByRole('link', { name: 'Dashboard' }).click();
    asked.push(await answerLeaveQuestion(page, false));
    assert.equal(new URL(page.url()).pathname, '/settings');
    await page.getByRole('button', { name: 'Save settings' }).click();
    await page.getByText('Settings saved.').waitFor();
    await bar.waitFor({ state: 'hidden' });
    await page.getByRole('link', { name: 'Dashboard' }).click();
    await page.getByRole('heading', { name: 'Dashboard' }).waitFor();
    assert.equal(asked.length, 3, 'saved choices leave without a question');
    assert.deepEqual(popups, [], 'no browser popup inside the app');
    page.removeAllListeners('dialog');
    assert.equal((await settings()).weekdayTimetables[5], 'ID_factory_default_timetable');
  });

  it('listens to the alarm and routine signals here in the browser, not on the speakers', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/settings`);
    const alarm = page.locator('.field', { has: page.locator('#set-alarm-signal') }).locator('.signal-choice');
    await alarm.waitFor();
    // Every signal menu of the page has its own.
    assert.equal(await page.locator('.signal-choice .listen-button').count(), await page.locator('select[id$="-signal"]').count());
    const playsBefore = stack.plays().length;
    const alarmId = await alarm.locator('select').inputValue();
    await alarm.getByRole('button', { name: /^Listen to .+ in this browser$/ }).click();
    const audio = alarm.locator('audio');
    await waitFor(() => audio.evaluate((a) => !a.paused && a.readyState >= 2), { what: 'the alarm signal to play in the browser' });
    assert.equal(await audio.getAttribute('src'), `/get_signal_file/${alarmId}`);
    await screenshot(page, 'settings-listen-desktop', { fullPage: false });
    await alarm.getByRole('button', { name: /^Stop listening to / }).click();
    await waitFor(() => audio.evaluate((a) => a.paused), { what: 'the preview to stop' });
    assert.equal(stack.plays().length, playsBefore, 'nothing sent to the speakers');
    // Listening is no edit: the page has nothing to save.
    assert.equal(await page.locator('.save-bar:not([hidden])').count(), 0);
  });

  describe('the timetables per weekday in the page\'s one save', () => {
    let examId;
    const page = () => browser.page;
    const monday = () => page().getByLabel('Timetable on Mondays');
    const delay = () => page().getByLabel('Pause between alarm repeats (seconds)');
    const bar = () => page().locator('.save-bar');
    // Every request of a save with the revision it was made against and the one it was answered with.
    const recordSaves = () => {
      const saves = [];
      const listen = (response) => {
        const url = new URL(response.url());
        if (!['/db/settings/update', '/db/plan/weekdays'].includes(url.pathname)) return;
        saves.push({
          path: url.pathname, body: JSON.parse(response.request().postData()), status: response.status(),
          ifMatch: response.request().headers()['if-match'], etag: response.headers().etag,
        });
      };
      page().on('response', listen);
      return { saves, stop: () => page().off('response', listen) };
    };

    before(async () => {
      examId = await postJson(browser.context, stack.baseUrl, '/db/timetables/create', { name: 'Exam day', chA: CHANNEL, chB: CHANNEL, customPlays: [] });
    });

    it('has no save of its own: a weekday alone shows the save bar, and Discard puts every control back', async () => {
      const stored = await settings();
      await page().goto(`${stack.baseUrl}/settings`);
      await monday().waitFor();
      assert.equal(await page().getByRole('button', { name: 'Save weekday timetables' }).count(), 0);
      assert.equal(await bar().isHidden(), true);

      await monday().selectOption({ label: 'Exam day' });
      await bar().getByText('Unsaved changes').waitFor();
      await delay().fill('4');
      await page().getByLabel('Timetable on Sundays').selectOption({ label: 'Exam day' });
      await page().getByRole('button', { name: 'Discard changes' }).click();
      await bar().waitFor({ state: 'hidden' });
      assert.equal(await monday().inputValue(), '');
      assert.equal(await page().getByLabel('Timetable on Sundays').inputValue(), '');
      assert.equal(await delay().inputValue(), String(stored.alarmDelaySec));
      assert.deepEqual(await settings(), stored, 'nothing was sent');

      // Chosen and chosen back is nothing to save.
      await monday().selectOption({ label: 'Exam day' });
      await bar().getByText('Unsaved changes').waitFor();
      await monday().selectOption('');
      await bar().waitFor({ state: 'hidden' });
    });

    it('stores a weekday and the pause with one press, the second request made against the first one\'s answer', async () => {
      const stored = await settings();
      await page().goto(`${stack.baseUrl}/settings`);
      await monday().selectOption({ label: 'Exam day' });
      await delay().fill('4');
      const { saves, stop } = recordSaves();
      await page().getByRole('button', { name: 'Save settings' }).click();
      await page().getByText('Settings saved.').first().waitFor();
      await bar().waitFor({ state: 'hidden' });
      stop();
      assert.deepEqual(saves.map((r) => [r.path, r.status]), [['/db/settings/update', 200], ['/db/plan/weekdays', 200]]);
      assert.deepEqual(saves[0].body, { alarmDelaySec: 4 });
      assert.deepEqual(saves[1].body, { weekdayTimetables: [examId, ...stored.weekdayTimetables.slice(1)] });
      assert.ok(saves[0].ifMatch && saves[0].etag && saves[0].ifMatch !== saves[0].etag, 'the first request changed the revision');
      assert.equal(saves[1].ifMatch, saves[0].etag);
      const now = await settings();
      assert.equal(now.alarmDelaySec, 4);
      assert.equal(now.weekdayTimetables[0], examId);

      // Shown as stored after a reload, and a save of the weekday alone sends only it.
      await page().reload();
      await monday().waitFor();
      assert.equal(await monday().inputValue(), examId);
      assert.equal(await delay().inputValue(), '4');
      await monday().selectOption('');
      const second = recordSaves();
      await page().getByRole('button', { name: 'Save settings' }).click();
      await bar().waitFor({ state: 'hidden' });
      second.stop();
      assert.deepEqual(second.saves.map((r) => r.path), ['/db/plan/weekdays']);
      assert.equal((await settings()).weekdayTimetables[0], '');
    });

    it('offers the default as "The default timetable (its name)", following the default chosen on the page', async () => {
      await page().goto(`${stack.baseUrl}/settings`);
      await monday().waitFor();
      const choices = () => page().locator('select[id^="weekday-"] option[value=""]').allInnerTexts();
      assert.deepEqual(await choices(), Array(7).fill('The default timetable (Default)'));
      // The factory timetable called "Default" stays a choice of its own, worded apart.
      assert.deepEqual(await monday().locator('option').allInnerTexts(), ['The default timetable (Default)', 'Default', 'Exam day']);
      await page().getByLabel('Default timetable', { exact: true }).selectOption({ label: 'Exam day' });
      assert.deepEqual(await choices(), Array(7).fill('The default timetable (Exam day)'));
      await screenshot(page(), 'settings-weekday-default-named', { fullPage: false });
      await page().getByRole('button', { name: 'Discard changes' }).click();
      await bar().waitFor({ state: 'hidden' });
      assert.deepEqual(await choices(), Array(7).fill('The default timetable (Default)'));
    });

    it('keeps what was saved when the weekday part is refused, and says which part', async () => {
      await page().goto(`${stack.baseUrl}/settings`);
      await monday().selectOption({ label: 'Exam day' });
      await delay().fill('5');
      // Deleted behind the page's back: the player refuses a weekday with a timetable it does not have.
      const res = await browser.context.request.get(`${stack.baseUrl}/api/trigger/deleteTimetable/${examId}`);
      assert.equal(res.status(), 200);
      await page().getByRole('button', { name: 'Save settings' }).click();
      const message = page().locator('.form-message .notice-error');
      await message.getByText('The other settings were saved, but not the timetables per weekday:').waitFor();
      const now = await settings();
      assert.equal(now.alarmDelaySec, 5);
      assert.equal(now.weekdayTimetables[0], '');
      // Only the refused choice is left to save; Discard brings back the pause as saved, not as loaded.
      await bar().getByText('Unsaved changes').waitFor();
      await screenshot(page(), 'settings-weekday-refused');
      await page().getByRole('button', { name: 'Discard changes' }).click();
      await bar().waitFor({ state: 'hidden' });
      assert.equal(await delay().inputValue(), '5');
      assert.equal(await monday().inputValue(), '');
    });
  });

  it('does not scroll sideways at 320 px, with the save bar shown too', async () => {
    const narrow = await startBrowser({ width: 320, height: 640 });
    try {
      await logIn(narrow.page, stack.baseUrl, 'set-pass');
      await narrow.page.goto(`${stack.baseUrl}/settings`);
      await narrow.page.getByLabel('Timetable on Mondays').waitFor();
      const fits = () => narrow.page.evaluate(() => {
        const el = document.scrollingElement;
        return { scrollWidth: el.scrollWidth, clientWidth: el.clientWidth };
      });
      let m = await fits();
      assert.ok(m.scrollWidth <= m.clientWidth, `clean: ${m.scrollWidth} > ${m.clientWidth}`);
      await narrow.page.getByLabel('School name').fill('Riverside Primary School and Nursery of the Valley');
      await narrow.page.getByLabel('Pause between alarm repeats (seconds)').fill('-1');
      await narrow.page.locator('.save-bar').waitFor();
      m = await fits();
      assert.ok(m.scrollWidth <= m.clientWidth, `with the save bar: ${m.scrollWidth} > ${m.clientWidth}`);
      await screenshot(narrow.page, 'settings-320');
      assert.deepEqual(narrow.problems, []);
    } finally {
      await narrow.close();
    }
  });

  it('draws a holiday of the stand-in\'s registry in the month grid', async () => {
    const { page } = browser;
    const region = await hu();
    const info = await calendarInfo();
    const today = (await getJson(browser.context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
    const holidays = [...region.holidays].sort();
    assert.ok(holidays.length > 0, 'the stand-in registry has holidays for "hu"');
    const holiday = holidays.find((d) => d >= today) || holidays[holidays.length - 1];

    await page.goto(`${stack.baseUrl}/calendar`);
    const [ty, tm] = today.split('-').map(Number);
    const [hy, hm] = holiday.split('-').map(Number);
    const title = page.locator('.cal-title');
    await waitFor(async () => (await title.innerText()) === `${MONTHS[tm - 1]} ${ty}`, { what: 'the current month' });
    assert.equal(await page.locator(`td[data-date="${today}"]`).evaluate((td) => td.classList.contains('is-today')), true);
    // In words, not the player's record of it.
    const [ly, lm, ld] = info.lastUpdate.slice(0, 10).split('-').map(Number);
    assert.ok((await page.getByTestId('cal-last-update').innerText()).startsWith(`${ld} ${MONTHS[lm - 1]} ${ly}`));

    const steps = (hy - ty) * 12 + (hm - tm);
    for (let i = 0; i < Math.abs(steps); i += 1) {
      await page.getByRole('button', { name: steps > 0 ? 'Next month' : 'Previous month' }).click();
    }
    await waitFor(async () => (await title.innerText()) === `${MONTHS[hm - 1]} ${hy}`, { what: `the month of ${holiday}` });
    const cell = page.locator(`td[data-date="${holiday}"]`);
    assert.equal(await cell.getAttribute('data-type'), 'holiday');
    assert.match(await cell.innerText(), /Holiday/);
    assert.ok(await page.locator('.marked-list li', { hasText: 'Public holiday' }).count() >= 1);
    await page.locator('.cal-legend', { hasText: 'Public holiday' }).waitFor();
    if (steps !== 0) assert.equal(new URL(page.url()).searchParams.get('month'), holiday.slice(0, 7));
    await screenshot(page, 'calendar-desktop');

    // The month is part of the address, so it can be linked to directly.
    await page.goto(`${stack.baseUrl}/calendar?month=${holiday.slice(0, 7)}`);
    await page.locator(`td[data-date="${holiday}"][data-type="holiday"]`).waitFor();
  });

  it('offers "Back to this month" only away from the current month', async () => {
    const { page } = browser;
    const today = (await getJson(browser.context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
    const [ty, tm] = today.split('-').map(Number);
    const title = page.locator('.cal-title');
    const back = page.getByRole('button', { name: 'Back to this month' });
    await page.goto(`${stack.baseUrl}/calendar`);
    await waitFor(async () => (await title.innerText()) === `${MONTHS[tm - 1]} ${ty}`, { what: 'the current month' });
    assert.equal(await back.count(), 0, 'not on the current month');
    for (const [name, other] of [['Next month', new Date(ty, tm, 1)], ['Previous month', new Date(ty, tm - 2, 1)]]) {
      await page.getByRole('button', { name }).click();
      await waitFor(async () => (await title.innerText()) === `${MONTHS[other.getMonth()]} ${other.getFullYear()}`, { what: name });
      await back.click();
      await waitFor(async () => (await title.innerText()) === `${MONTHS[tm - 1]} ${ty}`, { what: 'back to the current month' });
      assert.equal(await back.count(), 0, `gone again after ${name}`);
    }
    // A month given in the address counts too.
    await page.goto(`${stack.baseUrl}/calendar?month=${today.slice(0, 7)}`);
    await page.locator(`td[data-date="${today}"]`).waitFor();
    assert.equal(await back.count(), 0);
    await page.goto(`${stack.baseUrl}/calendar?month=${ty + 1}-01`);
    await back.waitFor();
  });

  it('writes the dates of the calendar and the dashboard in the browser\'s language, keys only in the address', async () => {
    const today = (await getJson(browser.context, stack.baseUrl, '/api/get/overview')).activeTimetableInfo.date;
    const day = new Date(`${today}T12:00:00`);
    const { dataUntil } = await getJson(browser.context, stack.baseUrl, `/api/get/day?date=${today}`).then((d) => ({ dataUntil: d.calendarDataUntil }));
    for (const locale of ['de-DE', 'en-US']) {
      const other = await startBrowser(undefined, { locale });
      try {
        const { page } = other;
        const words = (options, date = day) => new Intl.DateTimeFormat(locale, options).format(date);
        await other.context.addCookies(await browser.context.cookies());
        await page.goto(`${stack.baseUrl}/`);
        const clockDate = page.locator('.clock-date');
        const long = words({ weekday: 'long', day: 'numeric', month: 'long', year: 'numeric' });
        await waitFor(async () => (await clockDate.innerText()) === long, { what: `the dashboard's date in ${locale}` });

        await page.goto(`${stack.baseUrl}/calendar?month=${today.slice(0, 7)}`);
        const title = page.locator('.cal-title');
        await waitFor(async () => (await title.innerText()) === words({ month: 'long', year: 'numeric' }), { what: `the month in ${locale}` });
        assert.equal(await page.locator('.cal-grid th').first().textContent(), words({ weekday: 'short' }, new Date(2024, 0, 1, 12)));
        assert.match(await page.locator(`td[data-date="${today}"]`).getAttribute('title'), new RegExp(`^${long}: `));
        if (dataUntil) {
          const until = words({ day: 'numeric', month: 'long', year: 'numeric' }, new Date(`${dataUntil}T12:00:00`));
          await page.getByTestId('cal-data-until').getByText(`No calendar data after ${until}`).waitFor();
        }
        // No key is shown as text in the calendar's head or its month.
        assert.doesNotMatch(await page.locator('.cal-meta').innerText(), /\d{4}-\d{2}-\d{2}/);
        assert.doesNotMatch(await page.locator('.cal-card').innerText(), /\d{4}-\d{2}-\d{2}/);
        await screenshot(page, `calendar-${locale}`, { fullPage: false });
        assert.deepEqual(other.problems, []);
      } finally {
        await other.close();
      }
    }
  });

  it('reports the player\'s answer to an announcement', async () => {
    const { page } = browser;
    await page.goto(`${stack.baseUrl}/announcements`);
    // The stand-in lists its announcements; an id it does not know is typed as another id.
    await page.getByLabel('Announcement', { exact: true }).selectOption({ label: 'Other id…' });
    await page.getByLabel('Other id').fill('no-such-announcement');
    await page.getByRole('button', { name: 'Play announcement' }).click();
    await page.getByTestId('announce-result').getByText('The service answered: Unknown announcement: no-such-announcement').waitFor();

    // The stand-in's sample announcement is downloaded and played.
    await page.getByLabel('Announcement', { exact: true }).selectOption('welcome');
    await page.getByRole('button', { name: 'Play announcement' }).click();
    await waitFor(() => stack.plays().some((l) => l.startsWith('mpg123 ') && l.endsWith('announcement.mp3')),
      { what: 'mpg123 to play the downloaded announcement' });
    await screenshot(page, 'announcements-desktop');
  });

  it('shows the version and internet access in the footer', async () => {
    const { page } = browser;
    const status = await getJson(browser.context, stack.baseUrl, '/api/get/info');
    await page.goto(`${stack.baseUrl}/`);
    await page.locator('.footer-version', { hasText: status.version }).waitFor();
    await waitFor(async () => {
      const info = await getJson(browser.context, stack.baseUrl, '/api/get/info');
      if (!info.internetAccess) return false;
      await page.reload();
      return (await page.getByTestId('internet').innerText()) === 'Internet access: yes';
    }, { what: 'internet access to be shown', timeoutMs: 10000, intervalMs: 1000 });
    assert.deepEqual(browser.problems, []);
  });
});
