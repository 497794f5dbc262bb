// Settings: default timetable, scheduler, alarm, emergency routines, working week, calendar region, the
// timetable per weekday and the alerts, in one save; backup, monitoring and password.

import { h, replace } from '../dom.js';
import { api, revision } from '../api.js';
import { guardLeaving } from '../router.js';
import { icon } from '../widgets/icons.js';
import { toast, notice, errorText } from '../widgets/notice.js';
import { field } from '../widgets/fields.js';
import { saveBar } from '../widgets/save-bar.js';
import { readNumber } from '../model.js';
import { signalSelect } from '../widgets/signal-select.js';
import { withListen } from '../widgets/signal-listen.js';
import { WORKDAY_MODES, workdayModeLabel } from '../labels.js';
import { refreshOverview, refreshHealth } from '../live.js';
import { passwordForm } from './password-form.js';
import { weekdayTimetables } from '../widgets/weekday-timetables.js';
import { onSettingsChanged } from '../settings-changed.js';
import { backupRestoreCard } from '../widgets/backup-restore.js';
import { metricsTokenCard } from '../widgets/metrics-token.js';
import { alertSettings } from '../widgets/alert-settings.js';
import { changedElsewhereNotice } from '../widgets/changed-elsewhere.js';
import { emergencySettings } from '../widgets/emergency-settings.js';
import { setupMarks } from '../setup-steps.js';

export const title = 'Settings';

function select(id, options, value) {
  const el = h('select', { id }, options.map((o) => h('option', { value: String(o.value) }, o.label)));
  if (!options.some((o) => String(o.value) === String(value))) {
    el.append(h('option', { value: String(value) }, `Unknown (${value})`));
  }
  el.value = String(value);
  return el;
}

function switchInput(id, checked) {
  return h('input', { type: 'checkbox', id, class: 'switch', role: 'switch', checked: Boolean(checked) });
}

const DELAY = { min: 0, max: 3600, integer: false };
const DELAY_PROBLEM = 'Enter a number of seconds between 0 and 3600.';

/** The stored value at a dotted path ("calendar.workdayMode" is settings.calendar.workdayMode). */
const valueAt = (record, path) => path.split('.').reduce((v, step) => (v === null || v === undefined ? undefined : v[step]), record);

/** A copy of the settings with changes by dotted path applied, as the player applies them. */
function withChanges(record, changes) {
  const copy = structuredClone(record);
  for (const [path, value] of Object.entries(changes)) {
    const steps = path.split('.');
    const last = steps.pop();
    const parent = steps.reduce((v, step) => {
      if (v[step] === null || typeof v[step] !== 'object') v[step] = {};
      return v[step];
    }, copy);
    parent[last] = value;
  }
  return copy;
}

// The checklist's steps that a saved change of a path does.
const STEP_OF_PATH = { 'calendar.syncRegionId': 'region', 'calendar.workdayMode': 'workingWeek', defaultTimetableId: 'defaultTimetable' };
// The control each of the checklist's links leads to.
const CONTROL_OF_STEP = { region: 'set-region', workingWeek: 'set-workweek', defaultTimetable: 'set-default' };

export function render(main, { query } = {}) {
  // Shown once, on the first drawing: a later reload must not pull the page back there.
  let focusStep = query ? query.get('step') : null;
  const formSlot = h('div', { class: 'settings-slot' }, h('p', { class: 'muted' }, 'Loading…'));
  const message = h('div', { class: 'form-message' });
  // The form in view; replaced whenever the settings are loaded again.
  let form = { save() {}, discard() {}, isDirty: () => false, adopt: () => false };
  // The settings' revision as last loaded or saved here; each request of a save takes the one the
  // request before it was answered with.
  const loaded = revision();
  let saving = false;
  const bar = saveBar({ saveLabel: 'Save settings', onSave: () => form.save(), onDiscard: () => form.discard() });
  const stopGuard = guardLeaving(() => form.isDirty(), 'The settings have unsaved changes. Leave without saving them?');
  // Changed by this tab outside the form: taken into the form, keeping its edits, when nothing else
  // changed since it was loaded; else loaded again when nothing here is unsaved.
  const stopListening = onSettingsChanged((change) => {
    if (saving) return;
    if (!form.adopt(change) && !form.isDirty()) reload();
  });
  replace(main,
    h('h1', { class: 'page-title' }, 'Settings'),
    formSlot,
    backupRestoreCard({ onRestored: () => { refreshOverview().catch(() => {}); load(); } }),
    metricsTokenCard(),
    h('section', { class: 'card password-card', 'aria-labelledby': 'pw-h' },
      h('h2', { id: 'pw-h', class: 'card-title' }, icon('key'), 'Password'),
      h('p', { class: 'muted small' }, 'One password protects the player. Changing it keeps you logged in here and logs out every other browser.'),
      passwordForm({ submitLabel: 'Change password', askCurrent: true, onDone: () => toast('The password has been changed.', 'ok') })));

  /** Everything on the page from the player again: edits made against older settings are dropped. */
  function reload() {
    replace(message);
    load();
  }

  async function load() {
    try {
      const [settings, overview, signals, calendar] = await Promise.all([
        api.settings(loaded), api.overview(), api.signals(), api.calendarInfo(),
      ]);
      draw(settings, overview, signals, calendar);
    } catch (err) {
      if (!err.noAuth) replace(formSlot, notice(errorText(err), 'error'));
    }
  }

  function draw(loadedSettings, overview, signals, calendar) {
    // As stored: after a save of which only a part was taken, that part is in here too.
    let settings = loadedSettings;
    const cal = settings.calendar || {};
    const defaultTt = select('set-default', overview.timetables.map((t) => ({ value: t.id, label: t.name })), settings.defaultTimetableId);
    const scheduler = switchInput('set-scheduler', settings.schedulerEnable);
    let alarmId = settings.alarmSignalId;
    const alarmSignal = signalSelect({ id: 'set-alarm-signal', signals, value: alarmId, allowNone: false, onChange: (v) => { alarmId = v; } });
    const alarmField = field('Alarm signal', alarmSignal, { hint: 'Repeated without end while the alarm is on.' });
    withListen(alarmSignal);
    const alarmDelay = h('input', { id: 'set-alarm-delay', type: 'number', min: '0', max: '3600', step: '0.5', value: String(settings.alarmDelaySec), inputmode: 'decimal' });
    const workweek = select('set-workweek', WORKDAY_MODES.map((m) => ({ value: m.code, label: m.label })), cal.workdayMode);
    const regions = calendar.regions || [];
    const region = select('set-region', regions.map((r) => ({ value: r.id, label: r.name ? `${r.name} (${r.id})` : r.id })), cal.syncRegionId);
    const breaks = switchInput('set-breaks', cal.syncSchoolHolidays);
    // A region comes with the week its schools work; picking one offers that week when it differs.
    const weekHint = h('div', { class: 'week-hint', 'aria-live': 'polite', 'data-testid': 'region-week-hint' });
    const offerRegionWeek = () => {
      const chosen = regions.find((r) => r.id === region.value);
      const mode = chosen ? Number(chosen.preferredWorkdayMode) : NaN;
      if (!WORKDAY_MODES.some((m) => m.code === mode) || mode === Number(workweek.value)) {
        replace(weekHint);
        return;
      }
      replace(weekHint, h('p', { class: 'notice notice-info week-hint-text' }, icon('info'),
        h('span', {}, `This region’s week is ${workdayModeLabel(mode)}.`),
        h('button', {
          type: 'button', class: 'button button-small',
          onclick: () => {
            workweek.value = String(mode);
            replace(weekHint);
            refresh();
            workweek.focus();
          },
        }, 'Use it')));
    };
    region.addEventListener('change', offerRegionWeek);
    // A week chosen by hand that matches makes the offer moot; one that differs again does not bring it back.
    workweek.addEventListener('change', () => { if (weekHint.firstChild) offerRegionWeek(); });
    const schoolName = h('input', { id: 'set-school-name', type: 'text', maxlength: '120', autocomplete: 'organization', value: settings.schoolName || '' });
    const playerName = h('input', { id: 'set-player-name', type: 'text', maxlength: '60', value: settings.playerName || '' });

    const delayField = field('Pause between alarm repeats (seconds)', alarmDelay, { hint: 'Silence after each play of the alarm signal before it sounds again.' });
    const emergency = emergencySettings({ settings, signals });
    const alerts = alertSettings({ settings, unsaved: () => alerts.paths.some((path) => path in changes()) });
    const weekday = weekdayTimetables({ settings, timetables: overview.timetables });
    defaultTt.addEventListener('change', () => weekday.setDefault(defaultTt.value));

    const wanted = () => ({
      defaultTimetableId: defaultTt.value,
      schedulerEnable: scheduler.checked,
      alarmSignalId: alarmId,
      alarmDelaySec: readNumber(alarmDelay.value, DELAY),
      'calendar.workdayMode': Number(workweek.value),
      'calendar.syncRegionId': region.value,
      'calendar.syncSchoolHolidays': breaks.checked,
      schoolName: schoolName.value.trim(),
      playerName: playerName.value.trim(),
      ...emergency.wanted(),
      ...alerts.wanted(),
    });
    // The stored value of each path that `wanted` names.
    let saved = Object.fromEntries(Object.keys(wanted()).map((path) => [path, valueAt(settings, path)]));
    const changes = () => Object.fromEntries(Object.entries(wanted()).filter(([path, value]) => value !== saved[path]));
    const isDirty = () => Object.keys(changes()).length > 0 || weekday.isDirty();
    const delayValid = () => wanted().alarmDelaySec !== null;
    // What stops saving, in the order of the page: the save bar names the first and leads to its field.
    const problems = () => [...(delayValid() ? [] : [{ message: DELAY_PROBLEM, input: alarmDelay }]), ...emergency.problems()];
    const refresh = () => {
      if (delayValid()) delayField.setError('');
      const blocking = problems();
      bar.update({ dirty: isDirty(), invalid: blocking.length > 0, problems: blocking });
      alerts.refresh();
    };

    const formEl = h('form', { class: 'settings-form', novalidate: true, onsubmit: (e) => { e.preventDefault(); save(); },
      oninput: refresh, onchange: refresh },
      h('section', { class: 'card', 'aria-labelledby': 'bells-h' },
        h('h2', { id: 'bells-h', class: 'card-title' }, icon('bell'), 'Bells'),
        h('div', { class: 'switch-field' }, scheduler,
          h('label', { for: 'set-scheduler' }, h('strong', {}, 'Ring bells on schedule'),
            h('span', { class: 'muted small' }, 'When off, no timetable rings; signals can still be played by hand.'))),
        field('Default timetable', defaultTt, { hint: 'Rings on every working day unless another timetable is chosen for the day.' }).el,
        field('School name', schoolName, { hint: 'Printed at the top of the bell schedules of the calendar and the timetables.' }).el,
        field('Name of this player', playerName, { hint: 'Tells a district’s players apart, for example “North building”: in the page title, the backup file and the monitoring.' }).el),
      h('section', { class: 'card', 'aria-labelledby': 'alarm-h' },
        h('h2', { id: 'alarm-h', class: 'card-title' }, icon('siren'), 'Alarm'),
        alarmField.el,
        delayField.el),
      emergency.el,
      h('section', { class: 'card settings-wide', 'aria-labelledby': 'cal-h' },
        h('h2', { id: 'cal-h', class: 'card-title' }, icon('calendar'), 'Working days and calendar'),
        field('Working week', workweek).el,
        regions.length === 0 ? notice('No calendar data has been received from the service yet, so only the working week decides which days ring.', 'info') : null,
        field('Calendar region', region, { hint: 'Public holidays, school breaks and extra working days come from this region.' }).el,
        weekHint,
        h('div', { class: 'switch-field' }, breaks,
          h('label', { for: 'set-breaks' }, h('strong', {}, 'Keep school breaks free of bells'),
            h('span', { class: 'muted small' }, 'When off, school breaks of the region are treated as ordinary days.')))),
      weekday.el,
      alerts.el,
      message);
    replace(formSlot, formEl, bar.el);
    alarmDelay.addEventListener('blur', () => { if (!delayValid()) delayField.setError(DELAY_PROBLEM); });
    // The controls that a change from outside the form may set.
    const controls = { schedulerEnable: (on) => { scheduler.checked = on; } };
    const adopt = ({ changes, before, after }) => {
      const paths = Object.keys(changes);
      if (before !== loaded.value || !paths.every((path) => controls[path])) return false;
      const edited = wanted();
      for (const path of paths) {
        if (edited[path] === saved[path]) controls[path](changes[path]);
        saved[path] = changes[path];
      }
      settings = withChanges(settings, changes);
      loaded.value = after;
      refresh();
      return true;
    };
    form = { save, discard: () => { replace(message); draw(settings, overview, signals, calendar); }, isDirty, adopt };
    refresh();
    const target = focusStep && CONTROL_OF_STEP[focusStep] && document.getElementById(CONTROL_OF_STEP[focusStep]);
    focusStep = null;
    if (target) {
      target.scrollIntoView({ block: 'center' });
      target.focus({ preventScroll: true });
    }

    async function save() {
      if (!delayValid()) {
        delayField.setError(DELAY_PROBLEM);
        alarmDelay.focus();
        return;
      }
      delayField.setError('');
      const [problem] = emergency.problems({ mark: true });
      if (problem) {
        problem.input.focus();
        return;
      }
      const wantedChanges = changes();
      const weekdays = weekday.changed();
      if (Object.keys(wantedChanges).length === 0 && !weekdays) {
        replace(message, notice('Nothing has changed.', 'info'));
        return;
      }
      bar.setSaving(true);
      saving = true;
      // The player keeps the weekday timetables apart: two requests, the second made against the
      // revision the first was answered with.
      let part = 'settings';
      try {
        if (Object.keys(wantedChanges).length > 0) {
          // The checklist's steps that this save does are marked done by the same request.
          const marks = setupMarks(settings, Object.keys(wantedChanges).map((path) => STEP_OF_PATH[path]).filter(Boolean));
          await api.updateSettings({ ...wantedChanges, ...marks }, loaded);
          // Saved from now on, also when the weekday timetables are refused below.
          saved = { ...saved, ...wantedChanges };
          settings = withChanges(settings, { ...wantedChanges, ...marks });
          refresh();
        }
        if (weekdays) {
          part = 'weekdays';
          await api.planWeekdays(weekdays, loaded);
          weekday.markSaved();
          refresh();
        }
        replace(message);
        toast('Settings saved.', 'ok');
        refreshOverview().catch(() => {});
        refreshHealth().catch(() => {});
        await load();
      } catch (err) {
        const what = part === 'weekdays' && Object.keys(wantedChanges).length > 0
          ? 'The other settings were saved, but not the timetables per weekday'
          : 'The settings were not saved';
        if (err.changedElsewhere) replace(message, changedElsewhereNotice(reload));
        else if (!err.noAuth) replace(message, notice(`${what}: ${errorText(err)}`, 'error'));
        if (part === 'weekdays') {
          refreshOverview().catch(() => {});
          refreshHealth().catch(() => {});
        }
      } finally {
        saving = false;
        bar.setSaving(false);
      }
    }
  }

  load();
  return () => {
    stopGuard();
    stopListening();
  };
}
