// Live state of the player, polled while someone is logged in: the clock once a second,
// the overview (alarm, today's timetable) every few seconds, version, internet and health rarely.

import { api } from './api.js';
import { parseTime, wrapDay } from './time.js';

const STATUS_MS = 1000;
const OVERVIEW_MS = 5000;
const INFO_MS = 30000;
const UNCHECKED_INFO_MS = 5000;
const HEALTH_MS = 30000;

export const live = {
  status: null,
  overview: null,
  info: null,
  /** The player's health checks, [{name, status, message, remedy}]; null before the first answer. */
  health: null,
  unreachable: false,
  clockBase: null,
  clockAt: 0,
};

const listeners = new Set();
const timers = {};
let running = false;

function emit() {
  for (const fn of listeners) fn(live);
}

/** fn(live) runs now and after every change; returns the unsubscribe function. */
export function subscribe(fn) {
  listeners.add(fn);
  fn(live);
  return () => listeners.delete(fn);
}

/** Seconds of the day on the player's clock, advanced smoothly between polls; null before the first poll. */
export function serverNowSeconds() {
  if (live.clockBase === null) return null;
  return wrapDay(live.clockBase + (performance.now() - live.clockAt) / 1000);
}

async function poll(name, fetcher, interval, apply) {
  if (!running) return;
  try {
    apply(await fetcher());
    live.unreachable = false;
  } catch (err) {
    if (err && err.noAuth) {
      stopLive();
      return;
    }
    if (err && err.status === 0) live.unreachable = true;
  }
  emit();
  const wait = typeof interval === 'function' ? interval() : interval;
  if (running) timers[name] = setTimeout(() => poll(name, fetcher, interval, apply), wait);
}

const bellsOff = (overview) => Boolean(overview && overview.activeTimetableInfo && overview.activeTimetableInfo.source === 'DISABLED');

let overviewAt = -Infinity;

function applyOverview(overview) {
  const switched = live.overview !== null && bellsOff(live.overview) !== bellsOff(overview);
  live.overview = overview;
  overviewAt = performance.now();
  // The bells switched on or off (here or in another browser): the health says so long before its next poll.
  if (switched && running) refreshHealth().catch(() => {});
}

function applyStatus(status) {
  live.status = status;
  const t = parseTime(status && status.time);
  if (t !== null) {
    live.clockBase = t;
    live.clockAt = performance.now();
  }
}

export function startLive() {
  if (running) return;
  running = true;
  poll('status', api.status, STATUS_MS, applyStatus);
  // The overview that decided the login has just come: asking again at once costs a round trip.
  const overviewAge = performance.now() - overviewAt;
  if (overviewAge < OVERVIEW_MS) timers.overview = setTimeout(() => poll('overview', api.overview, OVERVIEW_MS, applyOverview), OVERVIEW_MS - overviewAge);
  else poll('overview', api.overview, OVERVIEW_MS, applyOverview);
  // Soon after start the player makes its first check: the footer should not say "not checked" for long.
  const infoWait = () => (live.info && live.info.internetCheckedSecondsAgo === null ? UNCHECKED_INFO_MS : INFO_MS);
  poll('info', api.info, infoWait, (i) => { live.info = i; });
  poll('health', fetchHealth, HEALTH_MS, (checks) => { live.health = checks; });
}

export function stopLive() {
  running = false;
  for (const key of Object.keys(timers)) clearTimeout(timers[key]);
}

/** Fetch the status at once (after an action that changes whether something plays). */
export async function refreshStatus() {
  applyStatus(await api.status());
  emit();
  return live.status;
}

/** Fetch the version and internet state at once (after an action that tried the internet). */
export async function refreshInfo() {
  live.info = await api.info();
  emit();
  return live.info;
}

/** An overview fetched elsewhere (the first one of the page) counts as the latest poll. */
export function acceptOverview(overview) {
  applyOverview(overview);
}

/** Fetch the overview at once (after an action that changes it). */
export async function refreshOverview() {
  const overview = await api.overview();
  applyOverview(overview);
  emit();
  return overview;
}

let healthInFlight = null;

function fetchHealth() {
  const asked = api.health();
  healthInFlight = asked;
  const done = () => { if (healthInFlight === asked) healthInFlight = null; };
  asked.then(done, done);
  return asked;
}

/** Health as fresh as a page needs when it opens: the request already under way, when there is one. */
export async function freshHealth() {
  if (!healthInFlight) return refreshHealth();
  live.health = await healthInFlight;
  emit();
  return live.health;
}

/** Fetch the health checks at once (after a change that one of them reports on). */
export async function refreshHealth() {
  live.health = await fetchHealth();
  emit();
  return live.health;
}
