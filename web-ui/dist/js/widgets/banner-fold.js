// Banners that fold to one line on a phone, opened by a tap, and that can be dismissed until what they
// say changes. Two of them in full would push the alarm below the first screen. The emergency banners
// never use this: they must always be seen whole.

import { h } from '../dom.js';
import { icon } from './icons.js';

// For this tab's visit only: a message dismissed yesterday shows again in a new visit.
const STORE = 'qv-dismissed-banners';
const KEPT = 30;

function dismissedKeys() {
  try {
    const keys = JSON.parse(sessionStorage.getItem(STORE) || '[]');
    return Array.isArray(keys) ? keys : [];
  } catch {
    return [];
  }
}

/** Whether the banner saying `key` was dismissed; any change of its words or state makes another key. */
export function isDismissed(key) {
  return dismissedKeys().includes(key);
}

/** Forgets the dismissals of keys starting with `prefix`: a problem that went away is news when it is back. */
export function forgetDismissed(prefix) {
  const keys = dismissedKeys();
  const kept = keys.filter((k) => !k.startsWith(prefix));
  if (kept.length === keys.length) return;
  try {
    sessionStorage.setItem(STORE, JSON.stringify(kept));
  } catch {
    // See dismiss.
  }
}

function dismiss(key) {
  const keys = dismissedKeys().filter((k) => k !== key);
  keys.push(key);
  try {
    sessionStorage.setItem(STORE, JSON.stringify(keys.slice(-KEPT)));
  } catch {
    // Without storage it goes only from this page view.
  }
}

/**
 * Adds the fold and the dismiss to `el`: `line` is the part that shows folded, cut to one line; `key`
 * names what it says. Returns `el`.
 */
export function foldable(el, { key, line }) {
  el.classList.add('is-foldable', 'is-folded');
  el.dataset.foldKey = key;
  const toggle = h('button', {
    type: 'button', class: 'fold-toggle', 'aria-expanded': 'false', 'aria-label': 'Show the whole message',
  }, icon('right'));
  const setOpen = (open) => {
    el.classList.toggle('is-folded', !open);
    toggle.setAttribute('aria-expanded', String(open));
  };
  toggle.addEventListener('click', () => setOpen(toggle.getAttribute('aria-expanded') !== 'true'));
  // The folded line itself opens it too: a phone's whole line is the easier target. Wider screens never fold.
  line.addEventListener('click', () => {
    if (getComputedStyle(toggle).display !== 'none') setOpen(toggle.getAttribute('aria-expanded') !== 'true');
  });
  const close = h('button', {
    type: 'button', class: 'fold-dismiss', 'aria-label': 'Dismiss this message until it changes',
    onclick: () => {
      dismiss(key);
      const main = document.getElementById('main');
      el.remove();
      if (main) main.focus({ preventScroll: true });
    },
  }, icon('x'));
  line.after(h('span', { class: 'fold-controls' }, toggle, close));
  return el;
}
