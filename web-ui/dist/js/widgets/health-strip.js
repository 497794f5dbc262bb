// The player's health in plain words: every warning and error with what to do about it, and every
// check, the fine ones too, folded away under "All checks". The checks come with the live state; the
// problems the frame shows as a banner on every page are left to it.

import { h, replace } from '../dom.js';
import { subscribe, freshHealth } from '../live.js';
import { icon } from './icons.js';
import { BANNER_CHECKS } from './bells-off-banner.js';
import { foldable, isDismissed, forgetDismissed } from './banner-fold.js';

const foldKey = (c) => `health|${c.name}|${c.status}|${c.message}|${c.remedy || ''}`;

const STATUS_LABEL = { ok: 'OK', warning: 'Warning', warn: 'Warning', error: 'Error' };
const STATUS_BADGE = { ok: 'badge-ok', warning: 'badge-warn', warn: 'badge-warn', error: 'badge-danger' };

export function createHealthStrip() {
  const problemsEl = h('div', { class: 'health-problems', 'aria-live': 'polite' });
  const allCount = h('span', { class: 'muted' });
  const allList = h('ul', { class: 'health-checks' });
  // Built once: a redraw must not fold the list up again while someone reads it.
  const all = h('details', { class: 'health-all', 'data-testid': 'health-all', hidden: true },
    h('summary', {}, 'All checks ', allCount), allList);
  const el = h('div', { class: 'health-strip', 'data-testid': 'health-strip' }, problemsEl, all);
  let key = '';
  let problemKey = '';

  // Rebuilt only on change, so nothing is announced again with every poll.
  const draw = (checks) => {
    const problems = checks.filter((c) => c.status !== 'ok' && !BANNER_CHECKS.includes(c.name));
    const next = JSON.stringify(checks);
    if (next === key) return;
    key = next;
    all.hidden = checks.length === 0;
    const fine = checks.filter((c) => c.status === 'ok').length;
    allCount.textContent = `(${fine} of ${checks.length} fine)`;
    replace(allList, checks.map((c) => h('li', { class: `health-check is-${c.status}`, dataset: { check: c.name, status: c.status } },
      h('span', { class: `badge ${STATUS_BADGE[c.status] || 'badge-neutral'}` }, STATUS_LABEL[c.status] || c.status),
      h('span', {}, c.message))));
    // The announced part only when a problem changes, not when a fine check's words do.
    const nextProblems = JSON.stringify(problems);
    if (nextProblems === problemKey) return;
    problemKey = nextProblems;
    for (const c of checks) if (c.status === 'ok') forgetDismissed(`health|${c.name}|`);
    // A dismissed one stays in "All checks" below, and comes back when its words change.
    replace(problemsEl, problems.filter((c) => !isDismissed(foldKey(c))).map((c) => {
      const text = h('div', { class: 'notice-text' }, h('strong', {}, c.message), c.remedy ? ` ${c.remedy}` : '');
      return foldable(h('div', {
        class: `health-item notice notice-${c.status === 'error' ? 'error' : 'warn'}`,
        role: c.status === 'error' ? 'alert' : 'status',
        dataset: { check: c.name, status: c.status },
      }, icon('alert'), text), { key: foldKey(c), line: text });
    }));
  };

  const unsubscribe = subscribe((live) => { if (live.health) draw(live.health); });
  // Fresh on every visit of the page, not as old as the last poll; the frame tells when the player is out of reach.
  freshHealth().catch(() => {});
  return { el, destroy: unsubscribe };
}
