// The app on a slow school network: Chromium's network emulation puts 100 ms on every request. A
// repeat visit revalidates the static files (304, no bodies), and the dashboard shows its content
// after a handful of round trips, not one per module.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { startStack, startBrowser, setFirstPassword } from '../lib/harness.mjs';

const LATENCY_MS = 100;

/** Bytes on the wire (headers included) and requests of everything the page loads until `done`. */
async function measuredVisit(page, cdp, url, done) {
  const sizes = new Map();
  const urls = new Map();
  const onRequest = (event) => urls.set(event.requestId, event.request.url);
  const onFinished = (event) => sizes.set(event.requestId, event.encodedDataLength);
  cdp.on('Network.requestWillBeSent', onRequest);
  cdp.on('Network.loadingFinished', onFinished);
  await page.goto(url, { waitUntil: 'commit' });
  await done();
  const shownAfterMs = await page.evaluate(() => performance.now());
  await page.waitForLoadState('networkidle');
  cdp.off('Network.loadingFinished', onFinished);
  cdp.off('Network.requestWillBeSent', onRequest);
  if (process.env.QV_E2E_SPEED_DETAIL) for (const [id, n] of sizes) console.log(`${n} ${urls.get(id)}`);
  const bytes = [...sizes.values()].reduce((sum, n) => sum + n, 0);
  const asked = [...urls.values()];
  const twice = asked.filter((url, i) => asked.indexOf(url) !== i);
  return { bytes, requests: sizes.size, shownAfterMs, twice };
}

describe('the app over a slow network', () => {
  let stack;
  let browser;
  let cdp;

  before(async () => {
    stack = await startStack('speed');
    browser = await startBrowser();
    await setFirstPassword(browser.page, stack.baseUrl, 'speed-pass');
    cdp = await browser.context.newCDPSession(browser.page);
    await cdp.send('Network.enable');
  });
  after(async () => {
    if (browser) await browser.close();
    if (stack) await stack.stop();
  });

  const dashboardShown = () => browser.page.locator('[data-testid="next-bell"]').waitFor();

  it('loads the dashboard in a few round trips, and again from the revalidated cache', async () => {
    const { page } = browser;
    // Without delay first: what the page's own work costs on this machine, so that the delay's share
    // can be told apart from a busy test machine.
    await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
    await cdp.send('Network.clearBrowserCache');
    const local = await measuredVisit(page, cdp, `${stack.baseUrl}/`, dashboardShown);

    await cdp.send('Network.emulateNetworkConditions', { offline: false, latency: LATENCY_MS, downloadThroughput: -1, uploadThroughput: -1 });
    await cdp.send('Network.clearBrowserCache');
    const first = await measuredVisit(page, cdp, `${stack.baseUrl}/`, dashboardShown);
    const repeat = await measuredVisit(page, cdp, `${stack.baseUrl}/`, dashboardShown);
    console.log(`no delay: dashboard after ${Math.round(local.shownAfterMs)} ms; ` +
      `${LATENCY_MS} ms delay, first visit: ${Math.round(first.shownAfterMs)} ms, ${first.bytes} bytes in ${first.requests} requests; ` +
      `repeat visit: ${Math.round(repeat.shownAfterMs)} ms, ${repeat.bytes} bytes in ${repeat.requests} requests`);

    assert.ok(repeat.bytes < 20 * 1024, `a repeat visit transferred ${repeat.bytes} bytes`);
    assert.ok(first.requests < 20, `the first visit made ${first.requests} requests`);
    // Every answer the dashboard needs once is asked for once: a second ask is a wasted round trip.
    assert.deepEqual(first.twice, []);
    assert.deepEqual(repeat.twice, []);
    // The delay's share: at most four round trips before the content, whatever the machine's speed.
    const delayShare = repeat.shownAfterMs - local.shownAfterMs;
    assert.ok(delayShare < 4.5 * LATENCY_MS, `the delay added ${Math.round(delayShare)} ms before the dashboard showed its content`);
    assert.deepEqual(browser.problems, []);
  });
});
