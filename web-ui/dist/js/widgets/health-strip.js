// The player's health in plain words: every warning and error with what to do about it; nothing while
// all is well.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';

const REFRESH_MS = 30000;

export function createHealthStrip() {
  const el = h('div', { class: 'health-strip', 'data-testid': 'health-strip', 'aria-live': 'polite' });
  let timer = null;
  let key = '';

  async function refresh() {
    try {
      const problems = (await api.health()).filter((c) => c.status !== 'ok');
      const next = JSON.stringify(problems);
      if (next === key) return;
      key = next;
      replace(el, problems.map((c) => h('div', {
        class: `health-item notice notice-${c.status === 'error' ? 'error' : 'warn'}`,
        role: c.status === 'error' ? 'alert' : 'status',
        dataset: { check: c.name, status: c.status },
      }, icon('alert'), h('div', { class: 'notice-text' }, h('strong', {}, c.message), c.remedy ? ` ${c.remedy}` : ''))));
    } catch {
      // The banner of the frame tells when the player cannot be reached.
    }
  }

  refresh();
  timer = setInterval(refresh, REFRESH_MS);
  return {
    el,
    refresh,
    destroy() { clearInterval(timer); },
  };
}
