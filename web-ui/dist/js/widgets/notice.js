// Messages for the user: short-lived toasts and inline boxes.

import { h } from '../dom.js';
import { icon } from './icons.js';

const KIND_ICON = { ok: 'check', error: 'alert', info: 'info', warn: 'alert' };

// Bars whose buttons a toast must never hide; the toasts rise above any of them in view.
const KEEP_CLEAR = '.save-bar';
const BAR_GAP_PX = 8;
let pageWatch = null;

function liftAboveBars(el) {
  const stack = el.getBoundingClientRect();
  const bottom = window.innerHeight;
  // The gap below the toasts that the style sheet gives, without the current lift.
  const base = bottom - stack.bottom - (parseFloat(el.style.getPropertyValue('--toast-lift')) || 0);
  let lift = 0;
  for (const bar of document.querySelectorAll(KEEP_CLEAR)) {
    const r = bar.getBoundingClientRect();
    // Only a bar reaching into the toasts' band at the bottom counts; one higher up is never covered.
    if (r.height > 0 && r.top < bottom && r.bottom > bottom - base - stack.height) {
      lift = Math.max(lift, bottom - r.top - base + BAR_GAP_PX);
    }
  }
  el.style.setProperty('--toast-lift', `${Math.max(0, Math.ceil(lift))}px`);
}

// A bar moves when the page scrolls or changes size (content loaded, a bar shown, another page), so
// the toasts follow those while they show, and nothing is watched otherwise.
function placeToasts() {
  const el = document.getElementById('toasts');
  if (el && el.firstChild) {
    liftAboveBars(el);
    return;
  }
  if (!pageWatch) return;
  pageWatch.disconnect();
  pageWatch = null;
  window.removeEventListener('scroll', placeToasts);
  window.removeEventListener('resize', placeToasts);
}

function watchPlace() {
  placeToasts();
  if (pageWatch) return;
  pageWatch = new ResizeObserver(placeToasts);
  pageWatch.observe(document.body);
  window.addEventListener('scroll', placeToasts, { passive: true });
  window.addEventListener('resize', placeToasts);
}

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
  const el = region();
  el.append(item);
  watchPlace();
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
