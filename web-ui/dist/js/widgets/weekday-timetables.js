// A timetable per weekday (a Saturday timetable, say); the default timetable where none is set.

import { h } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';
import { toast, errorText } from './notice.js';
import { changedElsewhereNotice } from './changed-elsewhere.js';
import { WEEKDAYS, PRECEDENCE_TEXT } from '../labels.js';

/**
 * Returns {el, isDirty}: the page asks before leaving choices that are not saved. revision: the settings'
 * (plans live in them); when another browser changed them first, onReload offers to load the page again.
 */
export function weekdayTimetablesCard({ settings, timetables, onSaved, revision = null, onReload = null }) {
  let saved = WEEKDAYS.map((_, i) => (settings.weekdayTimetables || [])[i] || '');
  const selects = WEEKDAYS.map((day, i) => {
    const el = h('select', { id: `weekday-${i}`, 'aria-label': `Timetable on ${day}s` },
      h('option', { value: '' }, 'Default timetable'),
      timetables.map((t) => h('option', { value: t.id }, t.name)));
    el.value = saved[i];
    return el;
  });
  // What the selects show is the baseline (an id of a deleted timetable shows as the default).
  saved = selects.map((s) => s.value);
  const save = h('button', { type: 'submit', class: 'button button-primary' }, icon('check'), 'Save weekday timetables');
  const message = h('div', { class: 'form-message' });
  const el = h('section', { class: 'card settings-wide', 'aria-labelledby': 'weekday-h' },
    h('h2', { id: 'weekday-h', class: 'card-title' }, icon('calendar'), 'Timetable per weekday'),
    h('p', { class: 'muted small' }, 'On working days a weekday may ring its own timetable. ', PRECEDENCE_TEXT),
    h('form', { class: 'weekday-form', onsubmit: async (e) => {
      e.preventDefault();
      save.disabled = true;
      try {
        const chosen = selects.map((s) => s.value);
        message.replaceChildren();
        await api.planWeekdays(chosen, revision);
        saved = chosen;
        toast('Weekday timetables saved.', 'ok');
        if (onSaved) onSaved();
      } catch (err) {
        if (err.changedElsewhere && onReload) message.replaceChildren(changedElsewhereNotice(onReload));
        else if (!err.noAuth) toast(`The weekday timetables were not saved: ${errorText(err)}`, 'error');
      } finally {
        save.disabled = false;
      }
    } },
    h('div', { class: 'weekday-grid' }, WEEKDAYS.map((day, i) => h('div', { class: 'field' }, h('label', { for: `weekday-${i}` }, day), selects[i]))),
    message,
    h('div', { class: 'form-actions' }, save)));
  return { el, isDirty: () => selects.some((s, i) => s.value !== saved[i]) };
}
