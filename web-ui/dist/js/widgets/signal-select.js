// A <select> of the signal library, with "None" and a visible entry for a signal that was deleted.

import { h } from '../dom.js';
import { NO_SIGNAL } from '../schedule.js';

export function signalSelect({ signals, value, allowNone = true, onChange, id }) {
  const options = [];
  if (allowNone) options.push(h('option', { value: NO_SIGNAL }, 'None (silent)'));
  for (const s of signals) {
    options.push(h('option', { value: s.id }, s.storageCategory === 0 ? `${s.name} (factory)` : s.name));
  }
  const known = signals.some((s) => s.id === value) || (allowNone && value === NO_SIGNAL);
  if (!known && value !== undefined && value !== null) {
    options.push(h('option', { value }, `Missing signal (${value})`));
  }
  const select = h('select', { id, onchange: () => onChange(select.value) }, options);
  select.value = value === undefined || value === null ? NO_SIGNAL : value;
  return select;
}

export function signalName(signals, id) {
  if (!id || id === NO_SIGNAL) return 'None';
  const s = signals.find((x) => x.id === id);
  return s ? s.name : `Missing signal (${id})`;
}
