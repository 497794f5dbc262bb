// Two browsers editing the same record: the later save against an older view is refused with the
// player's words and a Reload, which brings in the other browser's change.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, getJson, secondsOf, hhmm, screenshot } from '../lib/harness.mjs';

const FACTORY = 'ID_factory_default_timetable';
const CHANGED_ELSEWHERE = 'Changed elsewhere: reload to see the other change';

describe('two browsers on the same record', () => {
  let stack;
  let browser;
  let pageA;
  let pageB;

  before(async () => {
    stack = await startStack('revisions');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'rev-pass');
    pageA = browser.page;
    // A second tab of the same session, as a colleague's browser would be.
    pageB = await browser.context.newPage();
    pageB.setDefaultTimeout(15000);
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const stored = async () => (await getJson(browser.context, stack.baseUrl, '/db')).timetables[FACTORY];
  const settings = () => getJson(browser.context, stack.baseUrl, '/api/get/settings');
  // Shortened to 30 minutes from its start: a change that stays valid.
  const shorten = async (page, index) => {
    const start = await page.locator(`#lesson-${index}-start`).inputValue();
    const end = hhmm(secondsOf(start) + 30 * 60);
    await page.locator(`#lesson-${index}-end`).fill(end);
    return `${start} - ${end}`;
  };
  const saveTimetable = (page) => page.locator('.save-bar').getByRole('button', { name: 'Save changes' }).click();

  it('a timetable saved in one tab is not undone by a save from an older view', async () => {
    await pageA.goto(`${stack.baseUrl}/timetables/${FACTORY}`);
    await pageA.locator('#lesson-5-start').waitFor();
    await pageB.goto(`${stack.baseUrl}/timetables/${FACTORY}`);
    await pageB.locator('#lesson-5-start').waitFor();

    const lesson6 = await shorten(pageB, 5);
    await saveTimetable(pageB);
    await pageB.getByText('Timetable saved.').waitFor();
    assert.equal((await stored()).chA.lessons[5], lesson6);

    // A, opened before, saves another lesson: refused, in its own words, nothing of B's lost.
    const lesson1 = await shorten(pageA, 0);
    await saveTimetable(pageA);
    const refusal = pageA.locator('.changed-elsewhere');
    await refusal.getByText(CHANGED_ELSEWHERE).waitFor();
    assert.equal(await pageA.getByText('The player did not accept the timetable:').count(), 0);
    await screenshot(pageA, 'revisions-timetable-refused', { fullPage: false });
    const after409 = await stored();
    assert.equal(after409.chA.lessons[5], lesson6);
    assert.notEqual(after409.chA.lessons[0], lesson1);

    await refusal.getByRole('button', { name: 'Reload' }).click();
    await pageA.locator('.changed-elsewhere').waitFor({ state: 'detached' });
    const [start6, end6] = lesson6.split(' - ');
    await pageA.waitForFunction((end) => document.querySelector('#lesson-5-end')?.value === end, end6);
    assert.equal(await pageA.locator('#lesson-5-start').inputValue(), start6);
    assert.equal(await pageA.locator('#lesson-5-end').inputValue(), end6);
    await pageA.locator('.save-bar').waitFor({ state: 'hidden' });

    // After the reload A saves against the current revision, and again without reloading.
    const again = await shorten(pageA, 0);
    await saveTimetable(pageA);
    await pageA.getByText('Timetable saved.').first().waitFor();
    const later = await shorten(pageA, 1);
    await saveTimetable(pageA);
    await pageA.locator('.save-bar').waitFor({ state: 'hidden' });
    const lessons = (await stored()).chA.lessons;
    assert.deepEqual([lessons[0], lessons[1], lessons[5]], [again, later, lesson6]);
  });

  it('settings saved in one tab are not undone by a save from an older view', async () => {
    await pageA.goto(`${stack.baseUrl}/settings`);
    await pageB.goto(`${stack.baseUrl}/settings`);
    const delay = (page) => page.getByLabel('Pause between alarm repeats (seconds)');
    await delay(pageA).waitFor();
    await delay(pageB).waitFor();

    await delay(pageB).fill('7');
    await pageB.getByRole('button', { name: 'Save settings' }).click();
    await pageB.getByText('Settings saved.').waitFor();

    await pageA.getByLabel('Ring bells on schedule').uncheck();
    await pageA.getByRole('button', { name: 'Save settings' }).click();
    const refusal = pageA.locator('.changed-elsewhere');
    await refusal.getByText(CHANGED_ELSEWHERE).waitFor();
    assert.equal((await settings()).schedulerEnable, true);
    assert.equal((await settings()).alarmDelaySec, 7);

    await refusal.getByRole('button', { name: 'Reload' }).click();
    await pageA.locator('.changed-elsewhere').waitFor({ state: 'detached' });
    // The form is drawn again once the reload has answered.
    await pageA.waitForFunction(() => document.querySelector('#set-alarm-delay')?.value === '7');
    assert.equal(await pageA.getByLabel('Ring bells on schedule').isChecked(), true, 'the refused edit is dropped');

    // The timetables per weekday go in the same save, against the same revision: A saves both, then B,
    // whose view is older again, is refused for a weekday alone.
    await pageA.getByLabel('Ring bells on schedule').uncheck();
    await pageA.getByLabel('Timetable on Saturdays').selectOption(FACTORY);
    await pageA.getByRole('button', { name: 'Save settings' }).click();
    await pageA.getByText('Settings saved.').waitFor();
    await pageA.locator('.save-bar').waitFor({ state: 'hidden' });
    const saved = await settings();
    assert.equal(saved.weekdayTimetables[5], FACTORY);
    assert.equal(saved.schedulerEnable, false);

    await pageB.getByLabel('Timetable on Sundays').selectOption(FACTORY);
    await pageB.getByRole('button', { name: 'Save settings' }).click();
    await pageB.locator('.changed-elsewhere').getByText(CHANGED_ELSEWHERE).waitFor();
    const now = await settings();
    assert.equal(now.weekdayTimetables[6], '');
    assert.equal(now.schedulerEnable, false);
  });
});
