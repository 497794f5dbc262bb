// Play an announcement that the player downloads from the maker's service.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { notice, errorText } from '../widgets/notice.js';
import { field } from '../widgets/fields.js';
import { live, refreshInfo } from '../live.js';
import { internetText, checkedText } from '../internet-words.js';
import { announceFailure } from '../announce-words.js';

export const title = 'Announcements';

const played = [];
// The choice that leaves the list for an id typed by hand.
const OTHER = '';

// What went wrong and what to do, the player's technical words only as details, and its internet state
// as the failed download has just left it: together they tell an unknown id from a service out of reach.
async function failureWords({ message, detail }) {
  const lines = [h('span', { class: 'announce-reason' }, `The announcement was not played. ${message}`)];
  if (detail) lines.push(h('span', { class: 'announce-detail small', 'data-testid': 'announce-detail' }, `Details: ${detail}`));
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
  const idLabel = idField.el.querySelector('label');
  // Shown once the service lists its announcements; until then, and without a list, the id is typed.
  const choice = h('select', { id: 'announce-choice' });
  const choiceField = field('Announcement', choice, { hint: 'The recorded announcements the service offers.' });
  choiceField.el.hidden = true;
  let names = new Map();
  const result = h('div', { class: 'form-message', 'data-testid': 'announce-result' });
  const submit = h('button', { type: 'submit', class: 'button button-primary' }, icon('megaphone'), 'Play announcement');
  const log = h('div', {});

  const listed = () => !choiceField.el.hidden;
  const showIdField = () => {
    idField.el.hidden = listed() && choice.value !== OTHER;
  };
  choice.addEventListener('change', () => {
    idField.setError('');
    showIdField();
    if (!idField.el.hidden) input.focus();
  });

  async function loadList() {
    let answer;
    try {
      answer = await api.announcements();
    } catch {
      return; // an older player, or none reachable: the id field serves
    }
    const offered = answer && answer.listed && Array.isArray(answer.announcements)
      ? answer.announcements.filter((a) => a && typeof a.id === 'string' && a.id !== '') : [];
    if (offered.length === 0 || !main.isConnected) return;
    names = new Map(offered.map((a) => [a.id, a.name || a.id]));
    replace(choice,
      offered.map((a) => h('option', { value: a.id }, a.name || a.id)),
      h('option', { value: OTHER }, 'Other id…'));
    // An id typed meanwhile is kept.
    choice.value = input.value.trim() === '' ? offered[0].id : OTHER;
    idLabel.textContent = 'Other id';
    choiceField.el.hidden = false;
    showIdField();
  }

  const form = h('form', { class: 'announce-form', novalidate: true }, choiceField.el, idField.el, result, h('div', { class: 'form-actions' }, submit));
  form.addEventListener('submit', async (e) => {
    e.preventDefault();
    const fromList = listed() && choice.value !== OTHER;
    const id = fromList ? choice.value : input.value.trim();
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
    const entry = { id, name: names.get(id) || '', at: live.status ? live.status.time : '', ok: false, text: '' };
    try {
      await api.announce(id);
      entry.ok = true;
      entry.text = 'Played.';
      replace(result, notice(`Announcement ${id} is playing.`, 'ok'));
    } catch (err) {
      const words = announceFailure(errorText(err));
      entry.text = words.message;
      if (!err.noAuth) replace(result, notice(await failureWords(words), 'error'));
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
      h('span', { class: 'history-id' }, e.name && e.name !== e.id ? `${e.name} (${e.id})` : e.id),
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
  loadList();
}
