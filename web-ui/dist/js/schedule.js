// Today's bells of a timetable, worked out the way the player's scheduler does:
// channel A only; lesson start and end, start minus preStartWaitMin, end minus
// preEndWaitMin, and every slot of the extra plays.

import { parseLesson, parseTime, minusMinutes } from './time.js';
import { bellWords } from './bell-words.js';

export const NO_SIGNAL = 'NULL';

/** Event kinds in the order the scheduler tests them within one lesson. */
export const KIND_ORDER = ['start', 'end', 'preStart', 'preEnd', 'extra'];

/**
 * Returns bells sorted by time: {seconds, kind, lesson (1-based or null), desc}.
 * Descriptions that name no signal ring nothing and are left out.
 */
export function bellsOf(timetable) {
  const bells = [];
  const ch = timetable && timetable.chA;
  if (!ch) return bells;
  (ch.lessons || []).forEach((text, i) => {
    const lesson = parseLesson(text);
    if (!lesson) return;
    const n = i + 1;
    push(bells, lesson.start, 'start', n, ch.startOfClass);
    push(bells, lesson.end, 'end', n, ch.endOfClass);
    push(bells, minusMinutes(lesson.start, ch.preStartWaitMin || 0), 'preStart', n, ch.preStart);
    push(bells, minusMinutes(lesson.end, ch.preEndWaitMin || 0), 'preEnd', n, ch.preEnd);
  });
  for (const play of timetable.customPlays || []) {
    for (const slot of play.slots || []) {
      const t = parseTime(slot);
      if (t !== null) push(bells, t, 'extra', null, play.desc);
    }
  }
  // Stable sort keeps the scheduler's order for bells of the same second.
  return bells.sort((a, b) => a.seconds - b.seconds);
}

function push(list, seconds, kind, lesson, desc) {
  if (!desc || !desc.id || desc.id === NO_SIGNAL) return;
  list.push({ seconds, kind, lesson, desc });
}

// The player's names of bell kinds, as the day preview gives them, in the names used here.
const DAY_KINDS = { lessonStart: 'start', lessonEnd: 'end', preStart: 'preStart', preEnd: 'preEnd', extraPlay: 'extra' };

/**
 * The bells of a day preview (/api/get/day) in the form of bellsOf: what the player rings that day,
 * the day's adjustment applied. A moved bell also has `planned`, its timetable time in seconds.
 */
export function bellsOfDay(day) {
  return ((day && day.bells) || [])
    .filter((b) => b.desc && b.desc.id && b.desc.id !== NO_SIGNAL)
    .map((b) => ({
      seconds: parseTime(b.time),
      kind: DAY_KINDS[b.kind] || 'extra',
      lesson: b.lesson >= 0 ? b.lesson + 1 : null,
      desc: b.desc,
      planned: b.planned ? parseTime(b.planned) : null,
    }));
}

/** The lessons of a day preview as {start, end, n}, where the day's start and end bells fall (silent ones too). */
export function lessonsOfDay(day) {
  const lessons = new Map();
  for (const b of (day && day.bells) || []) {
    if (b.kind !== 'lessonStart' && b.kind !== 'lessonEnd') continue;
    const lesson = lessons.get(b.lesson) || { n: b.lesson + 1 };
    lesson[b.kind === 'lessonStart' ? 'start' : 'end'] = parseTime(b.time);
    lessons.set(b.lesson, lesson);
  }
  // A lesson the day's end cut short has no end bell: it is not drawn.
  return [...lessons.values()].filter((l) => l.start !== undefined && l.end !== undefined).sort((a, b) => a.n - b.n);
}

/** Lessons of channel A as {start, end, n}; malformed texts are skipped. */
export function lessonsOf(timetable) {
  const ch = timetable && timetable.chA;
  return ((ch && ch.lessons) || [])
    .map((text, i) => ({ ...parseLesson(text), n: i + 1, ok: parseLesson(text) !== null }))
    .filter((l) => l.ok);
}

/** The first bell strictly after `nowSeconds`, or null when none is left today. */
export function nextBell(bells, nowSeconds) {
  return bells.find((b) => b.seconds > nowSeconds) || null;
}

export function describeBell(bell) {
  return bellWords(KIND_ORDER.includes(bell.kind) ? bell.kind : 'extra', bell.lesson);
}
