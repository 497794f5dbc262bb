// The dashboard's first-run checklist. A new player rings at once with guesses (the factory timetable,
// the sample region), so the administrator is walked through them until each is done or the list is hidden.

import { h, replace, nextId } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';
import { toast, errorText } from './notice.js';
import { workdayModeLabel } from '../labels.js';
import { SETUP_STEPS, checklistOpen } from '../setup-steps.js';

const FACTORY_TIMETABLE_ID = 'ID_factory_default_timetable';

function regionName(regions, id) {
  const region = (regions || []).find((r) => r.id === id);
  if (!region) return id || 'none';
  return region.name ? `${region.name} (${region.id})` : region.id;
}

function timetableName(timetables, id) {
  const tt = (timetables || []).find((t) => t.id === id);
  return tt ? tt.name : id;
}

// What each step is about, what the player uses now, and where it is done.
function stepTexts(step, { settings, regions, timetables }) {
  const cal = settings.calendar || {};
  switch (step) {
    case 'region': return {
      title: 'Calendar region',
      why: 'Public holidays, school breaks and extra working days come from it.',
      now: `Now: ${regionName(regions, cal.syncRegionId)}.`,
      link: 'Choose the region', href: '/settings?step=region',
    };
    case 'workingWeek': return {
      title: 'Working week',
      why: 'Bells ring on these days, unless the calendar says otherwise.',
      now: `Now: ${workdayModeLabel(cal.workdayMode)}.`,
      link: 'Choose the working week', href: '/settings?step=workingWeek',
    };
    case 'timetable': {
      const own = (timetables || []).filter((t) => t.id !== FACTORY_TIMETABLE_ID);
      return {
        title: 'Your school’s timetable',
        why: 'The lesson times and the signals of your school.',
        now: own.length ? `Now: ${own.length === 1 ? '1 timetable' : `${own.length} timetables`} besides the factory one.` : 'Now: only the factory timetable.',
        link: 'Make a timetable', href: '/timetables',
      };
    }
    default: return {
      title: 'Default timetable',
      why: 'It rings on every working day unless another timetable is chosen for the day.',
      now: `Now: ${timetableName(timetables, settings.defaultTimetableId)}.`,
      link: 'Choose the default timetable', href: '/settings?step=defaultTimetable',
    };
  }
}

/** `update({settings, regions, timetables})` draws it; nothing shows once the list is done or hidden. */
export function setupChecklist() {
  const el = h('section', { class: 'card setup-card', 'aria-labelledby': 'setup-h', 'data-testid': 'setup-checklist', hidden: true });
  let state = null;

  async function mark(paths, button) {
    button.disabled = true;
    try {
      await api.updateSettings(paths);
      const checklist = { ...state.settings.setupChecklist };
      for (const path of Object.keys(paths)) checklist[path.split('.')[1]] = true;
      state = { ...state, settings: { ...state.settings, setupChecklist: checklist } };
      draw();
      if (checklist.dismissed) toast('The checklist is hidden. Everything on it stays in the settings and the timetables.', 'ok');
    } catch (err) {
      button.disabled = false;
      if (!err.noAuth) toast(`That could not be saved: ${errorText(err)}`, 'error');
    }
  }

  function draw() {
    const checklist = state && state.settings && state.settings.setupChecklist;
    el.hidden = !checklistOpen(checklist);
    if (el.hidden) {
      replace(el);
      return;
    }
    const done = SETUP_STEPS.filter((step) => checklist[step] !== false).length;
    replace(el,
      h('h2', { id: 'setup-h', class: 'card-title' }, icon('check'), 'Finish setting up'),
      h('p', { class: 'setup-intro' },
        'The player rings already, with a factory timetable and a sample region. Check these before the first school day. ',
        h('span', { class: 'muted', 'data-testid': 'setup-progress' }, `${done} of ${SETUP_STEPS.length} done.`)),
      h('ol', { class: 'setup-steps' }, SETUP_STEPS.map((step) => {
        const t = stepTexts(step, state);
        const isDone = checklist[step] !== false;
        const titleId = nextId('setup-step');
        return h('li', { class: `setup-step${isDone ? ' is-done' : ''}`, dataset: { step } },
          h('span', { class: 'setup-mark', 'aria-hidden': 'true' }, isDone ? icon('check') : null),
          h('div', { class: 'setup-step-text' },
            h('strong', { id: titleId }, t.title, isDone ? h('span', { class: 'sr-only' }, ' (done)') : null),
            h('span', { class: 'muted small' }, `${t.why} ${t.now}`)),
          isDone
            ? h('span', { class: 'badge badge-ok' }, 'Done')
            : h('span', { class: 'setup-actions' },
              h('a', { href: t.href, class: 'button button-small button-primary', 'aria-describedby': titleId }, t.link),
              h('button', {
                type: 'button', class: 'button button-small', 'aria-describedby': titleId,
                onclick: (e) => mark({ [`setupChecklist.${step}`]: true }, e.currentTarget),
              }, 'Keep it as it is')));
      })),
      h('div', { class: 'setup-foot' },
        h('button', {
          type: 'button', class: 'button button-small button-quiet',
          onclick: (e) => mark({ 'setupChecklist.dismissed': true }, e.currentTarget),
        }, icon('x'), 'Hide this list')));
  }

  return {
    el,
    update(next) {
      state = next;
      draw();
    },
  };
}
