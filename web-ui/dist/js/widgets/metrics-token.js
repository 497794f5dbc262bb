// The district's monitoring reads /metrics with a token of its own: shown here, and renewed when it
// may have got out (the old one stops working at once).

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';
import { toast, errorText } from './notice.js';
import { confirmDialog } from './dialog.js';

export function metricsTokenCard() {
  const shown = h('div', { class: 'metrics-token', 'data-testid': 'metrics-token', 'aria-live': 'polite' }, h('p', { class: 'muted' }, 'Loading…'));
  const button = h('button', { type: 'button', class: 'button' }, icon('lock'), 'Make a token');
  let token = null;

  const draw = () => {
    button.replaceChildren(icon('lock'), token ? 'Renew the token' : 'Make a token');
    replace(shown, token
      ? [h('label', { for: 'metrics-token-text' }, 'Token'),
        h('input', { id: 'metrics-token-text', type: 'text', readonly: true, value: token, class: 'token-text', onfocus: (e) => e.target.select() })]
      : h('p', { class: 'muted' }, 'No token yet: only a logged-in browser can read the metrics.'));
  };

  button.addEventListener('click', async () => {
    if (token) {
      const ok = await confirmDialog({
        title: 'Renew the token?',
        message: 'The monitoring stops reading this player until it is given the new token.',
        confirmLabel: 'Renew the token',
      });
      if (!ok) return;
    }
    button.disabled = true;
    try {
      token = (await api.renewMetricsToken()).token;
      draw();
      toast('The new token is in use.', 'ok');
    } catch (err) {
      if (!err.noAuth) toast(`No token was made: ${errorText(err)}`, 'error');
    } finally {
      button.disabled = false;
    }
  });

  api.metricsToken().then((answer) => { token = answer.token; draw(); }, (err) => {
    if (!err.noAuth) replace(shown, h('p', { class: 'muted' }, `The token could not be read: ${errorText(err)}`));
  });

  return h('section', { class: 'card settings-wide', 'aria-labelledby': 'metrics-h' },
    h('h2', { id: 'metrics-h', class: 'card-title' }, icon('list'), 'Monitoring'),
    h('p', { class: 'muted small' }, 'A monitoring tool such as Prometheus reads ',
      h('code', {}, `${location.origin}/metrics`), ' with the header ', h('code', {}, 'Authorization: Bearer <token>'), '.'),
    shown,
    h('p', {}, button));
}
