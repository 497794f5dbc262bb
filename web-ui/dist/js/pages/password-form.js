// Form for a new password (first run and later changes): typed twice, sent as a JSON string.

import { h, nextId, replace } from '../dom.js';
import { api } from '../api.js';
import { field } from '../widgets/fields.js';
import { notice, errorText } from '../widgets/notice.js';

export function passwordForm({ submitLabel, onDone, autofocus = false }) {
  const base = nextId('pw');
  const first = h('input', { id: `${base}-new`, type: 'password', autocomplete: 'new-password', autofocus });
  const second = h('input', { id: `${base}-again`, type: 'password', autocomplete: 'new-password' });
  const f1 = field('New password', first, { hint: 'Use something others cannot guess; at least 8 characters is a good start.' });
  const f2 = field('Repeat the new password', second);
  const show = h('input', { type: 'checkbox', id: `${base}-show` });
  show.addEventListener('change', () => {
    first.type = show.checked ? 'text' : 'password';
    second.type = show.checked ? 'text' : 'password';
  });
  const message = h('div', { class: 'form-message' });
  const submit = h('button', { type: 'submit', class: 'button button-primary' }, submitLabel);
  const form = h('form', { class: 'password-form', novalidate: true }, f1.el, f2.el,
    h('div', { class: 'check-field' }, show, h('label', { for: show.id }, 'Show passwords')),
    message, h('div', { class: 'form-actions' }, submit));
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    f1.setError('');
    f2.setError('');
    replace(message);
    if (first.value === '') {
      f1.setError('Enter a password.');
      first.focus();
      return;
    }
    if (first.value !== second.value) {
      f2.setError('The two passwords are not the same.');
      second.focus();
      return;
    }
    submit.disabled = true;
    try {
      await api.changePassword(first.value);
      first.value = '';
      second.value = '';
      onDone();
    } catch (err) {
      if (!err.noAuth) replace(message, notice(`The password was not set: ${errorText(err)}`, 'error'));
    } finally {
      submit.disabled = false;
    }
  });
  return form;
}
