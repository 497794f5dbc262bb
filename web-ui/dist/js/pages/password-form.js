// Form for a new password (first run and later changes): typed twice, at least 8 characters; a change
// also asks for the current password, which the player checks.

import { h, nextId, replace } from '../dom.js';
import { api } from '../api.js';
import { field } from '../widgets/fields.js';
import { notice, errorText } from '../widgets/notice.js';

export const MIN_PASSWORD_LENGTH = 8;

export function passwordForm({ submitLabel, onDone, autofocus = false, askCurrent = false }) {
  const base = nextId('pw');
  const current = askCurrent
    ? h('input', { id: `${base}-current`, type: 'password', autocomplete: 'current-password', autofocus })
    : null;
  const first = h('input', { id: `${base}-new`, type: 'password', autocomplete: 'new-password', autofocus: autofocus && !askCurrent });
  const second = h('input', { id: `${base}-again`, type: 'password', autocomplete: 'new-password' });
  const f0 = current ? field('Current password', current) : null;
  const f1 = field('New password', first, { hint: `At least ${MIN_PASSWORD_LENGTH} characters; use something others cannot guess.` });
  const f2 = field('Repeat the new password', second);
  const inputs = [current, first, second].filter(Boolean);
  const show = h('input', { type: 'checkbox', id: `${base}-show` });
  show.addEventListener('change', () => {
    for (const input of inputs) input.type = show.checked ? 'text' : 'password';
  });
  const message = h('div', { class: 'form-message' });
  const submit = h('button', { type: 'submit', class: 'button button-primary' }, submitLabel);
  const form = h('form', { class: 'password-form', novalidate: true }, f0 ? f0.el : null, f1.el, f2.el,
    h('div', { class: 'check-field' }, show, h('label', { for: show.id }, 'Show passwords')),
    message, h('div', { class: 'form-actions' }, submit));

  const fail = (f, input, text) => {
    f.setError(text);
    input.focus();
  };
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    for (const f of [f0, f1, f2]) if (f) f.setError('');
    replace(message);
    if (current && current.value === '') return void fail(f0, current, 'Enter the current password.');
    if (first.value.length < MIN_PASSWORD_LENGTH) {
      return void fail(f1, first, `The new password must have at least ${MIN_PASSWORD_LENGTH} characters.`);
    }
    if (first.value !== second.value) return void fail(f2, second, 'The two passwords are not the same.');
    submit.disabled = true;
    try {
      await api.changePassword(first.value, current ? current.value : null);
      for (const input of inputs) input.value = '';
      onDone();
    } catch (err) {
      if (err.noAuth) return;
      if (current && err.status === 400 && err.message === 'Wrong password') {
        fail(f0, current, 'The current password is not correct.');
        current.select();
        return;
      }
      replace(message, notice(`The password was not changed: ${errorText(err)}`, 'error'));
    } finally {
      submit.disabled = false;
    }
  });
  return form;
}
