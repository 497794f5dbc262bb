// Messages for the user: short-lived toasts and inline boxes.

import { h } from '../dom.js';
import { icon } from './icons.js';

const KIND_ICON = { ok: 'check', error: 'alert', info: 'info', warn: 'alert' };

function region() {
  let el = document.getElementById('toasts');
  if (!el) {
    el = h('div', { id: 'toasts', class: 'toasts', 'aria-live': 'polite' });
    document.body.append(el);
  }
  return el;
}

export function toast(message, kind = 'info') {
  const item = h('div', { class: `toast toast-${kind}`, role: kind === 'error' ? 'alert' : 'status' },
    icon(KIND_ICON[kind] || 'info'),
    h('span', { class: 'toast-text' }, message),
    h('button', { type: 'button', class: 'icon-button', 'aria-label': 'Dismiss message', onclick: () => item.remove() }, icon('x')));
  region().append(item);
  setTimeout(() => item.remove(), kind === 'error' ? 9000 : 4500);
  return item;
}

/** An inline message box; errors are announced at once. */
export function notice(message, kind = 'info') {
  return h('div', { class: `notice notice-${kind}`, role: kind === 'error' ? 'alert' : 'status' },
    icon(KIND_ICON[kind] || 'info'), h('div', { class: 'notice-text' }, message));
}

export function errorText(err) {
  if (err && err.message) return err.message;
  return 'Something went wrong. Please try again.';
}
