// A timetable as the editor holds it: every field as typed, so that input which is unsaved or
// invalid is part of the record. Channel B is kept exactly as stored: the player never rings it.

// Read as typed: a field holding "800" is 08:00 already, before it is left and tidied.
import { parseTypedTime as parseTime, formatTime, formatLesson } from './time.js';
import { LIMITS, readNumber, newPlayDesc } from './model.js';

/** The bells of a lesson, in the order the editor shows them. */
export const LESSON_BELLS = [
  { key: 'startOfClass', title: 'Start of lesson' },
  { key: 'endOfClass', title: 'End of lesson' },
  { key: 'preStart', title: 'Before the start', wait: 'preStartWaitMin' },
  { key: 'preEnd', title: 'Before the end', wait: 'preEndWaitMin' },
];

const descDraft = (d) => ({ ...d, iterations: String(d.iterations), delaySec: String(d.delaySec) });

const descBody = (d) => {
  const fallback = newPlayDesc();
  // Times and pause may hold anything while Repeat is off (they are not checked then).
  return {
    id: d.id,
    doRepeat: d.doRepeat,
    iterations: readNumber(d.iterations, LIMITS.iterations) ?? fallback.iterations,
    delaySec: readNumber(d.delaySec, LIMITS.delaySec) ?? fallback.delaySec,
  };
};

/** "08:00 - 08:45" to {start, end} texts; a malformed text stays visible to be corrected. */
export function lessonDraft(text) {
  const [start = '', end = ''] = String(text).split('-').map((s) => s.trim());
  return { start, end };
}

function channelDraft(ch) {
  const draft = { lessons: (ch.lessons || []).map(lessonDraft) };
  for (const bell of LESSON_BELLS) {
    draft[bell.key] = descDraft(ch[bell.key]);
    if (bell.wait) draft[bell.wait] = String(ch[bell.wait]);
  }
  return draft;
}

function channelBody(draft) {
  const body = { lessons: sortLessons(draft.lessons).map((l) => formatLesson(parseTime(l.start), parseTime(l.end))) };
  for (const bell of LESSON_BELLS) {
    body[bell.key] = descBody(draft[bell.key]);
    if (bell.wait) body[bell.wait] = readNumber(draft[bell.wait], LIMITS.waitMin);
  }
  return body;
}

export function toDraft(tt) {
  return {
    name: tt.name,
    chA: channelDraft(tt.chA),
    chB: structuredClone(tt.chB),
    customPlays: (tt.customPlays || []).map((p) => ({ desc: descDraft(p.desc), slots: (p.slots || []).map(String) })),
  };
}

/** The record to send; only for a draft that passed every check. Lessons go sorted by start. */
export function toBody(draft) {
  return {
    name: draft.name.trim(),
    chA: channelBody(draft.chA),
    chB: structuredClone(draft.chB),
    customPlays: draft.customPlays.map((p) => ({ desc: descBody(p.desc), slots: p.slots.map((s) => formatTime(parseTime(s))) })),
  };
}

/** Sorted by start, stable; lessons whose start is not a time go last. */
export function sortLessons(lessons) {
  const key = (l) => parseTime(l.start) ?? Infinity;
  return [...lessons].sort((a, b) => key(a) - key(b));
}

const span = (start, end) => `${formatTime(start)}–${formatTime(end)}`;

/**
 * Lessons that end before (or when) they start, and lessons that overlap, numbered as listed.
 * Each problem: {message, lessons: indexes at fault, focus: {index, part}}. Lessons that merely
 * touch (one ends when the next starts) are fine; malformed times are left to the field checks.
 */
export function lessonProblems(lessons) {
  const problems = [];
  const spans = [];
  lessons.forEach((lesson, index) => {
    const start = parseTime(lesson.start);
    const end = parseTime(lesson.end);
    if (start === null || end === null) return;
    if (end > start) {
      spans.push({ index, start, end });
      return;
    }
    problems.push({
      message: `Lesson ${index + 1} (${span(start, end)}) ${end === start ? 'ends when it starts' : 'ends before it starts'}.`,
      lessons: [index],
      focus: { index, part: 'end' },
    });
  });
  spans.sort((a, b) => a.start - b.start || a.index - b.index);
  // Against the lesson reaching furthest so far, so one long lesson over several is caught each time.
  let furthest = null;
  for (const s of spans) {
    if (furthest && s.start < furthest.end) {
      const [first, second] = [furthest.index, s.index].sort((a, b) => a - b);
      problems.push({ message: `Lesson ${first + 1} overlaps lesson ${second + 1}.`, lessons: [first, second], focus: { index: s.index, part: 'start' } });
    }
    if (!furthest || s.end > furthest.end) furthest = s;
  }
  return problems.sort((a, b) => a.lessons[0] - b.lessons[0] || a.lessons[a.lessons.length - 1] - b.lessons[b.lessons.length - 1]);
}
