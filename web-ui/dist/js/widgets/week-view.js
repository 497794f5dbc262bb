// Seven days side by side, Monday first: the timetable each uses and why, and every bell as the player
// will ring it (the days' adjustments applied). Printable, for the notice board.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';
import { notice, errorText } from './notice.js';
import { parseDate, formatDateKey } from '../time.js';
import { dateOfDayText } from '../dates.js';
import { adjustmentText, plannedText } from '../adjustment-words.js';
import { printSection } from '../print.js';
import { bellWords } from '../bell-words.js';


/** Why a day rings what it rings, in one or two words: default, weekday, planned, holiday, break… */
export function dayWhy(day) {
  if (day.source === 'DISABLED') return 'Bells off';
  if (day.source === 'DAILY_OVERRIDE') return day.id === 'NULL' ? 'No bells today' : 'Chosen for today';
  if (day.source === 'PLANNED') return day.id === 'NULL' ? 'Planned without bells' : 'Planned';
  if (day.source === 'WEEKDAY') return 'Weekday timetable';
  if (day.id !== 'NULL') return day.timetableName ? 'Default' : 'Missing timetable';
  if (day.dayReason === 'HOLIDAY') return 'Public holiday';
  if (day.dayReason === 'SCHOOL_BREAK') return 'School break';
  return 'Day off';
}

function mondayOf(key) {
  const d = parseDate(key) || new Date();
  d.setDate(d.getDate() - ((d.getDay() + 6) % 7));
  return d;
}

/** "14 Dec – 20 Dec 2026" in the browser's words; both years when the week spans two. */
export function rangeText(first, last) {
  const sameYear = first.getFullYear() === last.getFullYear();
  return `${dateOfDayText(first, sameYear ? 'dayMonthShort' : 'dayMonthYearShort')} – ${dateOfDayText(last, 'dayMonthYearShort')}`;
}

function bellLine(bell) {
  const what = bellWords(bell.kind, bell.lesson + 1);
  return h('li', { class: 'week-bell' },
    h('span', { class: 'week-bell-time' }, bell.time), ' ', what,
    bell.planned ? h('span', { class: 'planned-time' }, plannedText(bell)) : null);
}

/** todayKey: the player's date; onPick(dateKey) when a day's heading is chosen. */
export function createWeekView({ todayKey, onPick }) {
  const el = h('div', { class: 'week-view', 'data-testid': 'week-view' });
  let monday = mondayOf(todayKey);

  // Only the week asked for last is drawn, whichever answer comes first.
  let asked = 0;

  async function show(key) {
    asked += 1;
    const mine = asked;
    if (key) monday = mondayOf(key);
    const dates = Array.from({ length: 7 }, (_, i) => {
      const d = new Date(monday);
      d.setDate(monday.getDate() + i);
      return d;
    });
    let days;
    try {
      days = await Promise.all(dates.map((d) => api.day(formatDateKey(d))));
    } catch (err) {
      if (!err.noAuth && mine === asked) replace(el, notice(errorText(err), 'error'));
      return;
    }
    if (mine !== asked) return;
    const range = rangeText(dates[0], dates[6]);
    const step = (weeks) => {
      const d = new Date(monday);
      d.setDate(d.getDate() + 7 * weeks);
      show(formatDateKey(d));
    };
    replace(el,
      h('div', { class: 'week-nav no-print' },
        h('button', { type: 'button', class: 'button', onclick: () => step(-1) }, icon('left'), 'Previous week'),
        h('h2', { class: 'card-title week-title', 'aria-live': 'polite', 'data-testid': 'week-title' }, `Week of ${range}`),
        h('button', { type: 'button', class: 'button', onclick: () => step(1) }, 'Next week', icon('right')),
        h('button', { type: 'button', class: 'button', 'data-testid': 'print-week', onclick: () => printSection(el, `Bells, ${range}`) }, 'Print the week')),
      h('div', { class: 'week-grid' }, days.map((day, i) => {
        const key = formatDateKey(dates[i]);
        const ringing = day.bells.filter((b) => b.desc.id !== 'NULL');
        const adjusted = adjustmentText(day.adjustment, 'The day');
        return h('section', { class: `week-day${key === todayKey ? ' is-today' : ''}`, 'data-testid': 'week-day', dataset: { date: key } },
          h('h3', { class: 'week-day-title' },
            h('button', { type: 'button', class: 'week-day-button', onclick: () => onPick && onPick(key) },
              dateOfDayText(dates[i], 'weekdayDayMonthShort'))),
          h('p', { class: 'week-timetable', 'data-testid': 'week-timetable' }, day.timetableName || 'No bells'),
          h('p', { class: 'week-why muted small', 'data-testid': 'week-why' }, dayWhy(day)),
          adjusted ? h('p', { class: 'week-adjusted small', 'data-testid': 'week-adjusted' }, `Adjusted: ${adjusted}`) : null,
          ringing.length ? h('ul', { class: 'week-bells' }, ringing.map(bellLine)) : null);
      })));
  }

  return { el, show };
}
