// Time texts as the player writes them: "08:05", "08:05:30", lessons "08:00 - 08:45".

export const SECONDS_IN_A_DAY = 86400;

const pad = (n) => String(n).padStart(2, '0');

/** Parses "8:5", "08:05" or "08:05:30"; returns seconds of the day, or null when malformed. */
export function parseTime(text) {
  if (typeof text !== 'string') return null;
  const m = /^\s*(\d{1,2})\s*:\s*(\d{1,2})\s*(?::\s*(\d{1,2})\s*)?$/.exec(text);
  if (!m) return null;
  const h = Number(m[1]);
  const min = Number(m[2]);
  const s = m[3] === undefined ? 0 : Number(m[3]);
  if (h > 23 || min > 59 || s > 59) return null;
  return h * 3600 + min * 60 + s;
}

/**
 * A time as typed into a field: what parseTime reads, and also "8.00", "8,00", "800", "0800" and "8"
 * (phone keypads have no colon). Seconds of the day, or null.
 */
export function parseTypedTime(text) {
  const strict = parseTime(text);
  if (strict !== null || typeof text !== 'string') return strict;
  const t = text.trim();
  let m = /^(\d{1,2})[.,](\d{2})$/.exec(t);
  if (!m) m = /^(\d{1,2})()$/.exec(t);
  if (!m) m = /^(\d{1,2})(\d{2})$/.exec(t);
  if (!m) return null;
  const h = Number(m[1]);
  const min = m[2] === '' ? 0 : Number(m[2]);
  if (h > 23 || min > 59) return null;
  return h * 3600 + min * 60;
}

/** Seconds of the day to the player's canonical text (seconds only when not zero). */
export function formatTime(seconds) {
  const t = wrapDay(seconds);
  const h = Math.floor(t / 3600);
  const m = Math.floor((t % 3600) / 60);
  const s = t % 60;
  return s > 0 ? `${pad(h)}:${pad(m)}:${pad(s)}` : `${pad(h)}:${pad(m)}`;
}

/** Always with seconds, for clocks. */
export function formatClock(seconds) {
  const t = wrapDay(seconds);
  return `${pad(Math.floor(t / 3600))}:${pad(Math.floor((t % 3600) / 60))}:${pad(t % 60)}`;
}

export function wrapDay(seconds) {
  const t = Math.floor(seconds);
  return ((t % SECONDS_IN_A_DAY) + SECONDS_IN_A_DAY) % SECONDS_IN_A_DAY;
}

/** Like the player: a time n minutes earlier, wrapping over midnight. */
export function minusMinutes(seconds, minutes) {
  return wrapDay(seconds - Math.trunc(minutes) * 60);
}

/** "08:00 - 08:45" to {start, end} in seconds, or null. */
export function parseLesson(text) {
  if (typeof text !== 'string') return null;
  const parts = text.split('-');
  if (parts.length !== 2) return null;
  const start = parseTime(parts[0]);
  const end = parseTime(parts[1]);
  if (start === null || end === null) return null;
  return { start, end };
}

export function formatLesson(start, end) {
  return `${formatTime(start)} - ${formatTime(end)}`;
}

/** A countdown such as "4:05" or "1:02:03". */
export function formatDuration(seconds) {
  const t = Math.max(0, Math.floor(seconds));
  const h = Math.floor(t / 3600);
  const m = Math.floor((t % 3600) / 60);
  const s = t % 60;
  return h > 0 ? `${h}:${pad(m)}:${pad(s)}` : `${m}:${pad(s)}`;
}

/** Signal lengths: "0:03"; unknown (-1) as a dash. */
export function formatLength(lengthSec) {
  if (typeof lengthSec !== 'number' || lengthSec < 0) return '—';
  return formatDuration(lengthSec);
}

/** "2024-09-02" to a local Date at noon (no DST edge problems), or null. */
export function parseDate(text) {
  const m = /^(\d{4})-(\d{2})-(\d{2})$/.exec(text || '');
  if (!m) return null;
  return new Date(Number(m[1]), Number(m[2]) - 1, Number(m[3]), 12);
}

export function formatDateKey(date) {
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
}
