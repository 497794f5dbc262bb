// What a lesson bell is, in the same words on every page: the dashboard, the calendar, the journal,
// the printed sheets.

// The player's kinds (journal, days) and the app's own (timetables read here).
const KINDS = {
  lessonStart: 'start', start: 'start',
  lessonEnd: 'end', end: 'end',
  preStart: 'preStart',
  preEnd: 'preEnd',
  extraPlay: 'extra', extra: 'extra',
};

/** "Lesson 2 starts", "Before lesson 2 ends", "Extra play"; lessonNumber counts from 1. */
export function bellWords(kind, lessonNumber) {
  const n = lessonNumber ?? '?';
  switch (KINDS[kind]) {
    case 'start': return `Lesson ${n} starts`;
    case 'end': return `Lesson ${n} ends`;
    case 'preStart': return `Before lesson ${n} starts`;
    case 'preEnd': return `Before lesson ${n} ends`;
    case 'extra': return 'Extra play';
    default: return kind || '';
  }
}
