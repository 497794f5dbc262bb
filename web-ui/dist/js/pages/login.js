// Login with the player's password.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { notice, errorText } from '../widgets/notice.js';
import { field } from '../widgets/fields.js';

export const title = 'Log in';

export function render(main, { onLoggedIn }) {
  const password = h('input', { id: 'login-password', type: 'password', autocomplete: 'current-password', autofocus: true, required: true });
  const remember = h('input', { id: 'login-remember', type: 'checkbox' });
  const message = h('div', { class: 'form-message' });
  const submit = h('button', { type: 'submit', class: 'button button-primary button-block' }, 'Log in');
  const pwField = field('Password', password);
  const form = h('form', { class: 'auth-form', novalidate: true }, pwField.el,
    h('div', { class: 'check-field' }, remember, h('label', { for: 'login-remember' }, 'Remember me on this device')),
    message, submit);
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    replace(message);
    submit.disabled = true;
    try {
      await api.login(password.value, remember.checked);
      onLoggedIn();
    } catch (err) {
      pwField.setError(' ');
      replace(message, notice(errorText(err), 'error'));
      password.select();
      password.focus();
    } finally {
      submit.disabled = false;
    }
  });
  replace(main, h('div', { class: 'auth-card card' },
    h('div', { class: 'auth-brand' }, icon('bell'), h('span', {}, 'Quorvane Player')),
    h('h1', { class: 'auth-title' }, 'Log in'),
    h('p', { class: 'muted' }, 'Enter the password of this bell player.'),
    form));
  password.focus();
}
