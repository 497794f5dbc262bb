// Dates as the browser's language writes them. Keys ("2026-12-14") stay for data, addresses and inputs;
// whatever is read as text goes through here, so that one page never mixes formats.

import { parseDate } from './time.js';

const formats = new Map();
// The browser's own language unless told otherwise (tests outside a browser name one).
let locale;

/** Writes dates in this language from now on ("en-GB"); undefined for the browser's own. */
export function useDateLocale(language) {
  locale = language;
  formats.clear();
}

function format(options) {
  const key = JSON.stringify(options);
  if (!formats.has(key)) formats.set(key, new Intl.DateTimeFormat(locale, options));
  return formats.get(key);
}

const STYLES = {
  long: { weekday: 'long', day: 'numeric', month: 'long', year: 'numeric' },
  weekdayDayMonth: { weekday: 'long', day: 'numeric', month: 'long' },
  date: { day: 'numeric', month: 'long', year: 'numeric' },
  dayMonth: { day: 'numeric', month: 'long' },
  dayMonthShort: { day: 'numeric', month: 'short' },
  dayMonthYearShort: { day: 'numeric', month: 'short', year: 'numeric' },
  weekdayDayMonthShort: { weekday: 'long', day: 'numeric', month: 'short' },
  short: { weekday: 'short', day: 'numeric', month: 'short' },
  monthYear: { month: 'long', year: 'numeric' },
  month: { month: 'long' },
};

/** A date key in one of STYLES ("long": "Monday 14 December 2026" in British English); the key itself when malformed. */
export function dateText(key, style = 'date') {
  const d = parseDate(key);
  return d ? format(STYLES[style]).format(d) : String(key || '');
}

/** A Date of the browser's clock in one of STYLES. */
export function dateOfDayText(d, style = 'date') {
  return format(STYLES[style]).format(d);
}

/** A month of a year (month 0 is January), "December 2026". */
export function monthText(year, month, style = 'monthYear') {
  return format(STYLES[style]).format(new Date(year, month, 1, 12));
}

/**
 * The player's "2026-12-10 17:20:05" (or with a T, or a date alone) as the player's own wall time in the
 * browser's words, with no conversion between zones; anything else as it came.
 */
export function dateTimeText(text) {
  const m = /^(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2}))?)?/.exec(String(text || ''));
  if (!m) return String(text || '');
  if (m[4] === undefined) return dateText(`${m[1]}-${m[2]}-${m[3]}`);
  const d = new Date(Number(m[1]), Number(m[2]) - 1, Number(m[3]), Number(m[4]), Number(m[5]));
  return format({ ...STYLES.date, hour: '2-digit', minute: '2-digit' }).format(d);
}

/** A weekday's name, Monday first (0) as the player counts: "Mon", or "Monday" with "long". */
export function weekdayText(index, style = 'short') {
  // 1 January 2024 was a Monday.
  return format({ weekday: style }).format(new Date(2024, 0, 1 + index, 12));
}
