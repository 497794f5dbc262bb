// Building and copying the records that are sent to the player.

import { NO_SIGNAL } from './schedule.js';

// The factory signals a new timetable rings when they are in the library.
export const FACTORY_BELL_SIGNAL = 'ID_melody';
export const FACTORY_PRE_SIGNAL = 'ID_ping';

/** What the player accepts for the numbers of a timetable. */
export const LIMITS = {
  iterations: { min: 1, max: 100 },
  delaySec: { min: 0, max: 3600, integer: false },
  waitMin: { min: 0, max: 720 },
};

/** A number typed as text, or null unless it is one within [min, max] (and whole when `integer`). */
export function readNumber(text, { min, max, integer = true }) {
  const trimmed = String(text).trim();
  if (trimmed === '') return null;
  const n = Number(trimmed);
  if (!Number.isFinite(n)) return null;
  if (integer && !Number.isInteger(n)) return null;
  if (min !== undefined && n < min) return null;
  if (max !== undefined && n > max) return null;
  return n;
}

export function newPlayDesc(id = NO_SIGNAL) {
  return { id, doRepeat: false, iterations: 2, delaySec: 1.0 };
}

export function defaultLessons() {
  return [8, 9, 10, 11, 12, 13].map((h) => {
    const hh = String(h).padStart(2, '0');
    return `${hh}:00 - ${hh}:45`;
  });
}

export function newSignalTable(bell = NO_SIGNAL, pre = NO_SIGNAL) {
  return {
    lessons: defaultLessons(),
    startOfClass: newPlayDesc(bell),
    endOfClass: newPlayDesc(bell),
    preStartWaitMin: 5,
    preStart: newPlayDesc(pre),
    preEndWaitMin: 5,
    preEnd: newPlayDesc(pre),
  };
}

/** Like the player's own default timetable: its factory signals where `signals` still holds them. */
export function newTimetable(name, signals = []) {
  const have = (id) => (signals.some((s) => s.id === id) ? id : NO_SIGNAL);
  const table = () => newSignalTable(have(FACTORY_BELL_SIGNAL), have(FACTORY_PRE_SIGNAL));
  return { name, chA: table(), chB: table(), customPlays: [] };
}

export function newUserPlay() {
  return { desc: newPlayDesc(), slots: [] };
}

/** A timetable as the player stores it: the list form's `id` member is dropped. */
export function timetableBody(tt) {
  const copy = structuredClone(tt);
  delete copy.id;
  return copy;
}
