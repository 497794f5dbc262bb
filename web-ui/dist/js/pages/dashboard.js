// Start page: the player's clock, the alarm, the emergency routines, today's timetable and its bells.

import { h, replace, nextId } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { toast, notice, errorText } from '../widgets/notice.js';
import { live, subscribe, serverNowSeconds, refreshOverview } from '../live.js';
import { bellsOf, bellsOfDay, lessonsOfDay, nextBell, describeBell, NO_SIGNAL } from '../schedule.js';
import { createDayAdjustment } from '../widgets/day-adjustment.js';
import { formatTime, formatDuration, parseDate } from '../time.js';
import { typeOfDayLabel, sourceLabel } from '../labels.js';
import { createTimeline } from '../widgets/timeline.js';
import { signalName, signalSelect } from '../widgets/signal-select.js';
import { createHealthStrip } from '../widgets/health-strip.js';
import { entriesForBells, outcomeText, reasonText, OUTCOME_LABEL } from '../journal-words.js';
import { showNextBellDay } from '../widgets/next-bell-day.js';
import { isDeletedSignal, DELETED_SIGNAL_WARNING } from '../signal-uses.js';
import { emergencyCard } from '../widgets/emergency-card.js';
import { dateText } from '../dates.js';
import { setupChecklist } from '../widgets/setup-checklist.js';
import { checklistOpen } from '../setup-steps.js';

export const title = 'Dashboard';

function longDate(info) {
  return info && parseDate(info.date) ? dateText(info.date, 'long') : '';
}

// An emergency control: one press sounds it. The name says what a press does; the line under it says
// that no second step follows.
function alarmButton(onPress) {
  const label = h('span', { class: 'alarm-label', id: nextId('alarm-label') });
  const sub = h('span', { class: 'alarm-sub', id: nextId('alarm-sub') });
  const button = h('button', {
    type: 'button', class: 'alarm-button', 'aria-pressed': 'false', 'data-testid': 'alarm-toggle',
    'aria-labelledby': label.id, 'aria-describedby': sub.id, onclick: onPress,
  }, h('span', { class: 'alarm-icon' }, icon('siren')), h('span', { class: 'alarm-text' }, label, sub));
  return {
    el: button,
    set(active, busy) {
      button.setAttribute('aria-pressed', String(Boolean(active)));
      button.classList.toggle('is-on', Boolean(active));
      button.setAttribute('aria-busy', String(Boolean(busy)));
      button.dataset.state = active ? 'on' : 'off';
      label.textContent = active ? 'Stop the alarm' : 'Sound the alarm';
      sub.textContent = active ? 'The alarm is sounding. One press stops it.' : 'One press starts the alarm on all speakers at once.';
    },
  };
}

export function render(main) {
  let signals = [];
  let timetables = [];
  let settings = null;
  let day = null;
  let infoKey = '';
  let timeline = null;
  let bells = [];
  let alarmBusy = false;
  // The today card is rebuilt when the overview changes; the outcome of a choice must survive that.
  let choiceStatus = '';
  let choiceStatusEl = null;
  const setChoiceStatus = (text) => {
    choiceStatus = text;
    if (choiceStatusEl) choiceStatusEl.textContent = text;
  };

  const clockTime = h('p', { class: 'clock-time', 'data-testid': 'server-time' }, '--:--:--');
  // The clock is the player's, which may differ from this browser's zone.
  const clockZone = h('p', { class: 'clock-zone muted small', 'data-testid': 'server-time-zone' });
  const clockDate = h('p', { class: 'clock-date' });
  const playState = h('p', { class: 'play-state' });
  const alarm = alarmButton(async () => {
    if (alarmBusy) return;
    alarmBusy = true;
    alarm.set(live.overview && live.overview.alarmActive, true);
    try {
      await api.toggleAlarm();
      await refreshOverview();
    } catch (err) {
      toast(`The alarm could not be switched: ${errorText(err)}`, 'error');
    } finally {
      alarmBusy = false;
      alarm.set(live.overview && live.overview.alarmActive, false);
    }
  });
  const todayBody = h('div', { class: 'today-body' }, h('p', { class: 'muted' }, 'Loading…'));
  const health = createHealthStrip();
  const testRingSlot = h('div', { class: 'test-ring' });
  let journalEntries = [];
  const nextBody = h('div', { class: 'next-body', 'data-testid': 'next-bell' }, h('p', { class: 'muted' }, 'Loading…'));
  const timelineBody = h('div', { class: 'timeline-body' });
  const emergency = emergencyCard();
  const setup = setupChecklist();

  replace(main,
    h('h1', { class: 'page-title' }, 'Dashboard'),
    health.el,
    h('div', { class: 'dash-grid' },
      h('section', { class: 'card clock-card', 'aria-labelledby': 'clock-h' },
        h('h2', { id: 'clock-h', class: 'card-title' }, icon('clock'), 'Player time'),
        clockTime, clockZone, clockDate, playState),
      h('section', { class: 'card next-card', 'aria-labelledby': 'next-h' },
        h('h2', { id: 'next-h', class: 'card-title' }, icon('bell'), 'Next bell'), nextBody),
      h('section', { class: 'card today-card', 'aria-labelledby': 'today-h' },
        h('h2', { id: 'today-h', class: 'card-title' }, icon('calendar'), 'Today'), todayBody),
      // After today's choice in the tab order, so tabbing into the page never lands on the alarm first;
      // the grid still shows it at the top.
      h('section', { class: 'card alarm-card', 'aria-labelledby': 'alarm-h' },
        h('h2', { id: 'alarm-h', class: 'card-title' }, icon('siren'), 'Alarm'), alarm.el),
      setup.el,
      emergency.el,
      h('section', { class: 'card timeline-card', 'aria-labelledby': 'tl-h' },
        h('h2', { id: 'tl-h', class: 'card-title' }, icon('table'), 'Bells today'), timelineBody, testRingSlot)));

  const activeTimetable = () => {
    const info = live.overview && live.overview.activeTimetableInfo;
    if (!info || info.id === NO_SIGNAL) return null;
    return timetables.find((t) => t.id === info.id) || null;
  };

  async function loadData() {
    const info = live.overview.activeTimetableInfo;
    // The checklist names the region; asked beside the rest (a short answer), it costs no round trip.
    const [s, t, st, d, regionNames] = await Promise.all([api.signals(), api.timetables(), api.settings(), api.day(info.date),
      api.regionNames().catch(() => [])]);
    signals = s;
    timetables = t;
    settings = st;
    // Today's bells as the player rings them, the day's adjustment applied.
    day = d;
    emergency.setRoutines(st.emergencyRoutines, s);
    // The regions only name the chosen one on the checklist.
    const regions = checklistOpen(st.setupChecklist) ? regionNames : [];
    setup.update({ settings: st, regions, timetables: t });
  }

  function renderToday() {
    const overview = live.overview;
    const info = overview.activeTimetableInfo;
    const active = activeTimetable();
    const selected = settings && settings.dailyPreferences ? settings.dailyPreferences.selectedTimetableId : null;
    const choice = h('select', { id: 'today-choice' },
      h('option', { value: '' }, 'Usual timetable (no choice for today)'),
      h('option', { value: NO_SIGNAL }, 'No bells today'),
      overview.timetables.map((t) => h('option', { value: t.id }, t.name)));
    const known = selected === NO_SIGNAL || overview.timetables.some((t) => t.id === selected);
    choice.value = selected && known ? selected : '';
    const saved = h('span', { class: 'inline-status', 'aria-live': 'polite' }, choiceStatus);
    choiceStatusEl = saved;
    choice.addEventListener('change', async () => {
      setChoiceStatus('Saving…');
      try {
        await api.updateSettings({ 'dailyPreferences.selectedTimetableId': choice.value || null });
        settings = await api.settings();
        infoKey = '';
        await refreshOverview();
        setChoiceStatus(choice.value === NO_SIGNAL ? 'No bells today.' : choice.value ? 'Chosen for today.' : 'Back to the usual timetable.');
      } catch (err) {
        setChoiceStatus('');
        toast(`The choice could not be saved: ${errorText(err)}`, 'error');
      }
    });
    const dayClass = `day-badge is-${String(info.typeOfDay).toLowerCase()}`;
    replace(todayBody,
      h('dl', { class: 'facts' },
        h('div', {}, h('dt', {}, 'Type of day'), h('dd', {}, h('span', { class: dayClass, 'data-testid': 'type-of-day' }, typeOfDayLabel(info.typeOfDay)))),
        h('div', {}, h('dt', {}, 'Timetable in force'), h('dd', { 'data-testid': 'active-timetable' },
          info.id === NO_SIGNAL ? h('span', { class: 'muted' }, 'None') : (active ? h('a', { href: `/timetables/${encodeURIComponent(active.id)}` }, active.name) : h('span', { class: 'muted' }, `Missing (${info.id})`)))),
        h('div', {}, h('dt', {}, 'Why'), h('dd', { 'data-testid': 'active-source' }, sourceLabel(info, active && active.name)))),
      h('div', { class: 'field today-choice' },
        h('label', { for: 'today-choice' }, 'Another timetable for today only'),
        h('div', { class: 'row' }, choice, saved)),
      info.id === NO_SIGNAL ? null : createDayAdjustment({
        date: info.date, adjustment: day && day.adjustment, subject: 'Today',
        onChanged: async () => { infoKey = ''; await refreshOverview(); },
      }));
  }

  function renderBells() {
    const info = live.overview.activeTimetableInfo;
    const active = activeTimetable();
    timeline = null;
    bells = [];
    if (info.source === 'DISABLED') {
      replace(timelineBody, notice('The scheduler is switched off, so no bells ring. Switch it on in the settings.', 'info'));
      replace(nextBody, h('p', { class: 'next-none' }, 'No bells: the scheduler is off.'));
      return;
    }
    if (!active) {
      replace(timelineBody, notice(info.id === NO_SIGNAL ? `No timetable is in force today (${typeOfDayLabel(info.typeOfDay).toLowerCase()}).` : 'The timetable in force no longer exists.', 'info'));
      showNextBellDay(nextBody, 'No bells today.');
      return;
    }
    bells = bellsOfDay(day);
    if (bells.length === 0) {
      replace(timelineBody, notice(day && day.adjustment && bellsOf(active).length
        ? 'Today’s change leaves no bell to ring.'
        : `“${active.name}” has no bells with a signal set, so nothing rings.`, 'info'));
      showNextBellDay(nextBody, 'No bells today.');
      return;
    }
    timeline = createTimeline({ bells, lessons: lessonsOfDay(day), signals });
    // The player rings one channel only, so naming it would only puzzle.
    replace(timelineBody, h('p', { class: 'muted small', 'data-testid': 'bells-from' }, `From “${active.name}”.`), timeline.el);
    markOutcomes();
  }

  // What happened to each of today's bells, from the journal.
  function markOutcomes() {
    if (!timeline) return;
    timeline.setOutcomes(entriesForBells(bells, journalEntries).map((e) => e && {
      outcome: e.outcome,
      label: OUTCOME_LABEL[e.outcome] || e.outcome,
      why: reasonText(e),
      text: outcomeText(e),
    }));
  }

  async function loadJournal() {
    const info = live.overview && live.overview.activeTimetableInfo;
    if (!info) return;
    try {
      journalEntries = (await api.journal(info.date)).entries;
      markOutcomes();
      tickNext();
    } catch {
      // Marks wait for the next try; the frame tells when the player is unreachable.
    }
  }

  function renderTestRing() {
    let chosen = signals.length ? signals[0].id : null;
    const select = signalSelect({ signals, value: chosen, allowNone: false, id: 'test-ring-signal', onChange: (v) => { chosen = v; } });
    const button = h('button', { type: 'button', class: 'button', 'data-testid': 'test-ring' }, icon('bell'), 'Test ring');
    button.addEventListener('click', async () => {
      button.disabled = true;
      try {
        await api.testRing(chosen);
        toast(`Test ring of “${signalName(signals, chosen)}” on the speakers.`, 'ok');
        setTimeout(loadJournal, 1500);
      } catch (err) {
        toast(`The test ring failed: ${errorText(err)}`, 'error');
      } finally {
        button.disabled = false;
      }
    });
    replace(testRingSlot, signals.length ? h('div', { class: 'field field-inline' },
      h('label', { for: 'test-ring-signal' }, 'Test a signal through the bell path'), h('div', { class: 'row' }, select, button)) : null);
  }

  function tickNext() {
    const now = serverNowSeconds();
    if (now === null || !timeline) return;
    timeline.update(now);
    const next = nextBell(bells, Math.floor(now));
    const key = next ? `${next.seconds}|${next.kind}|${next.lesson}` : 'none';
    if (nextBody.dataset.key !== key) {
      nextBody.dataset.key = key;
      if (!next) {
        showNextBellDay(nextBody, 'No more bells today.');
      } else {
        replace(nextBody,
          h('p', { class: 'next-time', 'data-testid': 'next-bell-time' }, formatTime(next.seconds)),
          h('p', { class: 'next-what' }, describeBell(next)),
          isDeletedSignal(signals, next.desc.id)
            ? h('p', { class: 'next-signal deleted-signal-warning' }, icon('alert'), DELETED_SIGNAL_WARNING)
            : h('p', { class: 'next-signal muted' }, `Signal: ${signalName(signals, next.desc.id)}`),
          h('p', { class: 'next-countdown' }, 'in ', h('strong', { 'data-testid': 'next-bell-countdown' }, '')));
      }
    }
    const countdown = nextBody.querySelector('[data-testid="next-bell-countdown"]');
    if (countdown && next) countdown.textContent = formatDuration(next.seconds - Math.floor(now));
  }

  async function onLive() {
    if (live.status) {
      emergency.setRunning(live.status.emergency);
      clockTime.textContent = live.status.time;
      clockZone.textContent = live.status.timeZone ? `Time zone: ${live.status.timeZone}` : '';
      replace(playState, live.status.isPlaying
        ? h('span', { class: 'pill pill-playing' }, icon('speaker'), 'Playing now')
        : h('span', { class: 'pill' }, 'Nothing is playing'));
    }
    if (!live.overview) return;
    if (!alarmBusy) alarm.set(live.overview.alarmActive, false);
    const info = live.overview.activeTimetableInfo;
    clockDate.textContent = longDate(info);
    const key = JSON.stringify([info, live.overview.timetables]);
    if (key !== infoKey) {
      infoKey = key;
      try {
        await loadData();
        renderToday();
        renderBells();
        renderTestRing();
        loadJournal();
        delete nextBody.dataset.key;
      } catch (err) {
        if (!err.noAuth) replace(todayBody, notice(errorText(err), 'error'));
      }
    }
    tickNext();
  }

  alarm.set(false, false);
  const unsubscribe = subscribe(() => { onLive(); });
  const timer = setInterval(tickNext, 500);
  const journalTimer = setInterval(loadJournal, 5000);
  if (!live.overview) refreshOverview().catch(() => {});
  return () => {
    unsubscribe();
    clearInterval(timer);
    clearInterval(journalTimer);
    health.destroy();
  };
}
