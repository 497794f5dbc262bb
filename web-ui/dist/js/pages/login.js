// Login with the player's password.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { notice, errorText } from '../widgets/notice.js';
import { field } from '../widgets/fields.js';
import { countdownText, startCountdown } from '../widgets/wait-countdown.js';

export const title = 'Log in';

export function render(main, { onLoggedIn }) {
  const password = h('input', { id: 'login-password', type: 'password', autocomplete: 'current-password', autofocus: true, required: true });
  const remember = h('input', { id: 'login-remember', type: 'checkbox' });
  const message = h('div', { class: 'form-message' });
  const submit = h('button', { type: 'submit', class: 'button button-primary button-block' }, 'Log in');
  const pwField = field('Password', password);
  let stopWait = () => {};

  // After too many wrong passwords the player refuses every try until the wait is over, so the button
  // waits with it. Only the seconds change each tick: screen readers hear the sentence once.
  function waitBeforeTrying(seconds) {
    const left = h('span', { 'aria-live': 'off', 'data-testid': 'login-wait' });
    replace(message, h('div', { class: 'notice notice-error', role: 'alert' }, icon('alert'),
      h('div', { class: 'notice-text' }, 'Too many wrong passwords. Please wait ', left, ' before trying again.')));
    submit.disabled = true;
    stopWait = startCountdown(seconds, {
      onTick: (s) => { left.textContent = countdownText(s); },
      onDone: () => {
        submit.disabled = false;
        replace(message, notice('You can try again now.', 'info'));
      },
    });
  }

  const form = h('form', { class: 'auth-form', novalidate: true }, pwField.el,
    h('div', { class: 'check-field' }, remember, h('label', { for: 'login-remember' }, 'Remember me on this device')),
    message, submit);
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    if (submit.disabled) return;
    replace(message);
    submit.disabled = true;
    let waiting = false;
    try {
      await api.login(password.value, remember.checked);
      onLoggedIn();
    } catch (err) {
      waiting = err.status === 429 && err.retryAfter !== null && err.retryAfter > 0;
      if (waiting) {
        pwField.setError('');
        waitBeforeTrying(err.retryAfter);
      } else {
        pwField.setError(' ');
        replace(message, notice(errorText(err), 'error'));
      }
      password.select();
      password.focus();
    } finally {
      if (!waiting) submit.disabled = false;
    }
  });
  replace(main, h('div', { class: 'auth-card card' },
    h('div', { class: 'auth-brand' }, icon('bell'), h('span', {}, 'Quorvane Player')),
    h('h1', { class: 'auth-title' }, 'Log in'),
    h('p', { class: 'muted' }, 'Enter the password of this bell player.'),
    form));
  password.focus();
  return () => stopWait();
}
