// One day as the player will ring it: the type of day and why, the timetable in force and why, its
// bells, and the plan for that day (or a range from it).

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { notice, errorText } from './notice.js';
import { icon } from './icons.js';
import { DELETED_SIGNAL_WARNING } from '../signal-uses.js';
import { plannedText } from '../adjustment-words.js';
import { createDayAdjustment } from './day-adjustment.js';
import { printSection } from '../print.js';
import { planRangeForm } from './plan-range-form.js';
import { bellWords } from '../bell-words.js';
import { typeOfDayLabel, sourceLabel, DAY_REASONS, PRECEDENCE_TEXT } from '../labels.js';
import { dateText } from '../dates.js';

function bellWhat(bell) {
  return bellWords(bell.kind, bell.lesson + 1);
}

// The player names no signal for a bell whose signal was deleted: say what that means.
function signalCell(bell) {
  if (bell.signalName !== null && bell.signalName !== undefined) return bell.signalName;
  return h('span', { class: 'deleted-signal-warning', 'data-testid': 'deleted-signal' }, icon('alert'), DELETED_SIGNAL_WARNING);
}

/** "Monday 14 December 2026" in the browser's words. */
export function longDate(key) {
  return dateText(key, 'long');
}

/** timetables: [{id, name}]; onPlanned runs after a plan was saved. */
export function createDayPanel({ timetables, todayKey, onPlanned }) {
  const el = h('div', { class: 'day-panel', 'data-testid': 'day-panel', 'aria-live': 'polite' },
    h('p', { class: 'muted' }, 'Choose a day in the month to see its bells.'));

  // Only the day asked for last is drawn: a quick second choice must not be overwritten by the first's answer.
  let shown = 0;

  async function show(date) {
    shown += 1;
    const mine = shown;
    replace(el, h('p', { class: 'muted' }, 'Loading…'));
    let day;
    try {
      day = await api.day(date);
    } catch (err) {
      if (!err.noAuth && mine === shown) replace(el, notice(errorText(err), 'error'));
      return;
    }
    if (mine !== shown) return;
    const ringing = day.bells.filter((b) => b.desc.id !== 'NULL');
    replace(el,
      h('div', { class: 'day-panel-head' },
        h('h2', { class: 'card-title', 'data-testid': 'day-title' }, longDate(date), date === todayKey ? ' (today)' : ''),
        h('button', { type: 'button', class: 'button no-print', 'data-testid': 'print-day', onclick: () => printSection(el, `Bells, ${longDate(date)}`) }, 'Print this day')),
      h('dl', { class: 'facts' },
        h('div', {}, h('dt', {}, 'Type of day'), h('dd', { 'data-testid': 'day-type' }, typeOfDayLabel(day.typeOfDay),
          h('span', { class: 'muted small' }, ` (${DAY_REASONS[day.dayReason] || day.dayReason})`))),
        h('div', {}, h('dt', {}, 'Timetable in force'), h('dd', { 'data-testid': 'day-timetable' },
          day.timetableName || h('span', { class: 'muted' }, 'None'))),
        h('div', {}, h('dt', {}, 'Why'), h('dd', { 'data-testid': 'day-source' }, sourceLabel(day, day.timetableName, todayKey)))),
      ringing.length === 0
        ? h('p', { class: 'muted', 'data-testid': 'day-no-bells' }, 'No bells ring on this day.')
        : h('div', { class: 'table-wrap' }, h('table', { class: 'table day-bells', 'data-testid': 'day-bells' },
          h('thead', {}, h('tr', {}, h('th', { scope: 'col' }, 'Time'), h('th', { scope: 'col' }, 'What'), h('th', { scope: 'col' }, 'Signal'))),
          h('tbody', {}, ringing.map((b) => h('tr', {},
            h('td', {}, b.time, h('span', { class: 'planned-time' }, plannedText(b))), h('td', {}, bellWhat(b)), h('td', {}, signalCell(b))))))),
      date >= todayKey && day.id !== 'NULL'
        ? createDayAdjustment({ date, adjustment: day.adjustment, subject: date === todayKey ? 'Today' : 'The day', onChanged: () => show(date) })
        : null,
      date >= todayKey ? planRangeForm({
        date, todayKey, timetables, planned: day.source === 'PLANNED' ? day.id : '',
        onSaved: async () => {
          if (onPlanned) await onPlanned();
          await show(date);
        },
      }) : null,
      h('p', { class: 'muted small' }, PRECEDENCE_TEXT));
  }

  return { el, show };
}
