// Editor of one play description: which signal, and whether and how it repeats.

import { h, nextId } from '../dom.js';
import { signalSelect } from './signal-select.js';
import { withListen } from './signal-listen.js';
import { numberInput } from './fields.js';
import { icon } from './icons.js';
import { NO_SIGNAL } from '../schedule.js';
import { LIMITS } from '../model.js';

/**
 * desc is changed in place, its numbers as the texts typed; onChange() is called after every change.
 * `minutes` adds the "minutes before" field of the pre-signals: {value, label, onChange(text)}.
 * `warnSilent` shows a warning line while no signal is chosen.
 */
export function playDescEditor({ title, desc, signals, onChange, checks, minutes, warnSilent = false }) {
  const base = nextId('pd');
  const silent = h('p', { class: 'silent-warning', id: `${base}-silent` }, icon('alert'), 'Silent: no signal is chosen, so nothing plays.');
  const showSilent = () => { silent.hidden = !warnSilent || desc.id !== NO_SIGNAL; };
  const select = signalSelect({
    id: `${base}-signal`, signals, value: desc.id,
    onChange: (v) => { desc.id = v; showSilent(); onChange(); },
  });
  const repeat = h('input', { type: 'checkbox', id: `${base}-repeat`, checked: Boolean(desc.doRepeat) });
  const times = numberInput({
    value: desc.iterations, ...LIMITS.iterations, label: `${title}: times to play`, checks,
    onChange: (text) => { desc.iterations = text; onChange(); },
  });
  const delay = numberInput({
    value: desc.delaySec, ...LIMITS.delaySec, step: 0.5, label: `${title}: pause between plays`, checks,
    onChange: (text) => { desc.delaySec = text; onChange(); },
  });
  times.input.id = `${base}-times`;
  delay.input.id = `${base}-delay`;
  const syncRepeat = () => {
    times.input.disabled = !repeat.checked;
    delay.input.disabled = !repeat.checked;
    repeatRow.classList.toggle('is-disabled', !repeat.checked);
  };
  repeat.addEventListener('change', () => {
    desc.doRepeat = repeat.checked;
    syncRepeat();
    onChange();
  });

  let minutesField = null;
  if (minutes) {
    const m = numberInput({ value: minutes.value, ...LIMITS.waitMin, label: `${title}: ${minutes.label}`, checks, onChange: minutes.onChange });
    m.input.id = `${base}-minutes`;
    m.input.classList.add('short-number');
    minutesField = h('div', { class: 'field field-compact' }, h('label', { for: m.input.id }, minutes.label), m.input);
  }

  const repeatRow = h('div', { class: 'repeat-row' },
    h('div', { class: 'field field-compact' }, h('label', { for: times.input.id }, 'Times'), times.input),
    h('div', { class: 'field field-compact' }, h('label', { for: delay.input.id }, 'Pause (s)'), delay.input));
  times.input.classList.add('short-number');
  delay.input.classList.add('short-number');

  const el = h('fieldset', { class: 'play-desc' },
    h('legend', {}, title),
    h('div', { class: 'play-desc-grid' },
      h('div', { class: 'field field-compact field-grow' }, h('label', { for: select.id }, 'Signal'), withListen(select)),
      minutesField,
      h('div', { class: 'check-field' }, repeat, h('label', { for: repeat.id }, 'Repeat')),
      repeatRow),
    silent);
  if (warnSilent) select.setAttribute('aria-describedby', silent.id);
  showSilent();
  syncRepeat();
  return el;
}
