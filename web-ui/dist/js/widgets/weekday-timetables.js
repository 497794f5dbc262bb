// A timetable per weekday (a Saturday timetable, say); the default timetable where none is set. Part of
// the settings page's form: the page saves it in its one save, though the player keeps it apart.

import { h } from '../dom.js';
import { icon } from './icons.js';
import { WEEKDAYS, PRECEDENCE_TEXT } from '../labels.js';

/**
 * "The default timetable (Default)": named, since the factory timetable is called "Default" too and
 * the two choices would read alike.
 */
export function defaultChoiceText(defaultId, timetables) {
  const tt = timetables.find((t) => t.id === defaultId);
  return tt ? `The default timetable (${tt.name})` : 'The default timetable (none is set)';
}

/**
 * Returns {el, isDirty, changed, markSaved, setDefault}: changed() is the seven ids as chosen (Monday
 * first, '' for the default) when they differ from the stored ones, else null; setDefault(id) names
 * another default timetable in the choices, as chosen on the page before it is saved.
 */
export function weekdayTimetables({ settings, timetables }) {
  const defaults = [];
  const selects = WEEKDAYS.map((day, i) => {
    const byDefault = h('option', { value: '' }, defaultChoiceText(settings.defaultTimetableId, timetables));
    defaults.push(byDefault);
    const el = h('select', { id: `weekday-${i}`, 'aria-label': `Timetable on ${day}s` },
      byDefault,
      timetables.map((t) => h('option', { value: t.id }, t.name)));
    el.value = (settings.weekdayTimetables || [])[i] || '';
    return el;
  });
  // What the selects show is the baseline: an id of a deleted timetable shows as the default and
  // counts as unchanged.
  let saved = selects.map((s) => s.value);
  const wanted = () => selects.map((s) => s.value);
  const isDirty = () => selects.some((s, i) => s.value !== saved[i]);
  const el = h('section', { class: 'card settings-wide', 'aria-labelledby': 'weekday-h' },
    h('h2', { id: 'weekday-h', class: 'card-title' }, icon('calendar'), 'Timetable per weekday'),
    h('p', { class: 'muted small' }, 'On working days a weekday may ring its own timetable. ', PRECEDENCE_TEXT),
    h('div', { class: 'weekday-grid' }, WEEKDAYS.map((day, i) => h('div', { class: 'field' }, h('label', { for: `weekday-${i}` }, day), selects[i]))));
  return {
    el,
    isDirty,
    changed: () => (isDirty() ? wanted() : null),
    /** The choices as shown are stored from now on. */
    markSaved: () => { saved = wanted(); },
    setDefault: (id) => { defaults.forEach((o) => { o.textContent = defaultChoiceText(id, timetables); }); },
  };
}
