// The day panel's plan of a day or a range of days. A timetable planned over a range (an exam fortnight
// over the winter break, say) goes on its working days only unless asked otherwise, so its weekends and
// holidays stay silent; before saving, the form says how many days off the range holds.

import { h } from '../dom.js';
import { api } from '../api.js';
import { toast, errorText } from './notice.js';
import { parseDate } from '../time.js';

const MAX_DAYS = 366;
const DAYS_OFF = 'weekends, holidays, breaks';

const daysText = (n) => (n === 1 ? '1 day' : `${n} days`);

/** Days from `from` to `to`, both counted; 0 when either is missing or to is before from. */
function rangeLength(from, to) {
  const a = parseDate(from);
  const b = parseDate(to);
  if (!a || !b || b < a) return 0;
  return Math.round((b - a) / 86400000) + 1;
}

// What the chosen timetable does to the range's days off, in words; '' when there is nothing to say.
function daysOffText({ daysOff, total, workingOnly, timetableName }) {
  if (daysOff === 0) return `All ${total} days of the range are working days.`;
  const including = `The range includes ${daysText(daysOff)} off (${DAYS_OFF})`;
  if (!workingOnly) return `${including}; they ring “${timetableName}” too.`;
  if (daysOff === total) return `Every day of the range is a day off (${DAYS_OFF}): nothing would be planned. Clear “Working days only” to plan them too.`;
  return `${including}; they keep their own timetable.`;
}

/** planned: the day's planned timetable id ('' when none); onSaved runs after the player took a change. */
export function planRangeForm({ date, todayKey, timetables, planned, onSaved }) {
  const from = h('input', { type: 'date', id: 'plan-from', value: date, min: todayKey });
  const to = h('input', { type: 'date', id: 'plan-to', value: date, min: todayKey });
  const choice = h('select', { id: 'plan-timetable' },
    h('option', { value: '' }, 'Usual rules (no plan)'),
    h('option', { value: 'NULL' }, 'No bells'),
    timetables.map((t) => h('option', { value: t.id }, t.name)));
  choice.value = planned;
  const workingOnly = h('input', { type: 'checkbox', id: 'plan-working-only', checked: true });
  const workingField = h('div', { class: 'check-field plan-working-only', hidden: true },
    workingOnly, h('label', { for: 'plan-working-only' }, 'Working days only'));
  const note = h('p', { class: 'plan-note small', 'data-testid': 'plan-note', 'aria-live': 'polite' });
  const save = h('button', { type: 'submit', class: 'button button-primary' }, 'Save plan');

  // The range's days as the scheduler sees them, for the range they were asked for.
  let types = null;
  let asked = 0;
  const range = () => ({ first: from.value, last: to.value || from.value });
  const timetableChosen = () => choice.value !== '' && choice.value !== 'NULL';
  // No bells and clearing go on every day of the range: that is what a range of them means.
  const onlyWorking = () => timetableChosen() && rangeLength(range().first, range().last) > 1 && workingOnly.checked;
  const daysOff = () => (types ? types.filter((d) => !d.working).length : null);

  function drawNote() {
    const { first, last } = range();
    const total = rangeLength(first, last);
    workingField.hidden = !(timetableChosen() && total > 1);
    let text = '';
    if (total > 1 && choice.value === 'NULL') text = `All ${total} days of the range, days off too, are planned without bells.`;
    else if (total > 1 && choice.value === '') text = `The plans of all ${total} days of the range are cleared.`;
    else if (total > 1 && types && types.length === total) {
      const name = choice.options[choice.selectedIndex].textContent;
      text = daysOffText({ daysOff: daysOff(), total, workingOnly: workingOnly.checked, timetableName: name });
    }
    note.textContent = text;
    note.hidden = !text;
  }

  async function loadTypes() {
    const { first, last } = range();
    const total = rangeLength(first, last);
    types = null;
    asked += 1;
    const mine = asked;
    drawNote();
    if (total < 2 || total > MAX_DAYS) return;
    try {
      const answer = await api.dayTypes(first, last);
      if (mine === asked) types = answer;
    } catch {
      // Without the count the form still plans; the player decides which days are working days.
    }
    if (mine === asked) drawNote();
  }

  for (const input of [from, to]) input.addEventListener('change', loadTypes);
  choice.addEventListener('change', drawNote);
  workingOnly.addEventListener('change', drawNote);

  const form = h('form', { class: 'plan-form', 'aria-label': 'Plan', onsubmit: async (e) => {
    e.preventDefault();
    const { first, last } = range();
    const working = onlyWorking();
    if (working && types && daysOff() === types.length) {
      toast('Every day of the range is a day off, so nothing is planned. Clear “Working days only” to plan them too.', 'error');
      workingOnly.focus();
      return;
    }
    save.disabled = true;
    try {
      await api.planDays(first, last, choice.value === '' ? null : choice.value, null, { workingDaysOnly: working });
      const kept = working && types ? daysOff() : 0;
      toast(choice.value === '' ? 'Plan cleared.'
        : `Plan saved.${kept > 0 ? ` ${kept === 1 ? 'The day off keeps its' : `The ${kept} days off keep their`} own timetable.` : ''}`, 'ok');
      if (onSaved) await onSaved();
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
    save),
  workingField,
  note);
  drawNote();
  return form;
}
