// Building and copying the records that are sent to the player.

import { NO_SIGNAL } from './schedule.js';

export function newPlayDesc(id = NO_SIGNAL) {
  return { id, doRepeat: false, iterations: 2, delaySec: 1.0 };
}

export function defaultLessons() {
  return [8, 9, 10, 11, 12, 13].map((h) => {
    const hh = String(h).padStart(2, '0');
    return `${hh}:00 - ${hh}:45`;
  });
}

export function newSignalTable() {
  return {
    lessons: defaultLessons(),
    startOfClass: newPlayDesc(),
    endOfClass: newPlayDesc(),
    preStartWaitMin: 5,
    preStart: newPlayDesc(),
    preEndWaitMin: 5,
    preEnd: newPlayDesc(),
  };
}

export function newTimetable(name) {
  return { name, chA: newSignalTable(), chB: newSignalTable(), customPlays: [] };
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
