// Where a timetable rings, in a few words for the list: from the player's `uses` of it.

import { WEEKDAYS, dayWords } from './labels.js';

const joinWords = (words) => (words.length < 2 ? words.join('') : `${words.slice(0, -1).join(', ')} and ${words[words.length - 1]}`);

/**
 * "Default timetable · Mondays and Fridays · 3 planned dates", or "Not used"; todayKey (the player's
 * date) words a single planned date as "today" or without its year when it falls in this one.
 */
export function usesText(uses, todayKey) {
  if (!uses) return '';
  const parts = [];
  if (uses.default) parts.push('Default timetable');
  const weekdays = [...new Set(uses.weekdays || [])].filter((d) => d >= 0 && d < 7).sort((a, b) => a - b);
  if (weekdays.length) parts.push(joinWords(weekdays.map((d) => `${WEEKDAYS[d]}s`)));
  const dates = uses.dates || [];
  if (dates.length === 1) parts.push(`Planned for ${todayKey ? dayWords(dates[0], todayKey) : dates[0]}`);
  else if (dates.length > 1) parts.push(`${dates.length} planned dates`);
  return parts.length ? parts.join(' · ') : 'Not used';
}
