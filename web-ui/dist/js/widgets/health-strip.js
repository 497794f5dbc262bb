// The player's health in plain words: every warning and error with what to do about it; nothing while
// all is well. The checks come with the live state; those the frame shows as a banner on every page
// are left to it.

import { h, replace } from '../dom.js';
import { subscribe, refreshHealth } from '../live.js';
import { icon } from './icons.js';
import { BANNER_CHECKS } from './bells-off-banner.js';

export function createHealthStrip() {
  const el = h('div', { class: 'health-strip', 'data-testid': 'health-strip', 'aria-live': 'polite' });
  let key = '';

  // Rebuilt only on change, so the announcement is not repeated with every poll.
  const draw = (checks) => {
    const problems = checks.filter((c) => c.status !== 'ok' && !BANNER_CHECKS.includes(c.name));
    const next = JSON.stringify(problems);
    if (next === key) return;
    key = next;
    replace(el, problems.map((c) => h('div', {
      class: `health-item notice notice-${c.status === 'error' ? 'error' : 'warn'}`,
      role: c.status === 'error' ? 'alert' : 'status',
      dataset: { check: c.name, status: c.status },
    }, icon('alert'), h('div', { class: 'notice-text' }, h('strong', {}, c.message), c.remedy ? ` ${c.remedy}` : ''))));
  };

  const unsubscribe = subscribe((live) => { if (live.health) draw(live.health); });
  // Fresh on every visit of the page, not as old as the last poll; the frame tells when the player is out of reach.
  refreshHealth().catch(() => {});
  return { el, destroy: unsubscribe };
}
