// First run: no password is set yet, so one is chosen before anything else.

import { h, replace } from '../dom.js';
import { icon } from '../widgets/icons.js';
import { passwordForm } from './password-form.js';

export const title = 'Welcome';

export function render(main, { onPasswordSet }) {
  const form = passwordForm({ submitLabel: 'Set password and continue', onDone: onPasswordSet, autofocus: true });
  replace(main, h('div', { class: 'auth-card card' },
    h('div', { class: 'auth-brand' }, icon('bell'), h('span', {}, 'Quorvane Player')),
    h('h1', { class: 'auth-title' }, 'Choose a password'),
    h('p', {}, 'Welcome! This player has no password yet. Anyone on the network could change its bells until you set one.'),
    form));
  const first = form.querySelector('input');
  if (first) first.focus();
}
