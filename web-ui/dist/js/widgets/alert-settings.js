// Where the player sends word of a bell that did not ring or a health check in error: a webhook and a
// mail. Part of the settings form (its one save bar); the test sends to the addresses as saved.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';
import { field } from './fields.js';
import { errorText } from './notice.js';

const PATHS = ['alerts.webhookUrl', 'alerts.mailTo', 'alerts.mailFrom', 'alerts.smtpServer'];

function textInput(id, type, value, extra = {}) {
  return h('input', { id, type, value: value || '', autocomplete: 'off', spellcheck: 'false', ...extra });
}

function resultLine(way, { sent, error }) {
  return h('p', { class: `notice ${sent ? 'notice-ok' : 'notice-error'}` }, icon(sent ? 'check' : 'alert'),
    h('span', {}, sent ? `Sent ${way}.` : `Not sent ${way}: ${error}`));
}

/** `unsaved()` tells whether the form holds alert addresses not saved yet. */
export function alertSettings({ settings, unsaved }) {
  const alerts = settings.alerts || {};
  const webhook = textInput('set-alert-webhook', 'url', alerts.webhookUrl, { placeholder: 'https://hooks.district.example/bells', inputmode: 'url' });
  const mailTo = textInput('set-alert-mail-to', 'email', alerts.mailTo, { placeholder: 'caretaker@school.example' });
  const mailFrom = textInput('set-alert-mail-from', 'email', alerts.mailFrom, { placeholder: 'quorvane-player@localhost' });
  const smtp = textInput('set-alert-smtp', 'text', alerts.smtpServer, { placeholder: 'smtp://mail.school.example:587', inputmode: 'url' });
  const results = h('div', { class: 'alert-test-results', 'aria-live': 'polite', 'data-testid': 'alert-test-results' });
  const hint = h('p', { class: 'muted small' });
  const testButton = h('button', { type: 'button', class: 'button' }, icon('megaphone'), 'Send a test alert');

  const refresh = () => {
    const pending = unsaved();
    const none = !webhook.value.trim() && !mailTo.value.trim();
    testButton.disabled = pending || none;
    hint.textContent = pending ? 'Save the settings first: the test goes to the saved addresses.'
      : none ? 'Set a webhook or an e-mail address to send a test.' : '';
  };

  testButton.addEventListener('click', async () => {
    testButton.disabled = true;
    replace(results, h('p', { class: 'muted' }, 'Sending…'));
    try {
      const answer = await api.testAlert();
      replace(results,
        answer.webhook ? resultLine('to the webhook', answer.webhook) : null,
        answer.mail ? resultLine(`by mail to ${mailTo.value.trim()}`, answer.mail) : null);
    } catch (err) {
      if (!err.noAuth) replace(results, h('p', { class: 'notice notice-error' }, icon('alert'), h('span', {}, `No test was sent: ${errorText(err)}`)));
      else replace(results);
    } finally {
      refresh();
    }
  });

  const el = h('section', { class: 'card settings-wide', 'aria-labelledby': 'alerts-h' },
    h('h2', { id: 'alerts-h', class: 'card-title' }, icon('alert'), 'Alerts'),
    h('p', { class: 'muted small' }, 'When a bell fails or is missed, or a health check turns to error and back, the player says so here. A failed send is tried again after 1, 5 and 30 minutes; the journal keeps every attempt.'),
    field('Webhook address', webhook, { hint: 'The alert is sent there as JSON (event, player, time, the bell or the check, message, remedy).' }).el,
    field('E-mail address', mailTo, { hint: 'One address; leave empty for no mail.' }).el,
    field('SMTP server', smtp, { hint: 'smtp://host:port (encrypted when the server offers it) or smtps://host:port.' }).el,
    field('Sender address', mailFrom, { hint: 'Optional: the address the mail comes from.' }).el,
    h('div', { class: 'alert-test' }, testButton, hint),
    results);

  return {
    el,
    wanted: () => ({
      'alerts.webhookUrl': webhook.value.trim(),
      'alerts.mailTo': mailTo.value.trim(),
      'alerts.mailFrom': mailFrom.value.trim(),
      'alerts.smtpServer': smtp.value.trim(),
    }),
    paths: PATHS,
    refresh,
  };
}
