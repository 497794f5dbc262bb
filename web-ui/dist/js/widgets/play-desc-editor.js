// Editor of one play description: which signal, and whether and how it repeats.

import { h, nextId } from '../dom.js';
import { signalSelect } from './signal-select.js';
import { numberInput } from './fields.js';

/**
 * desc is changed in place; onChange() is called after every change.
 * `minutes` adds the "minutes before" field of the pre-signals: {value, label, onChange}.
 */
export function playDescEditor({ title, desc, signals, onChange, checks, minutes }) {
  const base = nextId('pd');
  const select = signalSelect({
    id: `${base}-signal`, signals, value: desc.id,
    onChange: (v) => { desc.id = v; onChange(); },
  });
  const repeat = h('input', { type: 'checkbox', id: `${base}-repeat`, checked: Boolean(desc.doRepeat) });
  const times = numberInput({
    value: desc.iterations, min: 1, max: 100, label: `${title}: times to play`, checks,
    onChange: (n) => { desc.iterations = n; onChange(); },
  });
  const delay = numberInput({
    value: desc.delaySec, min: 0, max: 3600, step: 0.5, integer: false, label: `${title}: pause between plays`, checks,
    onChange: (n) => { desc.delaySec = n; onChange(); },
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
    const m = numberInput({ value: minutes.value, min: 0, max: 720, label: `${title}: ${minutes.label}`, checks, onChange: minutes.onChange });
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
      h('div', { class: 'field field-compact field-grow' }, h('label', { for: select.id }, 'Signal'), select),
      minutesField,
      h('div', { class: 'check-field' }, repeat, h('label', { for: repeat.id }, 'Repeat')),
      repeatRow));
  syncRepeat();
  return el;
}
