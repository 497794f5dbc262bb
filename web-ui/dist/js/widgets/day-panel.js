// One day as the player will ring it: the type of day and why, the timetable in force and why, its
// bells, and the plan for that day (or a range from it).

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { toast, notice, errorText } from './notice.js';
import { parseDate } from '../time.js';
import { icon } from './icons.js';
import { DELETED_SIGNAL_WARNING } from '../signal-uses.js';
import { plannedText } from '../adjustment-words.js';
import { createDayAdjustment } from './day-adjustment.js';
import { printSection } from '../print.js';
import { typeOfDayLabel, sourceLabel, DAY_REASONS, PRECEDENCE_TEXT, WEEKDAYS, MONTHS } from '../labels.js';

const KINDS = { lessonStart: 'starts', lessonEnd: 'ends', preStart: 'before start', preEnd: 'before end' };

function bellWhat(bell) {
  return bell.kind === 'extraPlay' ? 'Extra play' : `Lesson ${bell.lesson + 1} ${KINDS[bell.kind] || bell.kind}`;
}

// The player names no signal for a bell whose signal was deleted: say what that means.
function signalCell(bell) {
  if (bell.signalName !== null && bell.signalName !== undefined) return bell.signalName;
  return h('span', { class: 'deleted-signal-warning', 'data-testid': 'deleted-signal' }, icon('alert'), DELETED_SIGNAL_WARNING);
}

export function longDate(key) {
  const d = parseDate(key);
  return d ? `${WEEKDAYS[(d.getDay() + 6) % 7]} ${d.getDate()} ${MONTHS[d.getMonth()]} ${d.getFullYear()}` : key;
}

/** timetables: [{id, name}]; onPlanned runs after a plan was saved. */
export function createDayPanel({ timetables, todayKey, onPlanned }) {
  const el = h('div', { class: 'day-panel', 'data-testid': 'day-panel', 'aria-live': 'polite' },
    h('p', { class: 'muted' }, 'Choose a day in the month to see its bells.'));

  async function show(date) {
    replace(el, h('p', { class: 'muted' }, 'Loading…'));
    let day;
    try {
      day = await api.day(date);
    } catch (err) {
      if (!err.noAuth) replace(el, notice(errorText(err), 'error'));
      return;
    }
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
        h('div', {}, h('dt', {}, 'Why'), h('dd', { 'data-testid': 'day-source' }, sourceLabel(day, day.timetableName)))),
      ringing.length === 0
        ? h('p', { class: 'muted', 'data-testid': 'day-no-bells' }, 'No bells ring on this day.')
        : h('div', { class: 'table-wrap' }, h('table', { class: 'table day-bells', 'data-testid': 'day-bells' },
          h('thead', {}, h('tr', {}, h('th', { scope: 'col' }, 'Time'), h('th', { scope: 'col' }, 'What'), h('th', { scope: 'col' }, 'Signal'))),
          h('tbody', {}, ringing.map((b) => h('tr', {},
            h('td', {}, b.time, h('span', { class: 'planned-time' }, plannedText(b))), h('td', {}, bellWhat(b)), h('td', {}, signalCell(b))))))),
      date >= todayKey && day.id !== 'NULL'
        ? createDayAdjustment({ date, adjustment: day.adjustment, subject: date === todayKey ? 'Today' : 'The day', onChanged: () => show(date) })
        : null,
      date >= todayKey ? planForm(date, day) : null,
      h('p', { class: 'muted small' }, PRECEDENCE_TEXT));
  }

  function planForm(date, day) {
    const from = h('input', { type: 'date', id: 'plan-from', value: date, min: todayKey });
    const to = h('input', { type: 'date', id: 'plan-to', value: date, min: todayKey });
    const choice = h('select', { id: 'plan-timetable' },
      h('option', { value: '' }, 'Usual rules (no plan)'),
      h('option', { value: 'NULL' }, 'No bells'),
      timetables.map((t) => h('option', { value: t.id }, t.name)));
    choice.value = day.source === 'PLANNED' ? day.id : '';
    const save = h('button', { type: 'submit', class: 'button button-primary' }, 'Save plan');
    return h('form', { class: 'plan-form', 'aria-label': 'Plan', onsubmit: async (e) => {
      e.preventDefault();
      save.disabled = true;
      try {
        await api.planDays(from.value, to.value || from.value, choice.value === '' ? null : choice.value);
        toast(choice.value === '' ? 'Plan cleared.' : 'Plan saved.', 'ok');
        if (onPlanned) await onPlanned();
        await show(date);
      } catch (err) {
        if (!err.noAuth) toast(`The plan could not be saved: ${errorText(err)}`, 'error');
      } finally {
        save.disabled = false;
      }
    } },
    h('h3', { class: 'section-title' }, 'Plan this day or a range'),
    h('div', { class: 'row' },
      h('label', { for: 'plan-from' }, 'From'), from,
      h('label', { for: 'plan-to' }, 'To'), to,
      h('label', { for: 'plan-timetable' }, 'Timetable'), choice,
      save));
  }

  return { el, show };
}
