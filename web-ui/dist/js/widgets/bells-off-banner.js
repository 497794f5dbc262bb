// The banner on every page while the bells are switched off, with the press that switches them on.
// A school whose bells stay silent by mistake must see it wherever it looks, not only on the dashboard.

import { h } from '../dom.js';
import { api, revision } from '../api.js';
import { icon } from './icons.js';
import { toast, errorText } from './notice.js';
import { refreshHealth, refreshOverview } from '../live.js';
import { announceSettingsChanged } from '../settings-changed.js';
import { foldable, isDismissed, forgetDismissed } from './banner-fold.js';

/** Health checks that the frame shows as a banner, so the dashboard's health strip leaves them out. */
export const BANNER_CHECKS = ['bells'];

/** The "bells" check when it is not ok, from the live health checks; null otherwise. */
export function bellsOffCheck(health) {
  const check = (health || []).find((c) => c.name === 'bells');
  // Back on: switched off later, the banner is news again, though in the same words.
  if (check && check.status === 'ok') forgetDismissed('bells|');
  return check && check.status !== 'ok' ? check : null;
}

async function switchBellsOn() {
  // Made against the settings as they are now, like every change of them.
  const current = revision();
  await api.settings(current);
  const before = current.value;
  const changes = { schedulerEnable: true };
  await api.updateSettings(changes, current);
  announceSettingsChanged({ changes, before, after: current.value });
  toast('The bells are switched on.', 'ok');
  await Promise.all([refreshHealth(), refreshOverview()]).catch(() => {});
}

/** `check`: the bells check as the player reports it; null, or one dismissed as it reads now, draws nothing. */
export function bellsOffBanner(check) {
  if (!check) return null;
  const key = `bells|${check.status}|${check.message}`;
  if (isDismissed(key)) return null;
  const button = h('button', {
    type: 'button', class: 'button button-small',
    onclick: async () => {
      button.disabled = true;
      try {
        await switchBellsOn();
      } catch (err) {
        if (!err.noAuth) toast(`The bells could not be switched on: ${errorText(err)}`, 'error');
      } finally {
        button.disabled = false;
      }
    },
  }, icon('bell'), 'Switch the bells on');
  const text = h('span', { class: 'banner-text' }, check.message);
  return foldable(h('div', { class: 'banner banner-warn banner-bells-off', role: 'status', 'data-testid': 'bells-off-banner' },
    icon('alert'), text, h('span', { class: 'banner-actions' }, button)), { key, line: text });
}
