// Where signals are used, in words: what deleting one would silence, and which bells already name a
// deleted one.

import { NO_SIGNAL } from './schedule.js';
import { WEEKDAYS } from './labels.js';

// The words of the timetable editor for each bell of a channel.
const BELLS = [
  ['startOfClass', 'start of lesson'],
  ['endOfClass', 'end of lesson'],
  ['preStart', 'before the start'],
  ['preEnd', 'before the end'],
];

const MAX_DATES = 5;

/** "a", "a and b", "a, b and c". */
export function listText(items) {
  if (items.length <= 1) return items.join('');
  return `${items.slice(0, -1).join(', ')} and ${items[items.length - 1]}`;
}

/**
 * The places of a timetable whose signal passes the test: "start of lesson" (channel A, the one that
 * rings), "before the end (channel B)", "end of lesson (channels A and B)", "extra play 2 (10:15, 12:00)".
 * Places that name no signal are never listed.
 */
export function placesInTimetable(tt, test) {
  const places = [];
  const passes = (play) => Boolean(play && play.id && play.id !== NO_SIGNAL && test(play.id));
  for (const [key, words] of BELLS) {
    const a = passes((tt.chA || {})[key]);
    const b = passes((tt.chB || {})[key]);
    if (a && b) places.push(`${words} (channels A and B)`);
    else if (a) places.push(words);
    else if (b) places.push(`${words} (channel B)`);
  }
  (tt.customPlays || []).forEach((play, i) => {
    const id = play.desc && play.desc.id;
    if (!id || id === NO_SIGNAL || !test(id)) return;
    const times = (play.slots || []).join(', ');
    places.push(`extra play ${i + 1}${times ? ` (${times})` : ''}`);
  });
  return places;
}

/** When the settings make a timetable ring: "the default timetable", "set for Mondays", "planned on 2026-12-14". */
export function plansOf(ttId, settings) {
  if (!settings) return [];
  const plans = [];
  if (settings.defaultTimetableId === ttId) plans.push('the default timetable');
  const days = (settings.weekdayTimetables || []).flatMap((t, i) => (t === ttId ? [`${WEEKDAYS[i]}s`] : []));
  if (days.length) plans.push(`set for ${listText(days)}`);
  const dates = (settings.plannedDays || []).filter((p) => p.timetableId === ttId).map((p) => p.date);
  if (dates.length) {
    const shown = dates.slice(0, MAX_DATES);
    const more = dates.length - shown.length;
    plans.push(`planned on ${shown.join(', ')}${more ? ` and ${more} more day${more === 1 ? '' : 's'}` : ''}`);
  }
  if (settings.dailyPreferences && settings.dailyPreferences.selectedTimetableId === ttId) plans.push('chosen for today');
  return plans;
}

/** What uses a signal: whether it is the alarm signal, and each timetable with its places and its plans. */
export function usesOfSignal(id, timetables, settings) {
  return {
    alarm: Boolean(settings && settings.alarmSignalId === id),
    timetables: timetables
      .map((tt) => ({ tt, places: placesInTimetable(tt, (x) => x === id), plans: plansOf(tt.id, settings) }))
      .filter((use) => use.places.length > 0),
  };
}

/** The places of a timetable whose signal is not in the library. */
export function deletedSignalPlaces(tt, signals) {
  return placesInTimetable(tt, (id) => isDeletedSignal(signals, id));
}

/** What a bell whose signal was deleted does, in words. */
export const DELETED_SIGNAL_WARNING = 'Deleted signal — this bell will be silent';

/** True when the id names a signal that is not in the library ("None" is not a deleted signal). */
export function isDeletedSignal(signals, id) {
  return Boolean(id) && id !== NO_SIGNAL && !signals.some((s) => s.id === id);
}
