// Readable words for the player's codes.

import { parseDate } from './time.js';
import { dateText } from './dates.js';

export const WORKDAY_MODES = [
  { code: 15, label: 'Monday to Friday' },
  { code: 16, label: 'Monday to Saturday' },
  { code: 14, label: 'Monday to Thursday' },
  { code: 25, label: 'Sunday to Thursday' },
  { code: 35, label: 'Saturday to Wednesday' },
  { code: 7, label: 'Every day' },
];

/** Weekday numbers (Monday = 0) that are workdays in a mode; unknown codes mean every day. */
export function workdaysOf(code) {
  switch (Number(code)) {
    case 15: return [0, 1, 2, 3, 4];
    case 16: return [0, 1, 2, 3, 4, 5];
    case 14: return [0, 1, 2, 3];
    case 25: return [6, 0, 1, 2, 3];
    case 35: return [5, 6, 0, 1, 2];
    default: return [0, 1, 2, 3, 4, 5, 6];
  }
}

export function workdayModeLabel(code) {
  const m = WORKDAY_MODES.find((w) => w.code === Number(code));
  return m ? m.label : `Unknown (${code})`;
}

export const TYPE_OF_DAY = {
  WORKDAY: 'Working day',
  NON_WORKDAY: 'Day off',
  HOLIDAY: 'Public holiday',
  SCHOOL_BREAK: 'School break',
  REPLACED_WORKDAY: 'Extra working day',
};

export function typeOfDayLabel(value) {
  return TYPE_OF_DAY[value] || value || 'Unknown';
}

export const WEEKDAYS = ['Monday', 'Tuesday', 'Wednesday', 'Thursday', 'Friday', 'Saturday', 'Sunday'];
export const WEEKDAYS_SHORT = ['Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat', 'Sun'];

/** "a working day", "an extra working day". */
export function withArticle(words) {
  return `${/^[aeiou]/i.test(words) ? 'an' : 'a'} ${words}`;
}

/** "today" for today, else the date in the browser's words: "12 December", with the year when it is another. */
export function dayWords(dateKey, todayKey) {
  if (!todayKey || dateKey === todayKey) return 'today';
  if (!parseDate(dateKey)) return dateKey;
  const sameYear = todayKey.slice(0, 4) === dateKey.slice(0, 4);
  return dateText(dateKey, sameYear ? 'dayMonth' : 'date');
}

/** Why a day's timetable is in force, in words; todayKey names the player's date (info.date when left out). */
export function sourceLabel(info, timetableName, todayKey = info && info.date) {
  if (!info) return '';
  const when = dayWords(info.date, todayKey);
  const kind = withArticle(typeOfDayLabel(info.typeOfDay).toLowerCase());
  if (info.source === 'DISABLED') return 'The scheduler is switched off in the settings, so no bells ring.';
  if (info.source === 'DAILY_OVERRIDE') return 'Chosen for today only; tomorrow the usual rules apply again.';
  if (info.source === 'PLANNED') return info.id === 'NULL' ? 'Planned as a day without bells.' : 'Planned for this day in the calendar.';
  if (info.source === 'WEEKDAY' && timetableName) return `The timetable set for ${WEEKDAYS[info.dayOfWeek] || 'this weekday'}s.`;
  if (info.id === 'NULL') return `No bells ${when === 'today' ? when : `on ${when}`}: it is ${kind}.`;
  if (!timetableName) return 'The timetable in force no longer exists, so no bells ring.';
  return `The default timetable, because ${when} is ${kind}.`;
}

export const STORAGE_FACTORY = 0;

/** Why a day is of its type, in words. */
export const DAY_REASONS = {
  WEEKDAY_MODE: 'decided by the working week',
  HOLIDAY: 'a public holiday in the calendar',
  SCHOOL_BREAK: 'a school break in the calendar',
  EXTRA_WORKDAY: 'an extra working day in the calendar',
  OUTSIDE_CALENDAR_DATA: 'no calendar data for this day, so only the working week decides',
};

/** The order in which the player chooses a day's timetable, highest first. */
export const PRECEDENCE_TEXT = 'A timetable chosen for today only comes first, then a planned day, then the weekday\'s timetable, then the default timetable (the last two on working days only).';
