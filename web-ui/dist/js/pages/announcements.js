// Play an announcement that the player downloads from the maker's service.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { notice, errorText } from '../widgets/notice.js';
import { field } from '../widgets/fields.js';
import { live, refreshInfo } from '../live.js';
import { internetText, checkedText } from '../internet-words.js';

export const title = 'Announcements';

const played = [];

// The player's reason, and its internet state as the failed download has just left it: together they
// tell an unknown id from a player that cannot reach the service.
async function failureWords(reason) {
  const lines = [h('span', { class: 'announce-reason' }, `The announcement was not played. ${reason}`)];
  try {
    const info = await refreshInfo();
    lines.push(h('span', { class: 'announce-internet', 'data-testid': 'announce-internet' }, `${internetText(info)} (${checkedText(info)}).`));
  } catch {
    // Without the state the reason alone still says what happened.
  }
  return lines;
}

export function render(main) {
  const input = h('input', { id: 'announce-id', type: 'text', autocomplete: 'off', spellcheck: 'false', maxlength: '200' });
  const idField = field('Announcement id', input, { hint: 'The id given by the service for the recorded announcement.' });
  const result = h('div', { class: 'form-message', 'data-testid': 'announce-result' });
  const submit = h('button', { type: 'submit', class: 'button button-primary' }, icon('megaphone'), 'Play announcement');
  const log = h('div', {});

  const form = h('form', { class: 'announce-form', novalidate: true }, idField.el, result, h('div', { class: 'form-actions' }, submit));
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    const id = input.value.trim();
    replace(result);
    if (id === '') {
      idField.setError('Enter the id of an announcement.');
      input.focus();
      return;
    }
    if (id.includes('/')) {
      idField.setError('An announcement id cannot contain “/”.');
      input.focus();
      return;
    }
    idField.setError('');
    submit.disabled = true;
    replace(result, h('p', { class: 'muted' }, 'Downloading and starting the announcement…'));
    const entry = { id, at: live.status ? live.status.time : '', ok: false, text: '' };
    try {
      await api.announce(id);
      entry.ok = true;
      entry.text = 'Played.';
      replace(result, notice(`Announcement ${id} is playing.`, 'ok'));
    } catch (err) {
      entry.text = errorText(err);
      if (!err.noAuth) replace(result, notice(await failureWords(entry.text), 'error'));
    } finally {
      submit.disabled = false;
    }
    played.unshift(entry);
    drawLog();
  });

  function drawLog() {
    if (played.length === 0) {
      replace(log, h('p', { class: 'muted' }, 'Nothing played yet in this browser session.'));
      return;
    }
    replace(log, h('ul', { class: 'history-list' }, played.slice(0, 10).map((e) => h('li', { class: e.ok ? 'is-ok' : 'is-error' },
      icon(e.ok ? 'check' : 'alert'),
      h('span', { class: 'history-time' }, e.at),
      h('span', { class: 'history-id' }, e.id),
      h('span', { class: 'muted' }, e.text)))));
  }

  replace(main,
    h('h1', { class: 'page-title' }, 'Announcements'),
    h('p', { class: 'page-intro' }, 'The player fetches the announcement from the service and plays it on the speakers at once. This needs internet access.'),
    h('section', { class: 'card', 'aria-labelledby': 'ann-h' },
      h('h2', { id: 'ann-h', class: 'card-title' }, icon('megaphone'), 'Play an announcement'), form),
    h('section', { class: 'card', 'aria-labelledby': 'hist-h' },
      h('h2', { id: 'hist-h', class: 'card-title' }, icon('clock'), 'Recently played'), log));
  drawLog();
}
