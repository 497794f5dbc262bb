// The bell journal: a day's bells and plays with how each ended; failures and missed bells at a glance,
// and the day as a CSV file.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { notice, errorText } from '../widgets/notice.js';
import { navigate } from '../router.js';
import { parseDate, formatDateKey } from '../time.js';
import { live } from '../live.js';
import { dueTime, plannedTime, kindText, reasonText, isProblem, isEmergency, OUTCOME_LABEL } from '../journal-words.js';

export const title = 'Journal';

const CSV_COLUMNS = ['due', 'kind', 'outcome', 'reason', 'code', 'detail', 'started', 'plays', 'signalId', 'signalName',
  'timetableId', 'timetableName', 'lesson', 'extra', 'slot', 'planned', 'routine', 'drill'];

function csvCell(value) {
  const text = value === null || value === undefined ? '' : String(value);
  // A cell a spreadsheet would run as a formula is kept as text.
  const safe = /^[=+\-@\t\r]/.test(text) ? `'${text}` : text;
  return /[",\n\r]/.test(safe) ? `"${safe.replace(/"/g, '""')}"` : safe;
}

export function journalCsv(entries) {
  return [CSV_COLUMNS.join(','), ...entries.map((e) => CSV_COLUMNS.map((c) => csvCell(e[c])).join(','))].join('\r\n') + '\r\n';
}

function shiftDay(dateKey, days) {
  const d = parseDate(dateKey);
  d.setDate(d.getDate() + days);
  return formatDateKey(d);
}

function startedText(entry) {
  const m = /T(\d\d:\d\d:\d\d(?:\.\d+)?)/.exec(entry.started || '');
  return m ? m[1] : '—';
}

export function render(main, { query }) {
  const today = live.overview && live.overview.activeTimetableInfo ? live.overview.activeTimetableInfo.date : formatDateKey(new Date());
  const wanted = query.get('date');
  const date = parseDate(wanted) ? wanted : today;
  let onlyProblems = query.get('show') === 'problems';
  let day = null;

  const dateInput = h('input', { type: 'date', id: 'journal-date', value: date, max: today });
  dateInput.addEventListener('change', () => { if (parseDate(dateInput.value)) go(dateInput.value); });
  const filter = h('input', { type: 'checkbox', id: 'journal-problems', checked: onlyProblems });
  filter.addEventListener('change', () => {
    onlyProblems = filter.checked;
    draw();
  });
  const download = h('button', { type: 'button', class: 'button', disabled: true, onclick: () => saveCsv() }, icon('download'), 'Download CSV');
  const summary = h('div', { class: 'journal-summary', 'data-testid': 'journal-summary' });
  const body = h('div', { class: 'journal-body' }, h('p', { class: 'muted' }, 'Loading…'));

  replace(main,
    h('h1', { class: 'page-title' }, 'Journal'),
    h('p', { class: 'page-intro' }, 'Every bell of a day and how it ended: rang, failed, stopped, or missed because the player was not running, the scheduler was off, the clock jumped or an emergency routine silenced the bells. Emergency routines are journaled too, each marked as a drill or real.'),
    h('section', { class: 'card', 'aria-labelledby': 'journal-h' },
      h('h2', { id: 'journal-h', class: 'card-title' }, icon('list'), 'Bells of the day'),
      h('div', { class: 'journal-tools' },
        h('button', { type: 'button', class: 'button button-small', 'aria-label': 'Previous day', onclick: () => go(shiftDay(date, -1)) }, icon('left')),
        h('div', { class: 'field field-inline' }, h('label', { for: 'journal-date' }, 'Day'), dateInput),
        h('button', { type: 'button', class: 'button button-small', 'aria-label': 'Next day', disabled: date >= today, onclick: () => go(shiftDay(date, 1)) }, icon('right')),
        h('label', { class: 'check', for: 'journal-problems' }, filter, 'Only failed and missed bells'),
        download),
      summary, body));

  function go(next) {
    const params = new URLSearchParams({ date: next });
    if (onlyProblems) params.set('show', 'problems');
    navigate(`/journal?${params}`);
  }

  function draw() {
    if (!day) return;
    const s = day.summary;
    replace(summary,
      [['rang', s.rang, 'ok'], ['failed', s.failed, 'danger'], ['missed', s.missed, 'danger'], ['stopped', s.stopped, 'neutral']]
        .map(([name, count, tone]) => h('span', { class: `badge badge-${count ? tone : 'neutral'}`, dataset: { count: name } }, `${count} ${name}`)));
    const shown = onlyProblems ? day.entries.filter(isProblem) : day.entries;
    if (shown.length === 0) {
      replace(body, notice(day.entries.length === 0 ? 'Nothing was journaled on this day.' : 'No bell failed or was missed on this day.', 'info'));
      return;
    }
    const rows = shown.map((e) => h('tr', { class: `journal-row outcome-${e.outcome}${isEmergency(e) ? ` is-emergency${e.drill ? ' is-drill' : ''}` : ''}` },
      h('td', { 'data-label': 'Due' }, dueTime(e), plannedTime(e) ? h('span', { class: 'planned-time', 'data-testid': 'journal-planned' }, ` (${plannedTime(e)})`) : null),
      h('th', { scope: 'row', 'data-label': 'What' }, kindText(e), e.timetableName ? h('span', { class: 'muted small journal-from' }, ` · ${e.timetableName}`) : null),
      h('td', { 'data-label': 'Signal' }, e.signalName || e.signalId || '—'),
      h('td', { 'data-label': 'Outcome' }, h('span', { class: `outcome-badge outcome-${e.outcome}` }, OUTCOME_LABEL[e.outcome] || e.outcome)),
      h('td', { 'data-label': 'Why', class: 'journal-why' }, reasonText(e) || '—'),
      h('td', { 'data-label': 'Player started' }, startedText(e))));
    replace(body, h('div', { class: 'table-wrap' }, h('table', { class: 'table journal-table' },
      h('thead', {}, h('tr', {}, ['Due', 'What', 'Signal', 'Outcome', 'Why', 'Player started'].map((t) => h('th', { scope: 'col' }, t)))),
      h('tbody', {}, rows))));
  }

  function saveCsv() {
    const url = URL.createObjectURL(new Blob([journalCsv(day.entries)], { type: 'text/csv' }));
    const a = h('a', { href: url, download: `journal-${day.date}.csv`, hidden: true });
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
  }

  (async () => {
    try {
      day = await api.journal(date);
      download.disabled = false;
      draw();
    } catch (err) {
      if (!err.noAuth) replace(body, notice(errorText(err), 'error'));
    }
  })();
}
