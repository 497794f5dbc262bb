// Every main page at desktop and phone size: it renders without script errors, fits the width,
// and is saved as a screenshot for a person to look at.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword, screenshot, DESKTOP, PHONE } from '../lib/harness.mjs';

const PAGES = [
  { path: '/', name: 'dashboard', ready: 'Dashboard' },
  { path: '/timetables', name: 'timetables', ready: 'Timetables' },
  { path: '/timetables/ID_factory_default_timetable', name: 'timetable-editor', ready: 'Default' },
  { path: '/signals', name: 'signals', ready: 'Signals' },
  { path: '/settings', name: 'settings', ready: 'Settings' },
  { path: '/calendar', name: 'calendar', ready: 'Calendar' },
  { path: '/announcements', name: 'announcements', ready: 'Announcements' },
  { path: '/journal', name: 'journal', ready: 'Journal' },
];

describe('pages at desktop and phone size', () => {
  let stack;
  let browser;

  before(async () => {
    stack = await startStack('pages');
    browser = await startBrowser(DESKTOP);
    await setFirstPassword(browser.page, stack.baseUrl, 'page-pass');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  for (const [sizeName, size] of [['desktop', DESKTOP], ['phone', PHONE]]) {
    it(`renders every page on a ${sizeName}`, async () => {
      const { page } = browser;
      await page.setViewportSize(size);
      for (const p of PAGES) {
        await page.goto(`${stack.baseUrl}${p.path}`);
        await page.getByRole('heading', { name: p.ready, level: 1 }).waitFor();
        // Let the page's data arrive before the picture.
        await page.waitForLoadState('networkidle').catch(() => {});
        await page.locator('text=Loading…').first().waitFor({ state: 'detached', timeout: 5000 }).catch(() => {});
        await screenshot(page, `page-${p.name}-${sizeName}`);
        const fits = await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth);
        assert.ok(fits, `${p.path} scrolls sideways on a ${sizeName}`);
      }
      assert.deepEqual(browser.problems, []);
    });
  }

  it('reaches every page through the navigation with the keyboard on a phone', async () => {
    const { page } = browser;
    await page.setViewportSize(PHONE);
    await page.goto(`${stack.baseUrl}/`);
    const menu = page.getByRole('button', { name: 'Menu' });
    await menu.focus();
    await page.keyboard.press('Enter');
    assert.equal(await menu.getAttribute('aria-expanded'), 'true');
    await page.getByRole('link', { name: 'Calendar' }).focus();
    await page.keyboard.press('Enter');
    await page.waitForURL(`${stack.baseUrl}/calendar`);
    // The menu closes after choosing; the link stays marked as the current page.
    assert.equal(await menu.getAttribute('aria-expanded'), 'false');
    assert.equal(await page.locator('a.nav-link[href="/calendar"]').getAttribute('aria-current'), 'page');
    // Back in history returns to the dashboard without a reload.
    await page.goBack();
    await page.getByRole('heading', { name: 'Dashboard', level: 1 }).waitFor();
  });
});
