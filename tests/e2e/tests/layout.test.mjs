// The frame at every width: the header fits from a small phone to a desktop, idle and while a sound
// plays; the folded menu works by keyboard; notifications hide no control; the phone bell list keeps
// its signal names; the alarm control is named for what a press does and is not the first tab stop.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, screenshot, getJson, postJson, waitFor, PHONE } from '../lib/harness.mjs';

const SIZES = [
  { width: 320, height: 568 },
  { width: 390, height: 844 },
  { width: 1024, height: 768 },
  { width: 1366, height: 768 },
];
const WIDE = { width: 1366, height: 768 };
const FOLDED_BELOW = 1200;

const overlaps = (a, b) => a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;

/** Every visible control of the header with its box, and whether the page scrolls sideways. */
function measureHeader(page) {
  return page.evaluate(() => {
    const header = document.querySelector('.site-header');
    const controls = [...header.querySelectorAll('a, button')].filter((el) => el.checkVisibility()).map((el) => {
      const r = el.getBoundingClientRect();
      return { name: (el.getAttribute('aria-label') || el.textContent).trim(), x: r.x, y: r.y, width: r.width, height: r.height };
    });
    const stop = document.querySelector('[data-testid="stop-all"]');
    return {
      controls,
      innerWidth: window.innerWidth,
      scrollWidth: document.documentElement.scrollWidth,
      headerBottom: header.getBoundingClientRect().bottom,
      playing: Boolean(stop && stop.checkVisibility()),
    };
  });
}

function assertFits(m, label) {
  assert.ok(m.scrollWidth <= m.innerWidth, `${label}: the page scrolls sideways (${m.scrollWidth} > ${m.innerWidth})`);
  for (const c of m.controls) {
    assert.ok(c.x >= 0 && c.x + c.width <= m.innerWidth, `${label}: "${c.name}" is off screen (${c.x}..${c.x + c.width})`);
    assert.ok(c.y >= 0 && c.y + c.height <= m.headerBottom, `${label}: "${c.name}" hangs out of the header`);
    assert.ok(c.width >= 24, `${label}: "${c.name}" is squeezed to ${c.width}px`);
  }
  for (const [i, a] of m.controls.entries()) {
    for (const b of m.controls.slice(i + 1)) assert.ok(!overlaps(a, b), `${label}: "${a.name}" overlaps "${b.name}"`);
  }
}

describe('layout', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('layout');
    browser = await startBrowser(WIDE);
    await setFirstPassword(browser.page, stack.baseUrl, 'layout-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const trigger = async (what) => {
    const res = await browser.context.request.get(`${stack.baseUrl}/api/trigger/${what}/x`);
    assert.equal(res.status(), 200, `${what} answered ${res.status()}`);
  };
  const alarmOn = async () => (await getJson(browser.context, stack.baseUrl, '/api/get/overview')).alarmActive;
  const silence = async () => {
    await trigger('stopAll');
    await browser.page.getByTestId('stop-all').waitFor({ state: 'hidden' });
  };

  it('fits the header at every width with the links folded where they do not fit', async () => {
    const { page } = browser;
    for (const size of SIZES) {
      await page.setViewportSize(size);
      await page.goto(`${stack.baseUrl}/timetables`);
      await page.getByRole('heading', { name: 'Timetables', level: 1 }).waitFor();
      const m = await measureHeader(page);
      assertFits(m, `${size.width}px`);
      const names = m.controls.map((c) => c.name);
      assert.ok(names.includes('Log out'), `${size.width}px: Log out is shown`);
      await screenshot(page, `layout-idle-${size.width}`);
      if (size.width < FOLDED_BELOW) {
        assert.ok(names.includes('Menu') && !names.includes('Settings'), `${size.width}px: the links fold into the menu (${names})`);
        // Open, the menu fits the screen and marks the page shown.
        await page.getByRole('button', { name: 'Menu' }).click();
        const panel = await page.getByRole('navigation', { name: 'Main' }).boundingBox();
        assert.ok(panel.x >= 0 && panel.x + panel.width <= size.width && panel.y + panel.height <= size.height, `${size.width}px: the open menu fits`);
        assert.equal(await page.locator('a.nav-link[aria-current="page"]').innerText(), 'Timetables');
        await screenshot(page, `layout-menu-open-${size.width}`, { fullPage: false });
        await page.keyboard.press('Escape');
      } else {
        assert.ok(!names.includes('Menu') && names.includes('Settings') && names.includes('Announcements'), `${size.width}px: every link shows (${names})`);
        assert.equal(await page.locator('a.nav-link[aria-current="page"]').innerText(), 'Timetables');
      }
    }
    assert.deepEqual(browser.problems, []);
  });

  it('lets no page scroll sideways on the smallest phone', async () => {
    const { page } = browser;
    const tables = await getJson(browser.context, stack.baseUrl, '/db/timetables');
    const pages = ['/', '/timetables', `/timetables/${tables[0].id}`, '/signals', '/calendar', '/announcements', '/journal', '/settings'];
    try {
      await page.setViewportSize({ width: 320, height: 568 });
      for (const path of pages) {
        await page.goto(`${stack.baseUrl}${path}`);
        await page.locator('main h1').first().waitFor();
        await page.waitForLoadState('networkidle');
        const widest = await page.evaluate(() => {
          const limit = document.documentElement.clientWidth;
          const over = [...document.querySelectorAll('main *')].filter((el) => el.checkVisibility() && el.getBoundingClientRect().right > limit + 0.5);
          return { scrollWidth: document.documentElement.scrollWidth, limit, over: over.slice(0, 3).map((el) => `${el.tagName.toLowerCase()}.${el.className}`) };
        });
        assert.ok(widest.scrollWidth <= widest.limit, `${path} scrolls sideways: ${widest.scrollWidth} > ${widest.limit}, past the edge: ${widest.over.join(', ')}`);
      }
      await screenshot(page, 'settings-320', { fullPage: false });
    } finally {
      await page.setViewportSize(WIDE);
    }
  });

  it('fits the header while something plays, with "Stop all sounds" in view', async () => {
    const { page } = browser;
    await trigger('toggleAlarm');
    try {
      for (const size of SIZES) {
        await page.setViewportSize(size);
        await page.goto(`${stack.baseUrl}/signals`);
        await page.getByRole('heading', { name: 'Signals', level: 1 }).waitFor();
        // The alarm repeats; measure at a moment the player reports it playing.
        const m = await waitFor(async () => {
          const got = await measureHeader(page);
          return got.playing ? got : null;
        }, { what: `"Stop all sounds" at ${size.width}px` });
        assertFits(m, `${size.width}px playing`);
        const names = m.controls.map((c) => c.name);
        assert.ok(names.includes('Stop all sounds') && names.includes('Log out'), `${size.width}px playing: ${names}`);
        await screenshot(page, `layout-playing-${size.width}`, { fullPage: false });
      }
    } finally {
      await silence();
    }
    assert.equal(await alarmOn(), false);
  });

  it('opens the folded menu by keyboard, closes it with Escape, on leaving it and on navigation', async () => {
    const { page } = browser;
    await page.setViewportSize(PHONE);
    await page.goto(`${stack.baseUrl}/timetables`);
    const menu = page.getByRole('button', { name: 'Menu' });
    const nav = page.getByRole('navigation', { name: 'Main' });
    const link = (name) => nav.getByRole('link', { name, exact: true });
    assert.equal(await link('Signals').isVisible(), false);

    await menu.focus();
    await page.keyboard.press('Enter');
    assert.equal(await menu.getAttribute('aria-expanded'), 'true');
    await link('Signals').waitFor();
    assert.equal(await link('Timetables').getAttribute('aria-current'), 'page');
    const panel = await nav.boundingBox();
    assert.ok(panel.x >= 0 && panel.x + panel.width <= PHONE.width && panel.y + panel.height <= PHONE.height, 'the open menu fits the phone');
    await screenshot(page, 'layout-menu-open-phone', { fullPage: false });

    // Escape closes it and gives the focus back to the button.
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.textContent.trim()), 'Dashboard');
    await page.keyboard.press('Escape');
    assert.equal(await menu.getAttribute('aria-expanded'), 'false');
    assert.equal(await link('Signals').isVisible(), false);
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Menu');

    // Tabbing past the last link leaves the menu and closes it.
    await page.keyboard.press('Enter');
    for (let i = 0; i < 7; i += 1) await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.textContent.trim()), 'Settings');
    await page.keyboard.press('Tab');
    assert.equal(await menu.getAttribute('aria-expanded'), 'false');

    // A click elsewhere closes it; choosing the page already shown closes it too.
    await menu.click();
    await page.locator('.site-footer').click();
    assert.equal(await menu.getAttribute('aria-expanded'), 'false');
    await menu.click();
    await link('Timetables').click();
    assert.equal(await menu.getAttribute('aria-expanded'), 'false');

    // Choosing another page by keyboard goes there and closes the menu.
    await menu.focus();
    await page.keyboard.press('Enter');
    await link('Journal').focus();
    await page.keyboard.press('Enter');
    await page.waitForURL(`${stack.baseUrl}/journal`);
    assert.equal(await menu.getAttribute('aria-expanded'), 'false');
    assert.equal(await link('Journal').isVisible(), false);
    assert.equal(await page.locator('a.nav-link[href="/journal"]').getAttribute('aria-current'), 'page');
    assert.deepEqual(browser.problems, []);
  });

  for (const [label, size] of [['desktop', WIDE], ['phone', PHONE]]) {
    it(`keeps notifications off the save button, "Stop all sounds" and the header (${label})`, async () => {
      const { page } = browser;
      await page.setViewportSize(size);
      const save = page.getByRole('button', { name: 'Save changes' });
      const clear = async (what, { playing }) => waitFor(async () => {
        const toasts = await page.locator('#toasts').boundingBox();
        const stop = await page.getByTestId('stop-all').boundingBox();
        if (!toasts || (playing && !stop)) return false;
        const header = await page.locator('.site-header').boundingBox();
        // The save bar hides once everything is saved; its buttons count while they show.
        const barButtons = await page.locator('.save-bar button').evaluateAll((buttons) => buttons
          .filter((b) => b.checkVisibility()).map((b) => { const r = b.getBoundingClientRect(); return { x: r.x, y: r.y, width: r.width, height: r.height }; }));
        const kept = [header, stop, ...barButtons];
        return kept.every((b) => !b || !overlaps(toasts, b)) && toasts.y + toasts.height <= size.height;
      }, { what: `${what} clear of the controls on a ${label}`, timeoutMs: 3000 });

      // A toast raised on one page, then the editor opens with its save bar under it.
      await page.goto(`${stack.baseUrl}/timetables`);
      await page.getByRole('button', { name: 'New timetable' }).click();
      const dialog = page.getByRole('dialog');
      await dialog.getByLabel('Name').fill(`Toasts on a ${label}`);
      await dialog.getByRole('button', { name: 'Create' }).click();
      await page.getByRole('heading', { name: `Toasts on a ${label}`, level: 1 }).waitFor();
      await page.getByText(`Created “Toasts on a ${label}”.`).waitFor();
      // The save bar shows only once something changes: change a lesson while the toast is up.
      await page.locator('#lesson-0-end').fill('08:50');
      await save.waitFor();
      const bar = await save.evaluate((el) => el.closest('.save-bar').getBoundingClientRect().toJSON());
      assert.ok(bar.bottom >= size.height - 1, 'the save bar sits at the bottom of the screen, where toasts used to be');
      await clear('the "Created" toast', { playing: false });

      // A toast raised by the save button itself while something plays, on a timetable whose
      // lessons all have signals.
      await trigger('toggleAlarm');
      try {
        await page.goto(`${stack.baseUrl}/timetables/ID_factory_default_timetable`);
        await page.getByRole('heading', { name: 'Default', level: 1 }).waitFor();
        await page.getByTestId('stop-all').waitFor();
        await page.locator('#lesson-0-end').fill(label === 'phone' ? '08:35' : '08:40');
        await save.click();
        await page.getByText('Timetable saved.').waitFor();
        await clear('the "Timetable saved" toast', { playing: true });
        await screenshot(page, `layout-toast-${label}`, { fullPage: false });
      } finally {
        await silence();
      }
      assert.deepEqual(browser.problems, []);
    });
  }

  it('shows the signal of every bell on a phone, as on a desktop', async () => {
    const { page, context } = browser;
    await postJson(context, stack.baseUrl, '/db/settings/update', { 'dailyPreferences.selectedTimetableId': 'ID_factory_default_timetable' });
    await page.setViewportSize(WIDE);
    await page.goto(`${stack.baseUrl}/`);
    await page.locator('.bell-row').first().waitFor({ state: 'attached' });
    const earlier = page.getByRole('button', { name: /Show earlier bells/ });
    if (await earlier.isVisible()) await earlier.click();
    const read = () => page.locator('.bell-row').evaluateAll((rows) => rows.filter((r) => r.checkVisibility()).map((r) => {
      const s = r.querySelector('.bell-signal');
      const box = s.getBoundingClientRect();
      return { text: s.checkVisibility() ? s.textContent : '', whole: s.scrollWidth <= s.clientWidth, right: box.right };
    }));
    const desktop = await read();
    const names = new Set((await getJson(context, stack.baseUrl, '/api/get/signals')).map((s) => s.name));
    assert.ok(desktop.length >= 12, `the default timetable's bells are listed (${desktop.length})`);
    for (const row of desktop) assert.ok(names.has(row.text), `"${row.text}" names a signal`);

    await page.setViewportSize(PHONE);
    const phone = await read();
    assert.deepEqual(phone.map((r) => r.text), desktop.map((r) => r.text));
    for (const row of phone) {
      assert.ok(row.whole, `"${row.text}" is shown whole`);
      assert.ok(row.right <= PHONE.width, `"${row.text}" fits the phone`);
    }
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth));
    await page.locator('.bell-list').evaluate((el) => el.scrollIntoView());
    await screenshot(page, 'layout-dashboard-phone', { fullPage: false });
  });

  it('names the alarm control for what one press does and keeps it out of the first tab stops', async () => {
    const { page } = browser;
    await page.setViewportSize(WIDE);
    await page.goto(`${stack.baseUrl}/`);
    const alarm = page.getByRole('button', { name: 'Sound the alarm', exact: true });
    await alarm.waitFor();
    const describedBy = await alarm.getAttribute('aria-describedby');
    assert.match(await page.locator(`[id="${describedBy}"]`).innerText(), /One press starts the alarm/);
    await page.locator('#today-choice').waitFor();

    // From the top: the skip link, the header, then the page's own controls before the alarm.
    const stops = [];
    for (let i = 0; i < 30 && !stops.includes('alarm'); i += 1) {
      await page.keyboard.press('Tab');
      stops.push(await page.evaluate(() => {
        const el = document.activeElement;
        if (el.dataset.testid === 'alarm-toggle') return 'alarm';
        if (el.id === 'today-choice') return 'today-choice';
        return `${el.closest('header') ? 'header' : el.closest('main') ? 'main' : 'other'}:${el.textContent.trim()}`;
      }));
    }
    assert.equal(stops[0], 'other:Skip to content');
    const alarmAt = stops.indexOf('alarm');
    const lastHeader = stops.findLastIndex((s) => s.startsWith('header:'));
    assert.ok(alarmAt > lastHeader && lastHeader > 0, `the header comes before the alarm: ${stops}`);
    assert.ok(stops.indexOf('today-choice') > lastHeader && stops.indexOf('today-choice') < alarmAt, `today's choice comes before the alarm: ${stops}`);

    // Skipping to the content lands on an ordinary control first as well.
    await page.goto(`${stack.baseUrl}/`);
    await page.locator('#today-choice').waitFor();
    await page.keyboard.press('Tab');
    await page.keyboard.press('Enter');
    await page.keyboard.press('Tab');
    // The health strip (a warning's own dismiss, or the folded list of all checks), or with no checks yet
    // today's card: never the alarm.
    assert.ok(await page.evaluate(() => Boolean(document.activeElement.closest('main [data-testid="health-strip"], main .today-card'))),
      'the first stop in the content is in the health strip or in today\'s card');
    assert.notEqual(await page.evaluate(() => document.activeElement.dataset.testid), 'alarm-toggle');

    // Still one press, here from the keyboard.
    await alarm.focus();
    await page.keyboard.press('Space');
    await waitFor(alarmOn, { what: 'the alarm to sound after one press' });
    await page.getByRole('button', { name: 'Stop the alarm' }).waitFor();
    await page.getByRole('button', { name: 'Stop the alarm' }).press('Space');
    await waitFor(async () => !(await alarmOn()), { what: 'the alarm to stop after one press' });
    assert.deepEqual(browser.problems, []);
  });
});
