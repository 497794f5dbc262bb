// What a page shows when the player refused a change because another browser changed the same record
// since the page loaded it: the other change stays, and Reload brings it in (dropping this page's edits).

import { h } from '../dom.js';
import { icon } from './icons.js';

export const CHANGED_ELSEWHERE_TEXT = 'Changed elsewhere: reload to see the other change';

export function changedElsewhereNotice(onReload) {
  const reload = h('button', { type: 'button', class: 'button button-small', onclick: onReload }, 'Reload');
  return h('div', { class: 'notice notice-warn changed-elsewhere', role: 'alert' },
    icon('alert'),
    h('div', { class: 'notice-text' }, CHANGED_ELSEWHERE_TEXT),
    reload);
}
