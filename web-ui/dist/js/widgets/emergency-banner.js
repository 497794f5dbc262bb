// The banner on every page while an emergency routine runs, with its Stop and, for the routines that
// silence the bells, the all clear.

import { h } from '../dom.js';
import { icon } from './icons.js';
import { bannerText, LASTING_ROUTINES } from '../emergency-words.js';
import { askAndStart, stopRunning } from './emergency-actions.js';

// A press waits for the player; a second press meanwhile would only send the same again.
function actionButton(label, iconName, action) {
  const button = h('button', {
    type: 'button', class: 'button button-light',
    onclick: async () => {
      button.disabled = true;
      try {
        await action();
      } finally {
        button.disabled = false;
      }
    },
  }, icon(iconName), label);
  return button;
}

/** `emergency` as the status reports it ({routine, drill, since}); null draws nothing. */
export function emergencyBanner(emergency, today) {
  if (!emergency) return null;
  return h('div', {
    class: `banner banner-emergency ${emergency.drill ? 'is-drill' : 'is-real'}`, role: 'alert', 'data-testid': 'emergency-banner',
  },
  icon('siren'),
  h('span', { class: 'banner-emergency-text' }, bannerText(emergency, today)),
  h('span', { class: 'banner-actions' },
    actionButton('Stop', 'stop', stopRunning),
    LASTING_ROUTINES.includes(emergency.routine) ? actionButton('All clear', 'check', () => askAndStart('allClear')) : null));
}
