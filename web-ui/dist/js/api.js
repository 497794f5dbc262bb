// The only way the application talks to the player: its HTTP interface.

export class ApiError extends Error {
  constructor(message, status, noAuth = false, retryAfter = null) {
    super(message);
    this.name = 'ApiError';
    this.status = status;
    this.noAuth = noAuth;
    /** Seconds to wait before asking again (Retry-After of a 429), or null. */
    this.retryAfter = retryAfter;
    // Another browser changed the record since this page loaded it; nothing was changed.
    this.changedElsewhere = status === 409;
  }
}

/**
 * The revision of one record (a timetable, the settings) as this page loaded it. A read given it takes
 * the answer's revision; a change given it is made against it (If-Match) and takes the new one, so that a
 * page goes on saving without reloading, and a change made after another browser's is refused (409).
 */
export function revision(value = null) {
  return { value };
}

const ETAG = /^"([^"]*)"$/;

let noAuthHandler = () => {};

/** Called whenever the player answers 400 "No auth": the session is gone. */
export function onNoAuth(handler) {
  noAuthHandler = handler;
}

const UNREACHABLE = 'The player cannot be reached. Check that it is running and that this device is on its network.';

/** "45 seconds", "1 minute", "15 minutes": a wait announced by Retry-After, rounded up to minutes past one. */
export function waitText(seconds) {
  const s = Math.max(1, Math.ceil(Number(seconds) || 0));
  if (s < 60) return s === 1 ? '1 second' : `${s} seconds`;
  const m = Math.ceil(s / 60);
  return m === 1 ? '1 minute' : `${m} minutes`;
}

export function describeFailure(status, text, retryAfter = null) {
  if (status === 429) {
    return retryAfter === null
      ? 'Too many wrong passwords. Please wait before trying again.'
      : `Too many wrong passwords. Please wait ${waitText(retryAfter)} before trying again.`;
  }
  if (status === 400 && text) return text;
  if (status === 413) return 'The file is too large: the player accepts files of up to 100 MiB.';
  if (status === 404) return text && text.length < 200 && !text.startsWith('<') ? text : 'The player could not find what was asked for.';
  if (status >= 500) return `The player could not complete the request (error ${status}).`;
  return text || `The request failed (error ${status}).`;
}

const retryAfterOf = (res) => {
  const value = res.headers.get('retry-after');
  return value !== null && /^\d+$/.test(value.trim()) ? Number(value) : null;
};

async function send(url, options = {}, tracked = null) {
  const headers = { ...(options.headers || {}) };
  if (tracked && tracked.value) headers['If-Match'] = `"${tracked.value}"`;
  let res;
  try {
    res = await fetch(url, { credentials: 'same-origin', cache: 'no-store', ...options, headers });
  } catch {
    throw new ApiError(UNREACHABLE, 0);
  }
  if (res.ok) {
    const tag = ETAG.exec(res.headers.get('etag') || '');
    if (tracked && tag) tracked.value = tag[1];
    return res;
  }
  const text = (await res.text().catch(() => '')).trim();
  if (res.status === 400 && text === 'No auth') {
    noAuthHandler();
    throw new ApiError('You are not logged in any more. Please log in again.', 400, true);
  }
  throw new ApiError(describeFailure(res.status, text, retryAfterOf(res)), res.status, false, retryAfterOf(res));
}

async function body(res) {
  const type = res.headers.get('content-type') || '';
  const text = await res.text();
  if (type.includes('json')) {
    try {
      return JSON.parse(text);
    } catch {
      throw new ApiError('The player sent an answer that could not be read.', res.status);
    }
  }
  return text;
}

async function getJson(url, tracked = null) {
  return body(await send(url, {}, tracked));
}

async function postJson(url, value, tracked = null) {
  return body(await send(url, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(value),
  }, tracked));
}

const seg = (id) => encodeURIComponent(String(id));

export const api = {
  overview: () => getJson('/api/get/overview'),
  status: () => getJson('/api/get/status'),
  info: () => getJson('/api/get/info'),
  signals: () => getJson('/api/get/signals'),
  /** The signals a new installation has, with their ids. */
  factorySignals: () => getJson('/api/get/factorySignals'),
  /** The settings; `tracked` (see revision()) takes their revision. */
  settings: (tracked) => getJson('/api/get/settings', tracked),
  calendarInfo: () => getJson('/api/get/calendarInfo'),
  /** The regions' ids, names and usual weeks, without their dates. */
  regionNames: () => getJson('/api/get/regionNames'),
  /** A day's type, the timetable in force and its bells, each with the reason, as the scheduler sees it. */
  day: (date) => getJson(`/api/get/day?date=${encodeURIComponent(date)}`),
  /** The next day after today that rings, with its first bell; null when none within a year. */
  nextBellDay: () => getJson('/api/get/nextBellDay'),
  /** A day of the bell journal ("2024-09-02"; today without one): {date, entries, summary}. */
  journal: (date) => getJson(`/api/get/journal${date ? `?date=${encodeURIComponent(date)}` : ''}`),
  health: () => getJson('/api/get/health'),
  db: () => getJson('/db'),
  /** Every timetable with its id and its revision. */
  timetables: () => getJson('/db/timetables'),

  createTimetable: (timetable) => postJson('/db/timetables/create', timetable),
  // Each change takes the revision it is made against (the timetable's; the settings' for plans), if any.
  updateTimetable: (id, timetable, tracked) => postJson(`/db/timetables/update/${seg(id)}`, timetable, tracked),
  updateSettings: (changes, tracked) => postJson('/db/settings/update', changes, tracked),
  /** {token}: what a monitoring tool sends to read /metrics; null until one is made. */
  metricsToken: () => getJson('/api/metrics/token'),
  renewMetricsToken: () => postJson('/api/metrics/token', {}),
  testAlert: () => postJson('/api/alerts/test', {}),
  /**
   * timetableId: a timetable's id, 'NULL' for a day without bells, null to clear the plan; workingDaysOnly
   * leaves the days off of the range (as the scheduler sees them) as they were.
   */
  planDays: (from, to, timetableId, tracked, { workingDaysOnly = false } = {}) => postJson('/db/plan/days',
    workingDaysOnly ? { from, to, timetableId, workingDaysOnly: true } : { from, to, timetableId }, tracked),
  /** Each date from `from` to `to` (at most 366 days): [{date, typeOfDay, working}], as the scheduler sees it. */
  dayTypes: (from, to) => getJson(`/api/get/dayTypes?from=${encodeURIComponent(from)}&to=${encodeURIComponent(to)}`),
  planWeekdays: (weekdayTimetables, tracked) => postJson('/db/plan/weekdays', { weekdayTimetables }, tracked),
  // change: {date, shiftMinutes, from} and/or {date, endAfter}, or {date, clear: true}.
  adjustDay: (change, tracked) => postJson('/db/plan/adjust', change, tracked),
  /** Answers {deleted, uses}; a timetable that is planned somewhere is deleted only when confirmed. */
  deleteTimetableChecked: (id, confirm, tracked) => postJson(`/db/timetables/delete/${seg(id)}`, { confirm: Boolean(confirm) }, tracked),
  importTimetable: (file) => postJson('/db/timetables/import', file),
  /** Adds back the factory signals that are missing; answers {restored: [ids]}. */
  /** The player trims the name and answers 400 with its reason when it refuses one. */
  renameSignal: (id, name) => postJson(`/db/signals/rename/${seg(id)}`, { name }),
  restoreFactorySignals: async () => body(await send('/db/signals/restoreFactory', { method: 'POST' })),
  exportTimetableUrl: (id) => `/db/timetables/export/${seg(id)}`,
  backupUrl: () => '/backup',

  trigger: async (target, id) => body(await send(`/api/trigger/${seg(target)}/${seg(id)}`)),
  deleteTimetable: (id) => api.trigger('deleteTimetable', id),
  deleteSignal: (id) => api.trigger('deleteSignal', id),
  playSignal: (id) => api.trigger('playSignal', id),
  /** Plays a signal the way a scheduled bell plays, journaled as a test. */
  testRing: (id) => api.trigger('testRing', id),
  toggleAlarm: () => api.trigger('toggleAlarm', 'x'),
  stopAll: () => api.trigger('stopAll', 'x'),
  announce: (id) => api.trigger('announce', id),
  /** {listed, announcements: [{id, name}]}; listed is false when the service gives no list or is out of reach. */
  announcements: () => getJson('/api/get/announcements'),

  /** Starts a routine on every speaker, ending one that runs; answers {routine, drill, since}. */
  startEmergency: (routine, drill) => postJson(`/api/emergency/${seg(routine)}`, { drill: Boolean(drill) }),
  /** Ends the running routine; answers {stopped}, false when none ran. */
  stopEmergency: async () => body(await send('/api/emergency/stop', { method: 'POST' })),

  signalFileUrl: (id) => `/get_signal_file/${seg(id)}`,

  /** Success is a redirect to "/" that fetch follows; a wrong password answers 400 "Login failed". */
  async login(password, remember) {
    let res;
    try {
      res = await fetch('/auth/login', {
        method: 'POST',
        credentials: 'same-origin',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ userPassword: password, remember: Boolean(remember) }),
      });
    } catch {
      throw new ApiError(UNREACHABLE, 0);
    }
    if (res.ok) return true;
    const text = (await res.text().catch(() => '')).trim();
    if (res.status === 400 && text === 'Login failed') {
      throw new ApiError('The password is not correct.', 400);
    }
    throw new ApiError(describeFailure(res.status, text, retryAfterOf(res)), res.status, false, retryAfterOf(res));
  },

  async logout() {
    await send('/auth/logout');
  },

  /**
   * Once a password is set the current one must be given; the first password is sent as a JSON string.
   * A wrong current password answers 400 "Wrong password".
   */
  changePassword: (password, currentPassword = null) => postJson('/auth/chpasswd', currentPassword === null
    ? String(password)
    : { currentPassword: String(currentPassword), newPassword: String(password) }),

  /** Multipart upload with progress; resolves with the new signal's id. */
  upload: (file, onProgress) => uploadTo('/upload', file, onProgress),
  /** Replaces the whole configuration by a backup archive; the player checks it all first. */
  restore: (file, onProgress) => uploadTo('/restore', file, onProgress),
};

function uploadTo(url, file, onProgress) {
    return new Promise((resolve, reject) => {
      const xhr = new XMLHttpRequest();
      xhr.open('POST', url);
      xhr.withCredentials = true;
      xhr.upload.addEventListener('progress', (e) => {
        if (e.lengthComputable && onProgress) onProgress(e.loaded / e.total);
      });
      xhr.addEventListener('load', () => {
        const text = (xhr.responseText || '').trim();
        if (xhr.status >= 200 && xhr.status < 300) {
          if (onProgress) onProgress(1);
          try {
            resolve(JSON.parse(text));
          } catch {
            resolve(text);
          }
          return;
        }
        if (xhr.status === 400 && text === 'No auth') {
          noAuthHandler();
          reject(new ApiError('You are not logged in any more. Please log in again.', 400, true));
          return;
        }
        const tooLarge = xhr.status === 413 && url === '/restore';
        reject(new ApiError(tooLarge ? 'The file is too large: a backup may be up to 1 GiB.' : describeFailure(xhr.status, text), xhr.status));
      });
      xhr.addEventListener('error', () => reject(new ApiError(UNREACHABLE, 0)));
      xhr.addEventListener('abort', () => reject(new ApiError('The upload was cancelled.', 0)));
      const form = new FormData();
      form.append('file', file, file.name);
      xhr.send(form);
    });
}
