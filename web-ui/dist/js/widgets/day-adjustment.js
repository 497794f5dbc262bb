// One date's exceptions to its timetable: the bells from a time on later or earlier, no bells after a
// time, and the undo. Shown for today on the dashboard and for a chosen day in the calendar.

import { h, nextId } from '../dom.js';
import { api } from '../api.js';
import { toast, errorText } from './notice.js';
import { adjustmentText } from '../adjustment-words.js';

/** date: YYYY-MM-DD; adjustment: the day preview's (or null); subject: 'Today' or 'The day'. */
export function createDayAdjustment({ date, adjustment, subject, onChanged }) {
  const ids = { shift: nextId('adjust-shift'), from: nextId('adjust-from'), end: nextId('adjust-end') };
  const shift = h('input', { type: 'number', id: ids.shift, min: '-240', max: '240', step: '5', inputmode: 'numeric',
    value: adjustment && adjustment.shiftMinutes ? String(adjustment.shiftMinutes) : '', placeholder: '90' });
  const from = h('input', { type: 'time', id: ids.from, value: (adjustment && adjustment.from) || '' });
  const end = h('input', { type: 'time', id: ids.end, value: (adjustment && adjustment.endAfter) || '' });

  async function send(change, done) {
    try {
      await api.adjustDay({ date, ...change });
      toast(done, 'ok');
      if (onChanged) await onChanged();
    } catch (err) {
      if (!err.noAuth) toast(`The change could not be saved: ${errorText(err)}`, 'error');
    }
  }

  const moveButton = h('button', { type: 'submit', class: 'button', 'data-testid': 'adjust-shift-save' }, 'Move the bells');
  const moveForm = h('form', { class: 'row', 'aria-label': 'Move the bells', onsubmit: async (e) => {
    e.preventDefault();
    const minutes = Number(shift.value);
    if (!Number.isInteger(minutes) || minutes === 0 || Math.abs(minutes) > 240) {
      toast('Give the minutes to move the bells by, from -240 to 240 (negative moves them earlier).', 'error');
      shift.focus();
      return;
    }
    moveButton.disabled = true;
    await send(from.value ? { shiftMinutes: minutes, from: from.value } : { shiftMinutes: minutes }, 'The bells are moved.');
    moveButton.disabled = false;
  } },
  h('label', { for: ids.shift }, 'Minutes later (negative: earlier)'), shift,
  h('label', { for: ids.from }, 'from'), from,
  h('span', { class: 'muted small' }, 'empty: the whole day'),
  moveButton);

  const endButton = h('button', { type: 'submit', class: 'button', 'data-testid': 'adjust-end-save' }, 'End the bells');
  const endForm = h('form', { class: 'row', 'aria-label': 'End the bells early', onsubmit: async (e) => {
    e.preventDefault();
    if (!end.value) {
      toast('Give the time after which no bell rings.', 'error');
      end.focus();
      return;
    }
    endButton.disabled = true;
    await send({ endAfter: end.value }, `No bells after ${end.value}.`);
    endButton.disabled = false;
  } },
  h('label', { for: ids.end }, 'No bells after'), end, endButton);

  const words = adjustmentText(adjustment, subject);
  const undo = h('button', { type: 'button', class: 'button', 'data-testid': 'adjust-undo',
    onclick: () => send({ clear: true }, 'Back to the timetable’s times.') }, 'Undo');
  return h('div', { class: 'day-adjustment', 'data-testid': 'day-adjustment' },
    words ? h('p', { class: 'adjustment-text', 'data-testid': 'adjustment-text' }, words, ' · ', undo) : null,
    h('details', { class: 'adjustment-forms' },
      h('summary', {}, 'Change this day’s bells'),
      moveForm, endForm));
}
