// Emergency routines in the browser: the dashboard's buttons only ask, the drill or real choice and the
// second press start a routine, the banner on every page stops it or gives the all clear, the settings
// save what a routine plays in the page's one save, and the journal names each routine and its mark.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {
  startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor,
} from '../lib/harness.mjs';

// The stub espeak-ng fails whenever this voice is asked for.
const BROKEN_VOICE = 'zz-broken';

/** Whether the page scrolls sideways, and the box of each of the banner's buttons. */
function measureBanner(page) {
  return page.evaluate(() => {
    const banner = document.querySelector('[data-testid="emergency-banner"]');
    return {
      innerWidth: window.innerWidth,
      scrollWidth: document.documentElement.scrollWidth,
      banner: banner.getBoundingClientRect().toJSON(),
      buttons: [...banner.querySelectorAll('button')].map((b) => ({ name: b.textContent.trim(), ...b.getBoundingClientRect().toJSON() })),
    };
  });
}

/** The lines each routine's name takes on its dashboard button. */
function nameLines(page) {
  return page.evaluate(() => Object.fromEntries([...document.querySelectorAll('.emergency-name')].map((el) => {
    const range = document.createRange();
    range.selectNodeContents(el);
    return [el.textContent, range.getClientRects().length];
  })));
}

const ONE_LINE_EACH = { Lockdown: 1, Evacuation: 1, Shelter: 1, 'All clear': 1 };

function assertBannerFits(m, label) {
  assert.ok(m.scrollWidth <= m.innerWidth, `${label}: the page scrolls sideways (${m.scrollWidth} > ${m.innerWidth})`);
  assert.ok(m.banner.left >= 0 && m.banner.right <= m.innerWidth, `${label}: the banner is wider than the screen`);
  for (const b of m.buttons) {
    assert.ok(b.left >= m.banner.left && b.right <= m.banner.right, `${label}: "${b.name}" sticks out of the banner`);
    assert.ok(b.height >= 40, `${label}: "${b.name}" is only ${b.height}px high`);
  }
}

describe('emergency routines', () => {
  let stack;
  let browser;
  // What the page sent to the emergency endpoints, in order.
  const sent = [];

  before(async () => {
    stack = await startStack('emergency', { failSpeechOf: BROKEN_VOICE });
    browser = await startBrowser({ width: 1366, height: 900 });
    browser.page.on('request', (r) => {
      const url = new URL(r.url());
      if (url.pathname.startsWith('/api/emergency/')) sent.push({ path: url.pathname, body: r.postData() });
    });
    await setFirstPassword(browser.page, stack.baseUrl, 'emergency-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const running = async () => (await getJson(browser.context, stack.baseUrl, '/api/get/status')).emergency;
  const journal = async () => (await getJson(browser.context, stack.baseUrl, '/api/get/journal')).entries;
  const card = () => browser.page.locator('.emergency-card');
  const banner = () => browser.page.getByTestId('emergency-banner');

  /** The dashboard once the first live status has been drawn. */
  async function dashboard(page = browser.page) {
    await page.goto(`${stack.baseUrl}/`);
    await waitFor(async () => /^\d\d:\d\d:\d\d$/.test(await page.getByTestId('server-time').innerText()), { what: 'the first status' });
  }

  async function startFromDashboard(routine, answer) {
    const { page } = browser;
    await card().getByRole('button', { name: routine, exact: true }).click();
    const dialog = page.getByRole('dialog', { name: `Start ${routine.toLowerCase()}?` });
    await dialog.getByRole('radio', { name: new RegExp(`^${answer}`) }).check();
    await dialog.getByRole('button', { name: `Start ${routine.toLowerCase()}` }).click();
    await dialog.waitFor({ state: 'detached' });
  }

  describe('starting', () => {
    it('asks drill or real with nothing chosen, and neither Cancel, Escape nor a bare confirm starts anything', async () => {
      const { page } = browser;
      await dashboard();
      const lockdown = card().getByRole('button', { name: 'Lockdown', exact: true });
      // What a press will sound, from the factory settings.
      await lockdown.getByText('“lockdown” 3 times').waitFor();
      await lockdown.click();
      const dialog = page.getByRole('dialog', { name: 'Start lockdown?' });
      await dialog.getByText('Scheduled bells stay silent until it is stopped or the all clear is given.').waitFor();
      assert.equal(await dialog.getByRole('radio', { name: /^Drill/ }).isChecked(), false);
      assert.equal(await dialog.getByRole('radio', { name: /^Real emergency/ }).isChecked(), false);
      await dialog.getByRole('button', { name: 'Start lockdown' }).click();
      await dialog.getByText('Choose Drill or Real emergency first.').waitFor();
      await screenshot(page, 'emergency-dialog-1366', { fullPage: false });
      await dialog.getByRole('button', { name: 'Cancel' }).click();
      await dialog.waitFor({ state: 'detached' });

      // Escape after choosing cancels as well.
      await lockdown.click();
      await dialog.getByRole('radio', { name: /^Drill/ }).check();
      await page.keyboard.press('Escape');
      await dialog.waitFor({ state: 'detached' });
      assert.deepEqual(sent, [], 'nothing was sent to the player');
      assert.equal(await running(), null);
      assert.ok(!stack.plays().some((l) => l.endsWith('e-lockdown.mp3')), 'the lockdown tone did not play');
      assert.equal(await banner().count(), 0);
    });

    it('starts a lockdown drill when confirmed: the tone plays and the banner shows, also at 390 and 320 px', async () => {
      const { page, context } = browser;
      await startFromDashboard('Lockdown', 'Drill');
      await banner().waitFor();
      assert.deepEqual(sent.map((s) => [s.path, JSON.parse(s.body)]), [['/api/emergency/lockdown', { drill: true }]]);
      const now = await running();
      assert.equal(now.routine, 'lockdown');
      assert.equal(now.drill, true);
      await waitFor(() => stack.plays().some((l) => l.endsWith('e-lockdown.mp3')), { what: 'the lockdown tone' });
      assert.equal(await banner().getAttribute('role'), 'alert');
      assert.match(await banner().getAttribute('class'), /\bis-drill\b/);
      assert.equal((await banner().innerText()).split('\n')[0].trim(), `Lockdown drill in progress since ${now.since.slice(11, 16)} — bells are silenced`);
      assert.match(await card().getByRole('button', { name: 'Lockdown', exact: true }).getAttribute('class'), /\bis-running\b/);
      await screenshot(page, 'emergency-banner-1366');

      const phone = await startBrowser({ width: 390, height: 844 });
      try {
        await phone.context.addCookies(await context.cookies());
        await dashboard(phone.page);
        await phone.page.getByTestId('emergency-banner').waitFor();
        await phone.page.locator('.emergency-card').getByText('In progress (drill)').waitFor();
        await screenshot(phone.page, 'emergency-banner-390');
        assertBannerFits(await measureBanner(phone.page), '390 px');
        assert.deepEqual(await nameLines(phone.page), ONE_LINE_EACH, 'no routine\'s name is broken at 390 px');
        await phone.page.locator('.emergency-card').getByRole('button', { name: 'Shelter', exact: true }).click();
        const ask = phone.page.getByRole('dialog', { name: 'Start shelter?' });
        await ask.getByText('The lockdown drill in progress ends.').waitFor();
        await screenshot(phone.page, 'emergency-dialog-390', { fullPage: false });
        await ask.getByRole('button', { name: 'Cancel' }).click();
        await ask.waitFor({ state: 'detached' });
        await phone.page.setViewportSize({ width: 320, height: 568 });
        await phone.page.evaluate(() => window.scrollTo(0, 0));
        await screenshot(phone.page, 'emergency-banner-320', { fullPage: false });
        assertBannerFits(await measureBanner(phone.page), '320 px');
        assert.deepEqual(await nameLines(phone.page), ONE_LINE_EACH, 'no routine\'s name is broken at 320 px');
        assert.deepEqual(phone.problems, []);
      } finally {
        await phone.close();
      }
    });
  });

  describe('the banner', () => {
    it('follows to another page, and its Stop ends the routine', async () => {
      const { page } = browser;
      assert.equal((await running()).routine, 'lockdown', 'the drill of the test before still runs');
      await page.getByRole('link', { name: 'Signals' }).click();
      await page.getByRole('heading', { name: 'Signals', level: 1 }).waitFor();
      await banner().getByText('Lockdown drill in progress').waitFor();
      sent.length = 0;
      await banner().getByRole('button', { name: 'Stop', exact: true }).click();
      await banner().waitFor({ state: 'detached' });
      assert.equal(await running(), null);
      assert.deepEqual(sent.map((s) => s.path), ['/api/emergency/stop']);
      await page.getByText('The lockdown drill has been stopped.').waitFor();
      const stop = (await journal()).find((e) => e.kind === 'emergencyStop');
      assert.equal(stop.routine, 'lockdown');
      assert.equal(stop.reason, 'emergencyStop');
      assert.deepEqual(browser.problems, []);
    });

    it('says a routine in progress ends when another starts, and gives the all clear as real for a real one', async () => {
      const { page, context } = browser;
      await postJson(context, stack.baseUrl, '/api/emergency/shelter', { drill: true });
      await dashboard();
      await banner().getByText('Shelter drill in progress').waitFor();
      await card().getByRole('button', { name: 'Evacuation', exact: true }).click();
      const ask = page.getByRole('dialog', { name: 'Start evacuation?' });
      await ask.getByText('The shelter drill in progress ends.').waitFor();
      await ask.getByRole('radio', { name: /^Real emergency/ }).check();
      await ask.getByRole('button', { name: 'Start evacuation' }).click();
      await banner().getByText(/^EVACUATION in progress since \d\d:\d\d — bells are silenced$/).waitFor();
      assert.match(await banner().getAttribute('class'), /\bis-real\b/);
      await screenshot(page, 'emergency-banner-real-1366', { fullPage: false });
      assert.deepEqual(await running().then((e) => [e.routine, e.drill]), ['evacuation', false]);

      // The running routine's mark goes with its all clear; cancelling leaves it running.
      sent.length = 0;
      await banner().getByRole('button', { name: 'All clear', exact: true }).click();
      const confirm = page.getByRole('dialog', { name: 'Give the all clear?' });
      await confirm.getByText('This ends the evacuation routine').waitFor();
      assert.equal(await confirm.getByRole('radio').count(), 0, 'the mark is not asked again');
      await confirm.getByRole('button', { name: 'Cancel' }).click();
      await confirm.waitFor({ state: 'detached' });
      assert.equal((await running()).routine, 'evacuation');
      await banner().getByRole('button', { name: 'All clear', exact: true }).click();
      await confirm.getByRole('button', { name: 'Give the all clear' }).click();
      await banner().waitFor({ state: 'detached' });
      assert.deepEqual(sent.map((s) => [s.path, JSON.parse(s.body)]), [['/api/emergency/allClear', { drill: false }]]);
      assert.equal(await running(), null);
      await waitFor(async () => (await journal()).some((e) => e.kind === 'emergency' && e.routine === 'allClear' && e.outcome === 'rang'),
        { what: 'the all clear to have rung' });
      const stops = (await journal()).filter((e) => e.kind === 'emergencyStop');
      assert.deepEqual(stops.slice(-2).map((e) => [e.routine, e.reason]), [['shelter', 'routineChanged'], ['evacuation', 'allClear']]);
      assert.deepEqual(browser.problems, []);
    });

    it('goes with "Stop all sounds" too', async () => {
      const { page, context } = browser;
      await postJson(context, stack.baseUrl, '/api/emergency/evacuation', { drill: true });
      await banner().getByText('Evacuation drill in progress').waitFor();
      await page.getByTestId('stop-all').click();
      await banner().waitFor({ state: 'detached' });
      assert.equal(await running(), null);
    });
  });

  describe('settings', () => {
    it('saves a repeat and a sentence in the page\'s one save, counting the sentence in bytes', async () => {
      const { page, context } = browser;
      const before = (await getJson(context, stack.baseUrl, '/api/get/settings')).emergencyRoutines;
      await page.goto(`${stack.baseUrl}/settings`);
      const lockdown = page.getByRole('group', { name: 'Lockdown', exact: true });
      const bar = page.locator('.save-bar');
      await lockdown.getByLabel('Times', { exact: true }).waitFor();
      assert.equal(await bar.isHidden(), true, 'nothing to save yet');
      assert.equal(await lockdown.getByLabel('Times', { exact: true }).inputValue(), '3');
      assert.equal(await page.getByRole('group', { name: 'Evacuation', exact: true }).getByLabel('Repeat', { exact: true }).inputValue(), 'until');
      assert.equal(await page.getByRole('group', { name: 'Evacuation', exact: true }).getByLabel('Times', { exact: true }).isDisabled(), true);

      await lockdown.getByLabel('Times', { exact: true }).fill('101');
      // The bar names the problem, and a press on it leads to its field.
      await bar.getByRole('button', { name: 'Enter a whole number from 1 to 100.' }).click();
      assert.equal(await page.evaluate(() => document.activeElement.closest('fieldset')?.querySelector('legend')?.textContent), 'Lockdown');
      await lockdown.getByLabel('Times', { exact: true }).fill('5');
      await bar.getByText('Unsaved changes').waitFor();
      // 151 letters, but 302 bytes: one over the player's limit.
      const sentence = lockdown.getByLabel('Spoken sentence', { exact: true });
      await sentence.fill('é'.repeat(151));
      await sentence.blur();
      await lockdown.getByText('The sentence is 302 bytes long').waitFor();
      await bar.getByText('The sentence is 302 bytes long').waitFor();
      const words = 'Lockdown. Please stay in your rooms and keep away from the doors.';
      await sentence.fill(words);
      await bar.getByText('Unsaved changes').waitFor();

      const updates = [];
      const listen = (r) => { if (new URL(r.url()).pathname === '/db/settings/update') updates.push(JSON.parse(r.postData())); };
      page.on('request', listen);
      await page.getByRole('button', { name: 'Save settings' }).click();
      await page.getByText('Settings saved.').waitFor();
      page.off('request', listen);
      assert.deepEqual(updates, [{ 'emergencyRoutines.lockdown.repeat': 5, 'emergencyRoutines.lockdown.spokenText': words }]);
      const after = (await getJson(context, stack.baseUrl, '/api/get/settings')).emergencyRoutines;
      assert.deepEqual(after, { ...before, lockdown: { ...before.lockdown, repeat: 5, spokenText: words } });
      // The call before the sentence names the voice and the file to write.
      const calls = stack.speeches();
      const said = calls.indexOf(`text: ${words}`);
      assert.ok(said > 0, `espeak-ng was given the sentence: ${calls.join(' | ')}`);
      assert.match(calls[said - 1], /(^|\s)-v en\s.*-w \S/);
      await bar.waitFor({ state: 'hidden' });

      await page.reload();
      await page.getByRole('group', { name: 'Lockdown', exact: true }).getByLabel('Spoken sentence', { exact: true }).waitFor();
      assert.equal(await lockdown.getByLabel('Spoken sentence', { exact: true }).inputValue(), words);
      assert.equal(await lockdown.getByLabel('Times', { exact: true }).inputValue(), '5');
      await screenshot(page, 'emergency-settings-desktop');
      assert.deepEqual(browser.problems, []);
    });

    it('shows the player\'s refusal when the sentence cannot be made, and keeps the settings', async () => {
      const { page, context } = browser;
      await page.goto(`${stack.baseUrl}/settings`);
      const shelter = page.getByRole('group', { name: 'Shelter', exact: true });
      await shelter.getByLabel('Repeat', { exact: true }).selectOption('until');
      await page.getByLabel('Speech language', { exact: true }).fill(BROKEN_VOICE);
      await page.getByRole('button', { name: 'Save settings' }).click();
      await page.locator('.form-message').getByText('The settings were not saved: Could not make the spoken sentence of lockdown: ').waitFor();
      const settings = await getJson(context, stack.baseUrl, '/api/get/settings');
      assert.equal(settings.speechLanguage, 'en');
      assert.equal(settings.emergencyRoutines.shelter.repeat, 3, 'nothing of the refused save was kept');
      // Still unsaved here, to fix or discard.
      await page.locator('.save-bar').getByText('Unsaved changes').waitFor();
      await page.getByRole('button', { name: 'Discard changes' }).click();
      await page.locator('.save-bar').waitFor({ state: 'hidden' });
      assert.equal(await page.getByLabel('Speech language', { exact: true }).inputValue(), 'en');
    });
  });

  describe('journal', () => {
    it('names each routine with its mark, and the CSV ends with the routine and drill columns', async () => {
      const { page, context } = browser;
      await page.goto(`${stack.baseUrl}/journal`);
      const rows = page.locator('.journal-row');
      const started = rows.filter({ hasText: 'Lockdown (drill) started' });
      await started.first().waitFor();
      await rows.filter({ hasText: 'Evacuation (real emergency) started' }).first().waitFor();
      await rows.filter({ hasText: 'Lockdown (drill) ended' }).filter({ hasText: 'the emergency routine was stopped' }).first().waitFor();
      await rows.filter({ hasText: 'Shelter (drill) ended' }).filter({ hasText: 'another emergency routine was started' }).first().waitFor();
      await rows.filter({ hasText: 'Evacuation (real emergency) ended' }).filter({ hasText: 'ended by the all clear' }).first().waitFor();
      await screenshot(page, 'emergency-journal-desktop');

      const [download] = await Promise.all([page.waitForEvent('download'), page.getByRole('button', { name: 'Download CSV' }).click()]);
      const csv = fs.readFileSync(await download.path(), 'utf8').trim().split('\r\n');
      assert.match(csv[0], /,planned,routine,drill$/);
      // The last two cells of each routine's start, in the order of the tests above.
      const starts = csv.filter((line) => line.split(',')[1] === 'emergencyStart').map((line) => line.split(',').slice(-2).join(','))
        .filter((cells) => !cells.startsWith('allClear,'));
      assert.deepEqual(starts, ['lockdown,true', 'shelter,true', 'evacuation,false', 'evacuation,true']);
      assert.deepEqual(browser.problems, []);
    });
  });
});
