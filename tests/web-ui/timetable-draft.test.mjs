// The editor's lesson checks, its record as typed, and timetable names, run in node without a browser.

import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { lessonProblems, sortLessons, toDraft, toBody } from '../../web-ui/dist/js/timetable-draft.js';
import { timetableNameProblem, freeTimetableName } from '../../web-ui/dist/js/timetable-names.js';
import { newTimetable } from '../../web-ui/dist/js/model.js';
import { generateLessons, breaksBetween, breakText } from '../../web-ui/dist/js/lesson-generator.js';
import { parseTypedTime, formatTime } from '../../web-ui/dist/js/time.js';

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

describe('times as typed', () => {
  const typed = (text) => {
    const seconds = parseTypedTime(text);
    return seconds === null ? null : formatTime(seconds);
  };

  it('reads 8.00, 8:00, 800, 0800 and 8 as 08:00', () => {
    for (const text of ['8.00', '8:00', '800', '0800', '8', '08', ' 8.00 ', '8,00', '08:00']) assert.equal(typed(text), '08:00', text);
    assert.equal(typed('945'), '09:45');
    assert.equal(typed('1345'), '13:45');
    assert.equal(typed('13.05'), '13:05');
    assert.equal(typed('23'), '23:00');
    assert.equal(typed('0'), '00:00');
    assert.equal(typed('8:05:30'), '08:05:30', 'seconds as before');
  });

  it('refuses what is not a time of day', () => {
    for (const text of ['', ' ', '24', '2400', '860', '8.60', '8.5', '12345', '8:', '.800', '8..00', 'a8', '8h', '-800', '8 00']) {
      assert.equal(parseTypedTime(text), null, JSON.stringify(text));
    }
    assert.equal(parseTypedTime(undefined), null);
  });

  it('counts typed times in the lesson checks and the record sent, before the field is tidied', () => {
    assert.deepEqual(messages(lessons('800-845', '0830-9.15')), ['Lesson 1 overlaps lesson 2.']);
    const draft = toDraft(newTimetable('Typed'));
    draft.chA.lessons = lessons('1000-1045', '8-845');
    draft.customPlays = [{ desc: { id: 'NULL', doRepeat: false, iterations: '2', delaySec: '1' }, slots: ['705'] }];
    const body = toBody(draft);
    assert.deepEqual(body.chA.lessons, ['08:00 - 08:45', '10:00 - 10:45']);
    assert.deepEqual(body.customPlays[0].slots, ['07:05']);
  });
});

describe('the lesson generator', () => {
  const made = (options) => {
    const result = generateLessons({ count: '6', lengthMin: '45', firstStart: '08:00', defaultBreak: '10', ...options });
    return result.lessons && result.lessons.map((l) => `${l.start}-${l.end}`);
  };
  const refused = (options) => generateLessons({ count: '6', lengthMin: '45', firstStart: '08:00', defaultBreak: '10', ...options }).problems;

  it('makes lessons of one length with the common break after each', () => {
    assert.deepEqual(made({ count: '3' }), ['08:00-08:45', '08:55-09:40', '09:50-10:35']);
    assert.deepEqual(made({ count: 1, lengthMin: 90, firstStart: '7.30' }), ['07:30-09:00'], 'numbers and typed times too');
    assert.deepEqual(made({ count: '3', defaultBreak: '0' }), ['08:00-08:45', '08:45-09:30', '09:30-10:15'], 'no break: back to back');
  });

  it('takes each break as typed, the common one where the list is shorter or blank', () => {
    assert.deepEqual(made({ count: '4', breaks: ['5', '', '20'] }), ['08:00-08:45', '08:50-09:35', '09:45-10:30', '10:50-11:35']);
    assert.deepEqual(made({ count: '4', breaks: ['30'] }), ['08:00-08:45', '09:15-10:00', '10:10-10:55', '11:05-11:50']);
    assert.deepEqual(made({ count: '2', breaks: ['15', '99', '99'] }), ['08:00-08:45', '09:00-09:45'], 'breaks after the last lesson are not used');
    assert.deepEqual(refused({ count: '2', breaks: ['15', 'x'] }), [], 'nor checked');
  });

  it('refuses lessons running past midnight, naming the first one', () => {
    const [problem, ...rest] = refused({ count: '3', firstStart: '22:00', lengthMin: '45', defaultBreak: '15' });
    assert.deepEqual(rest, []);
    assert.equal(problem.message, 'Lesson 3 would run past midnight (to 00:45): make fewer or shorter lessons, or start earlier.');
    assert.equal(refused({ count: '1', firstStart: '23:00', lengthMin: '60' })[0].message,
      'Lesson 1 would run past midnight (to 00:00): make fewer or shorter lessons, or start earlier.', 'ending at midnight is past the day');
    assert.deepEqual(made({ count: '1', firstStart: '23:00', lengthMin: '59' }), ['23:00-23:59']);
    assert.deepEqual(made({ count: '2', firstStart: '22:00', lengthMin: '60', defaultBreak: '0' }), null);
    assert.deepEqual(made({ count: '2', firstStart: '21:59', lengthMin: '60', defaultBreak: '0' }), ['21:59-22:59', '22:59-23:59']);
    assert.deepEqual(made({ count: '2', firstStart: '08:00', lengthMin: '45', defaultBreak: '600', breaks: ['900'] }), null, 'a long break pushes the next lesson past midnight');
    // No break follows the last lesson, so a long one cannot push the day over.
    assert.deepEqual(made({ count: '1', firstStart: '23:00', lengthMin: '30', defaultBreak: '600' }), ['23:00-23:30']);
  });

  it('refuses zero, negative and malformed numbers, and a start that is not a time, each by its field', () => {
    const fields = (options) => refused(options).map((p) => p.field);
    assert.deepEqual(fields({ lengthMin: '0' }), ['length']);
    assert.deepEqual(fields({ lengthMin: '-45' }), ['length']);
    assert.deepEqual(fields({ lengthMin: '45.5' }), ['length']);
    assert.deepEqual(fields({ count: '0' }), ['count']);
    assert.deepEqual(fields({ count: '-2' }), ['count']);
    assert.deepEqual(fields({ count: '' }), ['count']);
    assert.deepEqual(fields({ defaultBreak: '-5' }), ['defaultBreak']);
    assert.deepEqual(fields({ count: '3', breaks: ['10', '-1'] }), ['break-1']);
    assert.deepEqual(fields({ firstStart: '25:00' }), ['start']);
    assert.deepEqual(fields({ count: 'x', lengthMin: '0', firstStart: '', defaultBreak: 'y' }), ['count', 'length', 'start', 'defaultBreak']);
    assert.equal(refused({ lengthMin: '0' })[0].message, 'Lesson length: enter a whole number of minutes, 1 or more.');
    assert.equal(refused({ count: '3', breaks: ['10', '-1'] })[0].message, 'Break after lesson 2: enter a whole number of minutes, 0 or more.');
  });
});

describe('the breaks between lessons', () => {
  it('are the minutes from each lesson\'s end to the next one\'s start, as listed', () => {
    assert.deepEqual(breaksBetween(lessons('08:00-08:45', '08:55-09:40', '09:40-10:25', '10:15-11:00')), [10, 0, -10]);
    assert.deepEqual(breaksBetween(lessons('08:00-08:45', 'x-09:40', '9.50-1035')), [null, 10], 'typed times count');
    assert.deepEqual(breaksBetween([]), []);
    assert.deepEqual(breaksBetween(lessons('08:00-08:45')), []);
  });

  it('read "10 min break" and "No break", and nothing for an overlap or an unreadable time', () => {
    assert.equal(breakText(10), '10 min break');
    assert.equal(breakText(0), 'No break');
    assert.equal(breakText(-10), '');
    assert.equal(breakText(null), '');
  });
});
