// The emergency routines in words, for the dashboard, the banner, the settings and the journal.

import { dateText } from './dates.js';

export const ROUTINES = ['lockdown', 'evacuation', 'shelter', 'allClear'];

/** The routines that keep the bells silent until they end; the all clear only plays its chime. */
export const LASTING_ROUTINES = ['lockdown', 'evacuation', 'shelter'];

const NAMES = { lockdown: 'Lockdown', evacuation: 'Evacuation', shelter: 'Shelter', allClear: 'All clear' };

export function routineName(routine) {
  return NAMES[routine] || routine || 'Emergency routine';
}

/** "Lockdown drill", or "LOCKDOWN" for a real one, so that it can never be read as a practice. */
export function runningName({ routine, drill }) {
  return drill ? `${routineName(routine)} drill` : routineName(routine).toUpperCase();
}

/** "lockdown drill" or "lockdown routine", inside a sentence. */
export function routinePhrase({ routine, drill }) {
  return `${routineName(routine).toLowerCase()} ${drill ? 'drill' : 'routine'}`;
}

export const drillMark = (drill) => (drill ? '(drill)' : '(real emergency)');

/** How often a routine's signal plays; 0 means until the routine is stopped. */
export function repeatText(repeat) {
  if (repeat === 0) return 'until stopped';
  return repeat === 1 ? 'once' : `${repeat} times`;
}

/** "10:02" from "2026-12-10T10:02:33"; a routine begun on another day than `today` also names its day. */
export function sinceText(since, today) {
  const m = /^(\d{4})-(\d\d)-(\d\d)T(\d\d:\d\d)/.exec(since || '');
  if (!m) return '';
  if (!today || today === `${m[1]}-${m[2]}-${m[3]}`) return m[4];
  return `${dateText(`${m[1]}-${m[2]}-${m[3]}`, 'dayMonthShort')} ${m[4]}`;
}

/** The banner's line: "Lockdown drill in progress since 10:02 — bells are silenced". */
export function bannerText(emergency, today) {
  const since = sinceText(emergency.since, today);
  const silenced = LASTING_ROUTINES.includes(emergency.routine) ? ' — bells are silenced' : '';
  return `${runningName(emergency)} in progress${since ? ` since ${since}` : ''}${silenced}`;
}
