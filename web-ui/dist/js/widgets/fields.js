// Labelled form fields with inline error messages, and a list of checks run before saving.

import { h, nextId } from '../dom.js';
import { parseTypedTime, formatTime } from '../time.js';
import { readNumber } from '../model.js';

/** Wraps an input with its label, an optional hint and an error line tied by aria-describedby. */
export function field(label, input, { hint, inline = false, className = '' } = {}) {
  const id = input.id || nextId('in');
  input.id = id;
  const errorId = `${id}-err`;
  const hintId = hint ? `${id}-hint` : null;
  input.setAttribute('aria-describedby', [hintId, errorId].filter(Boolean).join(' '));
  const error = h('p', { id: errorId, class: 'field-error', 'aria-live': 'polite' });
  const el = h('div', { class: `field ${inline ? 'field-inline' : ''} ${className}`.trim() },
    h('label', { for: id }, label),
    input,
    hint ? h('p', { id: hintId, class: 'field-hint' }, hint) : null,
    error);
  return {
    el,
    input,
    setError(message) {
      error.textContent = message || '';
      if (message) input.setAttribute('aria-invalid', 'true');
      else input.removeAttribute('aria-invalid');
    },
  };
}

/**
 * Collects checks; each returns null, a problem {message, input} or a list of problems. With
 * `mark` false the checks only count (while typing), and fields are not marked.
 */
export function createChecks() {
  const checks = [];
  return {
    add(check) {
      checks.push(check);
    },
    /** Runs every check and returns the list of problems. */
    run({ mark = true } = {}) {
      return checks.flatMap((check) => check(mark) || []);
    },
  };
}

/**
 * A text input for a time of day. Every keystroke reaches onChange as typed, so the record knows
 * about a malformed entry; it is marked when the field is left or the checks run. "8", "800" and
 * "8.00" are taken as 08:00 and written so when the field is left.
 */
export function timeInput({ value, label, onChange, checks, describe }) {
  const input = h('input', {
    type: 'text', class: 'time-input', value: value || '', placeholder: 'hh:mm', autocomplete: 'off',
    spellcheck: 'false', maxlength: '8', 'aria-label': label,
    // Digits and a separator on a phone's keypad.
    inputmode: 'decimal',
  });
  const error = h('span', { class: 'field-error field-error-inline', 'aria-live': 'polite' });
  const errorId = nextId('err');
  error.id = errorId;
  input.setAttribute('aria-describedby', errorId);
  const validate = (mark = true) => {
    const seconds = parseTypedTime(input.value);
    if (seconds === null) {
      const message = input.value.trim() === ''
        ? `${describe || label}: enter a time such as 08:00.`
        : `${describe || label}: "${input.value.trim()}" is not a time. Use hh:mm or hh:mm:ss, for example 08:05 (805 and 8.05 work too).`;
      if (mark) {
        error.textContent = 'Use hh:mm, e.g. 08:05';
        input.setAttribute('aria-invalid', 'true');
      }
      return { message, input };
    }
    error.textContent = '';
    input.removeAttribute('aria-invalid');
    return null;
  };
  input.addEventListener('input', () => {
    const seconds = parseTypedTime(input.value);
    if (seconds !== null) {
      error.textContent = '';
      input.removeAttribute('aria-invalid');
    }
    onChange(input.value, seconds);
  });
  input.addEventListener('blur', () => {
    const seconds = parseTypedTime(input.value);
    if (seconds !== null) {
      const canonical = formatTime(seconds);
      if (canonical !== input.value) {
        input.value = canonical;
        onChange(canonical, seconds);
      }
    } else {
      validate();
    }
  });
  if (checks) checks.add(validate);
  return { input, error, validate };
}

/**
 * A number input; onChange(text, number or null) hears every keystroke, so an invalid entry is
 * known to the record too. Marked as wrong when left or when the checks run.
 */
export function numberInput({ value, min, max, step = 1, integer = true, label, onChange, checks }) {
  const input = h('input', { type: 'number', value: String(value), min, max, step, inputmode: integer ? 'numeric' : 'decimal' });
  const read = () => readNumber(input.value, { min, max, integer });
  const validate = (mark = true) => {
    if (input.disabled) return null;
    if (read() === null) {
      if (mark) input.setAttribute('aria-invalid', 'true');
      const range = max !== undefined ? `between ${min} and ${max}` : `of at least ${min}`;
      return { message: `${label}: enter ${integer ? 'a whole number' : 'a number'} ${range}.`, input };
    }
    input.removeAttribute('aria-invalid');
    return null;
  };
  input.addEventListener('input', () => {
    const n = read();
    if (n !== null) input.removeAttribute('aria-invalid');
    onChange(input.value, n);
  });
  input.addEventListener('blur', () => validate());
  if (checks) checks.add(validate);
  return { input, validate };
}
