// A timetable on paper: its lessons and every bell of channel A with its signal.

import { h } from '../dom.js';
import { bellsOf, lessonsOf, describeBell } from '../schedule.js';
import { formatTime } from '../time.js';
import { signalName } from './signal-select.js';

export function timetableSheet(timetable, signals) {
  const lessons = lessonsOf(timetable);
  const bells = bellsOf(timetable);
  return h('div', { class: 'timetable-sheet', 'data-testid': 'timetable-sheet' },
    h('h2', { class: 'sheet-title' }, timetable.name || 'Timetable'),
    lessons.length === 0 ? h('p', {}, 'No lessons.') : h('table', { class: 'table sheet-lessons' },
      h('thead', {}, h('tr', {}, h('th', { scope: 'col' }, 'Lesson'), h('th', { scope: 'col' }, 'Starts'), h('th', { scope: 'col' }, 'Ends'))),
      h('tbody', {}, lessons.map((l) => h('tr', {}, h('td', {}, String(l.n)), h('td', {}, formatTime(l.start)), h('td', {}, formatTime(l.end)))))),
    bells.length === 0 ? null : h('table', { class: 'table sheet-bells' },
      h('thead', {}, h('tr', {}, h('th', { scope: 'col' }, 'Time'), h('th', { scope: 'col' }, 'Bell'), h('th', { scope: 'col' }, 'Signal'))),
      h('tbody', {}, bells.map((b) => h('tr', {}, h('td', {}, formatTime(b.seconds)), h('td', {}, describeBell(b)), h('td', {}, signalName(signals, b.desc.id)))))));
}
