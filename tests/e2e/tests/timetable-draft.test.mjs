// The editor's lesson checks, its record as typed, and timetable names, run in node without a browser.

import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { lessonProblems, sortLessons, toDraft, toBody } from '../../../web-ui/dist/js/timetable-draft.js';
import { timetableNameProblem, freeTimetableName } from '../../../web-ui/dist/js/timetable-names.js';
import { newTimetable } from '../../../web-ui/dist/js/model.js';

const lessons = (...texts) => texts.map((t) => {
  const [start, end] = t.split('-');
  return { start, end };
});
const messages = (list) => lessonProblems(list).map((p) => p.message);

describe('lesson checks', () => {
  it('accepts lessons in any order that neither overlap nor run backwards, touching ones too', () => {
    assert.deepEqual(messages(lessons('10:00-10:45', '08:00-08:45', '08:45-09:30')), []);
    assert.deepEqual(messages([]), []);
  });

  it('names lessons that end before or when they start, by their place in the list', () => {
    assert.deepEqual(messages(lessons('08:00-08:45', '09:00-09:45', '09:40-09:30', '11:00-11:00')),
      ['Lesson 3 (09:40–09:30) ends before it starts.', 'Lesson 4 (11:00–11:00) ends when it starts.']);
    assert.deepEqual(lessonProblems(lessons('09:40-09:30'))[0].focus, { index: 0, part: 'end' });
  });

  it('names each pair that overlaps, listed out of order, and every lesson under a long one', () => {
    assert.deepEqual(messages(lessons('10:00-10:45', '08:00-08:45', '10:30-11:00')), ['Lesson 1 overlaps lesson 3.']);
    assert.deepEqual(messages(lessons('08:00-12:00', '09:00-09:45', '10:00-10:45')),
      ['Lesson 1 overlaps lesson 2.', 'Lesson 1 overlaps lesson 3.']);
    assert.deepEqual(messages(lessons('09:00-09:45', '09:00-09:45')), ['Lesson 1 overlaps lesson 2.']);
    const [problem] = lessonProblems(lessons('10:00-10:45', '09:30-10:15'));
    assert.deepEqual(problem.lessons, [0, 1]);
    assert.deepEqual(problem.focus, { index: 0, part: 'start' }, 'lesson 1 starts inside lesson 2');
  });

  it('leaves malformed times to the field checks, and a backwards lesson out of the overlaps', () => {
    assert.deepEqual(messages(lessons('08:00-09:00', '8:3x-09:30', '08:30-')), []);
    assert.deepEqual(messages(lessons('08:00-09:00', '10:00-08:30')), ['Lesson 2 (10:00–08:30) ends before it starts.']);
  });

  it('sorts by start, keeping equal starts in order and malformed starts last', () => {
    const sorted = sortLessons(lessons('10:00-10:45', 'x-09:00', '08:00-08:45', '08:00-08:30'));
    assert.deepEqual(sorted.map((l) => `${l.start}-${l.end}`), ['08:00-08:45', '08:00-08:30', '10:00-10:45', 'x-09:00']);
  });
});

describe('the record as typed', () => {
  const stored = {
    name: ' Exam day ',
    chA: {
      lessons: ['10:00 - 10:45', '8:00 - 8:45'],
      startOfClass: { id: 'ID_melody', doRepeat: true, iterations: 3, delaySec: 1.5 },
      endOfClass: { id: 'ID_melody', doRepeat: false, iterations: 2, delaySec: 1 },
      preStartWaitMin: 5,
      preStart: { id: 'ID_ping', doRepeat: false, iterations: 2, delaySec: 1 },
      preEndWaitMin: 0,
      preEnd: { id: 'NULL', doRepeat: false, iterations: 2, delaySec: 1 },
    },
    chB: { lessons: ['07:00 - 07:50', '07:45 - 08:30', 'not a lesson'], whatever: { kept: true } },
    customPlays: [{ desc: { id: 'ID_robot', doRepeat: false, iterations: 2, delaySec: 1 }, slots: ['7:05'] }],
  };

  it('holds numbers as text, so that a typed "-5" is a change', () => {
    const draft = toDraft(stored);
    assert.equal(draft.chA.preStartWaitMin, '5');
    assert.equal(draft.chA.startOfClass.delaySec, '1.5');
    const typed = structuredClone(draft);
    typed.chA.preStartWaitMin = '-5';
    assert.notEqual(JSON.stringify(typed), JSON.stringify(draft));
  });

  it('sends channel A sorted and canonical, and channel B exactly as stored', () => {
    const body = toBody(toDraft(stored));
    assert.equal(body.name, 'Exam day');
    assert.deepEqual(body.chA.lessons, ['08:00 - 08:45', '10:00 - 10:45']);
    assert.deepEqual(body.chA.startOfClass, stored.chA.startOfClass);
    assert.equal(body.chA.preEndWaitMin, 0);
    assert.deepEqual(body.chB, stored.chB);
    assert.deepEqual(body.customPlays, [{ desc: stored.customPlays[0].desc, slots: ['07:05'] }]);
    assert.deepEqual(toDraft(body).chA.lessons[0], { start: '08:00', end: '08:45' });
  });

  it('gives a repeat count left invalid while Repeat is off its default back', () => {
    const draft = toDraft(stored);
    Object.assign(draft.chA.endOfClass, { iterations: '', delaySec: '-1' });
    assert.deepEqual(toBody(draft).chA.endOfClass, { id: 'ID_melody', doRepeat: false, iterations: 2, delaySec: 1 });
  });
});

describe('timetable names', () => {
  const list = [{ id: 'a', name: 'Default' }, { id: 'b', name: ' Exam day' }];

  it('refuses a name another timetable has, whatever its letters and spaces', () => {
    assert.equal(timetableNameProblem('  default ', list), 'A timetable named “Default” already exists.');
    assert.equal(timetableNameProblem('EXAM DAY', list, 'a'), 'A timetable named “Exam day” already exists.');
    assert.equal(timetableNameProblem('exam day', list, 'b'), null, 'its own name');
    assert.equal(timetableNameProblem('Short day', list), null);
    assert.equal(timetableNameProblem('   ', list), 'Enter a name.');
    assert.equal(timetableNameProblem('x'.repeat(81), list), 'Use at most 80 characters.');
  });

  it('offers the first free name', () => {
    assert.equal(freeTimetableName('New timetable', list), 'New timetable');
    assert.equal(freeTimetableName('Default', [...list, { id: 'c', name: 'default 2' }]), 'Default 3');
  });
});

describe('a new timetable', () => {
  const bells = (ch) => [ch.startOfClass.id, ch.endOfClass.id, ch.preStart.id, ch.preEnd.id];

  it('rings the factory signals on both channels while the library has them', () => {
    const tt = newTimetable('New', [{ id: 'ID_melody' }, { id: 'ID_ping' }, { id: 'ID_ring' }]);
    assert.deepEqual(bells(tt.chA), ['ID_melody', 'ID_melody', 'ID_ping', 'ID_ping']);
    assert.deepEqual(bells(tt.chB), bells(tt.chA));
    assert.equal(tt.chA.lessons.length, 6);
  });

  it('stays silent where a factory signal was deleted', () => {
    assert.deepEqual(bells(newTimetable('New', [{ id: 'ID_ping' }]).chA), ['NULL', 'NULL', 'ID_ping', 'ID_ping']);
  });
});
