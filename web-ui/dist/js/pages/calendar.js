// Month view of the chosen calendar region: public holidays, school breaks and extra working days.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { notice, errorText } from '../widgets/notice.js';
import { parseDate, formatDateKey } from '../time.js';
import { WEEKDAYS, workdaysOf, workdayModeLabel } from '../labels.js';
import { createDayPanel } from '../widgets/day-panel.js';
import { createWeekView } from '../widgets/week-view.js';
import { setPrintedName } from '../print.js';
import { dateText, monthText, dateTimeText, weekdayText } from '../dates.js';

export const title = 'Calendar';

const TYPES = {
  holiday: { label: 'Public holiday', short: 'Holiday' },
  break: { label: 'School break', short: 'Break' },
  'break-off': { label: 'School break (not applied)', short: 'Break' },
  extra: { label: 'Extra working day', short: 'Workday' },
  workday: { label: 'Working day', short: '' },
  dayoff: { label: 'Day off', short: '' },
};

/** The same order of rules as the player uses to classify a day. */
export function classify(dateKey, weekday, region, calendarSettings) {
  if (region) {
    if ((region.holidays || []).includes(dateKey)) return 'holiday';
    if ((region.extraWorkdays || []).includes(dateKey)) return 'extra';
    if ((region.schoolBreaks || []).includes(dateKey)) {
      return region.provideHolidays !== false && calendarSettings.syncSchoolHolidays ? 'break' : 'break-off';
    }
  }
  return workdaysOf(calendarSettings.workdayMode).includes(weekday) ? 'workday' : 'dayoff';
}

const mondayBased = (date) => (date.getDay() + 6) % 7;

function monthKey(year, month) {
  return `${year}-${String(month + 1).padStart(2, '0')}`;
}

export function render(main, { query }) {
  const head = h('div', { class: 'cal-meta' }, h('p', { class: 'muted' }, 'Loading…'));
  const gridSlot = h('div', { class: 'cal-grid-slot' });
  const daySlot = h('section', { class: 'card day-card', 'aria-label': 'Day' });
  const weekSlot = h('section', { class: 'card week-card', 'aria-label': 'Week' });
  replace(main,
    h('h1', { class: 'page-title' }, 'Calendar'),
    head,
    h('section', { class: 'card cal-card', 'aria-label': 'Month' }, gridSlot),
    daySlot,
    weekSlot);
  let panel = null;
  let week = null;
  let selectedKey = '';

  let data = null;
  let year;
  let month;
  let todayKey = '';

  async function load() {
    try {
      const [settings, info, overview] = await Promise.all([api.settings(), api.calendarInfo(), api.overview()]);
      const cal = settings.calendar || {};
      const region = (info.regions || []).find((r) => r.id === cal.syncRegionId) || null;
      todayKey = overview.activeTimetableInfo ? overview.activeTimetableInfo.date : formatDateKey(new Date());
      const today = await api.day(todayKey);
      const planned = new Map((settings.plannedDays || []).map((p) => [p.date, p.timetableId]));
      data = { cal, region, info, planned, dataUntil: today.calendarDataUntil, timetables: overview.timetables || [] };
      setPrintedName(settings.schoolName);
      if (!panel) {
        panel = createDayPanel({ timetables: data.timetables, todayKey, onPlanned: reloadPlans });
        week = createWeekView({ todayKey, onPick: (key) => pick(key) });
        replace(daySlot, panel.el);
        replace(weekSlot, week.el);
        selectedKey = todayKey;
        panel.show(todayKey);
        week.show(todayKey);
      }
      const wanted = /^(\d{4})-(\d{2})$/.exec(query.get('month') || '');
      const base = wanted ? new Date(Number(wanted[1]), Number(wanted[2]) - 1, 1, 12) : (parseDate(todayKey) || new Date());
      year = base.getFullYear();
      month = base.getMonth();
      drawHead();
      drawMonth();
    } catch (err) {
      if (!err.noAuth) replace(head, notice(errorText(err), 'error'));
    }
  }

  async function reloadPlans() {
    const settings = await api.settings();
    data.planned = new Map((settings.plannedDays || []).map((p) => [p.date, p.timetableId]));
    drawMonth();
    week.show(selectedKey);
  }

  function pick(key) {
    selectedKey = key;
    panel.show(key);
    week.show(key);
    drawMonth();
  }

  function drawHead() {
    const { cal, region, info, dataUntil } = data;
    replace(head,
      h('dl', { class: 'facts facts-inline' },
        h('div', {}, h('dt', {}, 'Region'), h('dd', { 'data-testid': 'cal-region' }, region ? `${region.name || region.id} (${region.id})` : `${cal.syncRegionId || 'none'}`)),
        h('div', {}, h('dt', {}, 'Working week'), h('dd', {}, workdayModeLabel(cal.workdayMode))),
        h('div', {}, h('dt', {}, 'Last synchronised'), h('dd', { 'data-testid': 'cal-last-update' }, info.lastUpdate ? dateTimeText(info.lastUpdate) : 'Never'))),
      region ? null : notice(
        (info.regions || []).length === 0
          ? 'No calendar data has been received from the service yet. Until then only the working week decides which days ring.'
          : `The chosen region “${cal.syncRegionId}” is not in the calendar data. Choose another region in the settings.`, 'warn'),
      dataUntil ? h('p', { class: 'muted small', 'data-testid': 'cal-data-until' }, `No calendar data after ${dateText(dataUntil)}`) : null,
      h('p', { class: 'muted small' }, h('a', { href: '/settings' }, 'Change the region or the working week in the settings.')));
  }

  function go(delta) {
    const d = new Date(year, month + delta, 1, 12);
    year = d.getFullYear();
    month = d.getMonth();
    history.replaceState(null, '', `/calendar?month=${monthKey(year, month)}`);
    drawMonth();
  }

  function monthsFromToday() {
    const t = parseDate(todayKey) || new Date();
    return (t.getFullYear() - year) * 12 + (t.getMonth() - month);
  }

  function drawMonth() {
    const { cal, region, planned, dataUntil } = data;
    const first = new Date(year, month, 1, 12);
    const days = new Date(year, month + 1, 0).getDate();
    const lead = mondayBased(first);
    const cells = [];
    const marked = [];
    for (let i = 0; i < lead; i += 1) cells.push(h('td', { class: 'day day-empty' }));
    for (let d = 1; d <= days; d += 1) {
      const date = new Date(year, month, d, 12);
      const key = formatDateKey(date);
      const weekday = mondayBased(date);
      const type = classify(key, weekday, region, cal);
      const t = TYPES[type];
      const isToday = key === todayKey;
      const plan = planned.get(key);
      const timetable = plan && data.timetables.find((x) => x.id === plan);
      const planText = plan === undefined ? '' : `, planned: ${plan === 'NULL' ? 'no bells' : (timetable ? timetable.name : plan)}`;
      const noData = Boolean(dataUntil) && key > dataUntil;
      const label = `${dateText(key, 'long')}: ${t.label}${planText}${isToday ? ', today' : ''}`;
      if (t.short) marked.push({ key, d, weekday, t, type });
      const classes = `day day-${type}${isToday ? ' is-today' : ''}${plan !== undefined ? ' is-planned' : ''}${noData ? ' no-data' : ''}${key === selectedKey ? ' is-selected' : ''}`;
      cells.push(h('td', { class: classes, dataset: { date: key, type }, title: label },
        h('button', { type: 'button', class: 'day-button', 'aria-pressed': key === selectedKey ? 'true' : 'false', onclick: () => pick(key) },
          h('span', { class: 'sr-only' }, label),
          h('span', { class: 'day-num', 'aria-hidden': 'true' }, String(d))),
        plan !== undefined ? h('span', { class: 'day-plan', 'aria-hidden': 'true', 'data-testid': 'day-plan' },
          plan === 'NULL' ? 'No bells' : (timetable ? timetable.name : 'Planned')) : null,
        t.short ? h('span', { class: 'day-tag', 'aria-hidden': 'true' }, t.short) : null));
    }
    while (cells.length % 7) cells.push(h('td', { class: 'day day-empty' }));
    const weeks = [];
    for (let i = 0; i < cells.length; i += 7) weeks.push(h('tr', {}, cells.slice(i, i + 7)));

    const titleId = 'cal-title';
    replace(gridSlot,
      h('div', { class: 'cal-nav' },
        h('button', { type: 'button', class: 'button', onclick: () => go(-1) }, icon('left'), h('span', { class: 'hide-sm' }, 'Previous'), h('span', { class: 'sr-only' }, ' month')),
        h('h2', { id: titleId, class: 'cal-title', 'aria-live': 'polite' }, monthText(year, month)),
        h('button', { type: 'button', class: 'button', onclick: () => go(1) }, h('span', { class: 'hide-sm' }, 'Next'), h('span', { class: 'sr-only' }, ' month'), icon('right'))),
      // Only away from today's month: there it would lead nowhere.
      h('div', { class: 'cal-today-row' }, monthsFromToday() === 0 ? null :
        h('button', { type: 'button', class: 'button button-small button-quiet', onclick: () => go(monthsFromToday()) }, 'Back to this month')),
      h('table', { class: 'cal-grid', 'aria-labelledby': titleId },
        h('thead', {}, h('tr', {}, WEEKDAYS.map((w, i) => h('th', { scope: 'col', abbr: weekdayText(i, 'long') }, weekdayText(i))))),
        h('tbody', {}, weeks)),
      h('ul', { class: 'cal-legend', 'aria-label': 'Legend' },
        ['holiday', 'break', 'extra', 'dayoff'].map((type) => h('li', {}, h('span', { class: `legend-swatch day-${type}` }), TYPES[type].label)),
        h('li', {}, h('span', { class: 'legend-swatch swatch-today' }), 'Today'),
        h('li', {}, h('span', { class: 'legend-swatch swatch-planned' }), 'Planned day'),
        dataUntil ? h('li', {}, h('span', { class: 'legend-swatch swatch-no-data' }), `No calendar data (after ${dateText(dataUntil)})`) : null,
        cal.syncSchoolHolidays ? null : h('li', {}, h('span', { class: 'legend-swatch day-break-off' }), TYPES['break-off'].label)),
      h('h3', { class: 'section-title' }, `Marked days in ${monthText(year, month, 'month')}`),
      marked.length === 0
        ? h('p', { class: 'muted' }, 'No holidays, school breaks or extra working days this month.')
        : h('ul', { class: 'marked-list' }, marked.map((m) => h('li', { class: `marked marked-${m.type}` },
          h('span', { class: `legend-swatch day-${m.type}` }),
          h('span', { class: 'marked-date' }, dateText(m.key, 'short')),
          h('span', {}, m.t.label)))));
  }

  load();
}
