// Today's bells drawn on a time axis, with a list of the same bells for reading and screen readers.

import { h, replace } from '../dom.js';
import { formatTime, formatDuration } from '../time.js';
import { describeBell } from '../schedule.js';
import { signalName } from './signal-select.js';
import { icon } from './icons.js';
import { isDeletedSignal, DELETED_SIGNAL_WARNING } from '../signal-uses.js';

const PAD = 15 * 60;

function rangeOf(bells, lessons) {
  const times = [...bells.map((b) => b.seconds), ...lessons.flatMap((l) => [l.start, l.end])];
  const lo = Math.max(0, Math.floor((Math.min(...times) - PAD) / 3600) * 3600);
  const hi = Math.min(86400, Math.ceil((Math.max(...times) + PAD) / 3600) * 3600);
  return { lo, hi: Math.max(hi, lo + 3600) };
}

export function createTimeline({ bells, lessons, signals }) {
  const { lo, hi } = rangeOf(bells, lessons);
  const pct = (t) => `${(((t - lo) / (hi - lo)) * 100).toFixed(3)}%`;
  const hours = [];
  const stepHours = (hi - lo) / 3600 > 12 ? 2 : 1;
  for (let t = lo, i = 0; t <= hi; t += 3600 * stepHours, i += 1) {
    // Every other label gives way on narrow screens.
    hours.push(h('span', { class: `tl-hour${i % 2 ? ' tl-hour-minor' : ''}`, style: { left: pct(t) } }, formatTime(t)));
  }
  const now = h('div', { class: 'tl-now', hidden: true });
  const markers = bells.map((b) => h('div', { class: `tl-bell tl-${b.kind}`, style: { left: pct(b.seconds) }, title: `${formatTime(b.seconds)} ${describeBell(b)}` }));
  const blocks = lessons.map((l) => h('div', {
    class: 'tl-lesson',
    style: { left: pct(l.start), width: `calc(${pct(Math.max(l.end, l.start))} - ${pct(l.start)})` },
  }, h('span', {}, String(l.n))));
  const track = h('div', { class: 'tl-track' }, blocks, markers, now);
  const axis = h('div', { class: 'timeline', 'aria-hidden': 'true' }, h('div', { class: 'tl-hours' }, hours), track);

  const whys = bells.map(() => h('span', { class: 'bell-why' }));
  // A deleted signal is said in words under the bell, where narrow screens still show it.
  const deleted = bells.map((b) => isDeletedSignal(signals, b.desc.id));
  const rows = bells.map((b, i) => h('li', { class: `bell-row bell-${b.kind}`, dataset: { seconds: String(b.seconds) } },
    h('span', { class: 'bell-time' }, formatTime(b.seconds),
      b.planned !== null && b.planned !== undefined ? h('span', { class: 'planned-time', 'data-testid': 'planned-time' }, ` (planned ${formatTime(b.planned)})`) : null),
    h('span', { class: 'bell-dot', 'aria-hidden': 'true' }),
    h('span', { class: 'bell-what' }, describeBell(b),
      deleted[i] ? h('span', { class: 'deleted-signal-warning', 'data-testid': 'deleted-signal' }, icon('alert'), DELETED_SIGNAL_WARNING) : null, whys[i]),
    h('span', { class: 'bell-signal' }, deleted[i] ? '' : signalName(signals, b.desc.id)),
    h('span', { class: 'bell-state' })));
  const list = h('ol', { class: 'bell-list', 'aria-label': 'Bells today' }, rows);

  const legend = h('ul', { class: 'tl-legend', 'aria-hidden': 'true' },
    h('li', {}, h('span', { class: 'legend-swatch tl-lesson-swatch' }), 'Lesson'),
    h('li', {}, h('span', { class: 'legend-dot tl-start' }), 'Start / end'),
    h('li', {}, h('span', { class: 'legend-dot tl-preStart' }), 'Pre-signal'),
    h('li', {}, h('span', { class: 'legend-dot tl-extra' }), 'Extra play'),
    h('li', {}, h('span', { class: 'legend-line' }), 'Now'),
    h('li', {}, h('span', { class: 'legend-dot outcome-failed' }), 'Failed or missed'));

  // What happened to each bell, from the journal: {outcome, label, why} or null.
  let outcomes = bells.map(() => null);
  const keepsShowing = (i) => outcomes[i] && (outcomes[i].outcome === 'failed' || outcomes[i].outcome === 'missed');

  let showPast = false;
  const pastToggle = h('button', { type: 'button', class: 'button button-small button-quiet past-toggle', 'aria-expanded': 'false', hidden: true });
  const syncPast = () => {
    const past = rows.filter((r) => r.classList.contains('is-past')).length;
    pastToggle.hidden = past === 0;
    pastToggle.textContent = showPast ? 'Hide earlier bells' : `Show earlier bells (${past})`;
    pastToggle.setAttribute('aria-expanded', String(showPast));
    // Earlier bells fold away, but never one that failed or was missed.
    rows.forEach((r, i) => r.classList.toggle('is-collapsed', !showPast && !keepsShowing(i)));
  };
  pastToggle.addEventListener('click', () => {
    showPast = !showPast;
    syncPast();
  });

  let lastNext = -2;
  return {
    el: h('div', { class: 'timeline-wrap' }, axis, legend, pastToggle, list),
    /** Marks each bell with what happened to it (null: nothing journaled yet). */
    setOutcomes(list) {
      outcomes = bells.map((_, i) => list[i] || null);
      rows.forEach((row, i) => {
        const o = outcomes[i];
        for (const name of ['rang', 'failed', 'missed', 'stopped']) {
          row.classList.toggle(`outcome-${name}`, Boolean(o && o.outcome === name));
          markers[i].classList.toggle(`outcome-${name}`, Boolean(o && o.outcome === name));
        }
        row.dataset.outcome = o ? o.outcome : '';
        whys[i].textContent = o && o.why ? o.why : '';
        markers[i].title = `${formatTime(bells[i].seconds)} ${describeBell(bells[i])}${o ? ` · ${o.label}${o.why ? `: ${o.why}` : ''}` : ''}`;
      });
      lastNext = -2;  // redraws the states and the folding at the next update
    },
    /** Moves the "now" line and marks past and next bells. */
    update(nowSeconds) {
      if (nowSeconds === null) return;
      now.hidden = nowSeconds < lo || nowSeconds > hi;
      now.style.left = pct(Math.min(hi, Math.max(lo, nowSeconds)));
      const nextIndex = bells.findIndex((b) => b.seconds > nowSeconds);
      rows.forEach((row, i) => {
        const past = nextIndex === -1 ? true : i < nextIndex;
        row.classList.toggle('is-past', past);
        const isNext = i === nextIndex || (nextIndex !== -1 && bells[i].seconds === bells[nextIndex].seconds);
        row.classList.toggle('is-next', isNext);
        markers[i].classList.toggle('is-past', past);
        markers[i].classList.toggle('is-next', isNext);
        const state = row.querySelector('.bell-state');
        const outcome = outcomes[i];
        const text = isNext ? `in ${formatDuration(bells[i].seconds - nowSeconds)}` : (outcome ? outcome.label : (past ? 'No record' : ''));
        if (state.textContent !== text) state.textContent = text;
      });
      if (nextIndex !== lastNext) {
        lastNext = nextIndex;
        syncPast();
        if (nextIndex !== -1) rows[nextIndex].setAttribute('aria-current', 'time');
        rows.forEach((row, i) => { if (i !== nextIndex) row.removeAttribute('aria-current'); });
      }
    },
  };
}

export function emptyTimeline(message) {
  return replace(h('div', { class: 'timeline-empty' }), message);
}
