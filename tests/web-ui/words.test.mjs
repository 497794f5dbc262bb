// The pages' words for cases a browser test on this machine does not reach, run in node without a
// browser: MP4 where the player takes it, dates in another year, waits of minutes.

import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { acceptedFormats, formatsText, acceptText } from '../../web-ui/dist/js/upload-formats.js';
import { sourceLabel } from '../../web-ui/dist/js/labels.js';
import { countdownText } from '../../web-ui/dist/js/widgets/wait-countdown.js';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { bellWords } from '../../web-ui/dist/js/bell-words.js';
import { describeBell } from '../../web-ui/dist/js/schedule.js';
import { kindText } from '../../web-ui/dist/js/journal-words.js';
import { useDateLocale } from '../../web-ui/dist/js/dates.js';
import { sinceText } from '../../web-ui/dist/js/emergency-words.js';
import { rangeText } from '../../web-ui/dist/js/widgets/week-view.js';

describe('the formats a signal may be uploaded in', () => {
  const factory = [{ filename: 'p-ping.mp3' }, { filename: 'p-ring.wav' }];

  it('names MP4 only once the library holds an MP4 signal, and not after the player refused one', () => {
    assert.equal(formatsText(acceptedFormats(factory)), 'MP3 or WAV');
    assert.equal(formatsText(acceptedFormats([])), 'MP3 or WAV');
    const windows = [...factory, { filename: '0cc175b9c0f1b6a8.MP4' }];
    assert.equal(formatsText(acceptedFormats(windows)), 'MP3, WAV or MP4');
    assert.ok(acceptText(acceptedFormats(windows)).split(',').includes('.mp4'));
    assert.equal(formatsText(acceptedFormats(windows, { mp4Refused: true })), 'MP3 or WAV');
    // A name that only holds the letters is no MP4 file.
    assert.equal(formatsText(acceptedFormats([{ filename: 'mp4-intro.wav' }, { filename: 'mp4' }])), 'MP3 or WAV');
  });
});

describe('dates inside sentences, in the browser\'s language', () => {
  it('follows the language: the day before the month in British English, after it in American', () => {
    const day = { id: 'ID_tt', source: 'NORMAL', date: '2026-12-12', typeOfDay: 'REPLACED_WORKDAY' };
    useDateLocale('en-GB');
    assert.equal(sourceLabel(day, 'Default', '2026-12-10'), 'The default timetable, because 12 December is an extra working day.');
    assert.equal(sinceText('2026-12-10T10:02:33', '2026-12-11'), '10 Dec 10:02');
    assert.equal(rangeText(new Date(2026, 11, 28), new Date(2027, 0, 3)), '28 Dec 2026 – 3 Jan 2027');
    assert.equal(rangeText(new Date(2026, 11, 14), new Date(2026, 11, 20)), '14 Dec – 20 Dec 2026');
    useDateLocale('en-US');
    assert.equal(sourceLabel(day, 'Default', '2026-12-10'), 'The default timetable, because December 12 is an extra working day.');
    assert.equal(sinceText('2026-12-10T10:02:33', '2026-12-11'), 'Dec 10 10:02');
    assert.equal(sinceText('2026-12-10T10:02:33', '2026-12-10'), '10:02', 'a routine begun today needs no date');
    useDateLocale('en-GB');
  });
});

describe('why a day rings as it does', () => {
  const day = (date, typeOfDay, id = 'ID_tt') => ({ id, source: 'NORMAL', date, typeOfDay });

  it('names a date of another year with its year, and today as today', () => {
    useDateLocale('en-GB');
    assert.equal(sourceLabel(day('2027-01-04', 'WORKDAY'), 'Default', '2026-12-10'), 'The default timetable, because 4 January 2027 is a working day.');
    assert.equal(sourceLabel(day('2027-01-01', 'HOLIDAY', 'NULL'), null, '2026-12-30'), 'No bells on 1 January 2027: it is a public holiday.');
    assert.equal(sourceLabel(day('2026-12-12', 'REPLACED_WORKDAY'), 'Default', '2026-12-12'), 'The default timetable, because today is an extra working day.');
    // The dashboard gives no date of its own: its day is today.
    assert.equal(sourceLabel(day('2026-12-19', 'NON_WORKDAY', 'NULL'), null), 'No bells today: it is a day off.');
  });
});

describe('the wait before the next login', () => {
  it('counts minutes and seconds to the second', () => {
    assert.deepEqual([1, 59, 60, 61, 905, 3600].map(countdownText),
      ['1 second', '59 seconds', '1 minute', '1 minute 1 second', '15 minutes 5 seconds', '60 minutes']);
    assert.equal(countdownText(58.2), '59 seconds', 'a part of a second left is a second to wait');
  });
});

describe('a lesson bell in the same words on every page', () => {
  it('names each bell of a lesson one way, whichever kind of record it comes from', () => {
    // Timetables count lessons from 1, the player's days and journal from 0.
    const words = [['start', 'lessonStart', 'Lesson 3 starts'], ['end', 'lessonEnd', 'Lesson 3 ends'],
      ['preStart', 'preStart', 'Before lesson 3 starts'], ['preEnd', 'preEnd', 'Before lesson 3 ends'], ['extra', 'extraPlay', 'Extra play']];
    for (const [appKind, playerKind, text] of words) {
      assert.equal(describeBell({ kind: appKind, lesson: 3 }), text);
      assert.equal(kindText({ kind: playerKind, lesson: 2 }), text);
      assert.equal(bellWords(playerKind, 3), text);
      assert.equal(bellWords(appKind, 3), text);
    }
    assert.equal(kindText({ kind: 'preEnd', lesson: -1 }), 'Before lesson ? ends', 'an entry without its lesson');
  });

  it('leaves no page with the other wording ("Lesson 1 before start")', () => {
    const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../web-ui/dist');
    const sources = fs.readdirSync(root, { recursive: true }).filter((f) => f.endsWith('.js'));
    assert.ok(sources.length > 20, 'the app was found');
    const found = sources.filter((f) => /before (start|end)\b|lesson \$\{[^}]*\} before/i.test(fs.readFileSync(path.join(root, f), 'utf8')));
    assert.deepEqual(found, []);
  });
});
