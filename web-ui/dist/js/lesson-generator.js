// A day's lessons made from their number, length, the first start and the break after each lesson.

import { parseTypedTime, formatTime, SECONDS_IN_A_DAY } from './time.js';
import { readNumber } from './model.js';

export const GENERATOR_LIMITS = {
  count: { min: 1, max: 20 },
  lengthMin: { min: 1, max: 600 },
  breakMin: { min: 0, max: 600 },
};

/**
 * breaks[i] is the break after lesson i + 1, as typed; a missing or blank one is `defaultBreak`.
 * Returns {lessons: [{start, end}], problems: []}, or {lessons: null, problems: [{field, message}]}
 * where field is 'count', 'length', 'start', 'defaultBreak' or 'break-<i>'. Lessons must end
 * before midnight: the player's day ends there.
 */
export function generateLessons({ count, lengthMin, firstStart, defaultBreak, breaks = [] }) {
  const problems = [];
  const n = readNumber(count, GENERATOR_LIMITS.count);
  if (n === null) problems.push({ field: 'count', message: `Number of lessons: enter a whole number from ${GENERATOR_LIMITS.count.min} to ${GENERATOR_LIMITS.count.max}.` });
  const length = readNumber(lengthMin, GENERATOR_LIMITS.lengthMin);
  if (length === null) problems.push({ field: 'length', message: 'Lesson length: enter a whole number of minutes, 1 or more.' });
  const start = parseTypedTime(String(firstStart ?? ''));
  if (start === null) problems.push({ field: 'start', message: 'First lesson starts: enter a time such as 08:00.' });
  const common = readNumber(defaultBreak, GENERATOR_LIMITS.breakMin);
  if (common === null) problems.push({ field: 'defaultBreak', message: 'Break after each lesson: enter a whole number of minutes, 0 or more.' });
  const gaps = [];
  for (let i = 0; i < (n ?? 0) - 1; i += 1) {
    const typed = breaks[i];
    if (typed === undefined || typed === null || String(typed).trim() === '') {
      gaps.push(common);
      continue;
    }
    const gap = readNumber(typed, GENERATOR_LIMITS.breakMin);
    if (gap === null) problems.push({ field: `break-${i}`, message: `Break after lesson ${i + 1}: enter a whole number of minutes, 0 or more.` });
    gaps.push(gap);
  }
  if (problems.length) return { lessons: null, problems };

  const lessons = [];
  let at = start;
  for (let i = 0; i < n; i += 1) {
    const end = at + length * 60;
    if (end >= SECONDS_IN_A_DAY) {
      return {
        lessons: null,
        problems: [{ field: 'count', message: `Lesson ${i + 1} would run past midnight (to ${formatTime(end)}): make fewer or shorter lessons, or start earlier.` }],
      };
    }
    lessons.push({ start: formatTime(at), end: formatTime(end) });
    at = end + (i < n - 1 ? gaps[i] * 60 : 0);
  }
  return { lessons, problems: [] };
}

/** The break before each lesson after the first, in minutes as listed; null where a time is not readable. */
export function breaksBetween(lessons) {
  return lessons.slice(1).map((lesson, i) => {
    const end = parseTypedTime(lessons[i].end);
    const start = parseTypedTime(lesson.start);
    return end === null || start === null ? null : Math.round((start - end) / 60);
  });
}

/** "10 min break", "No break"; '' for an overlap, which the lesson checks name. */
export function breakText(minutes) {
  if (minutes === null || minutes < 0) return '';
  return minutes === 0 ? 'No break' : `${minutes} min break`;
}
