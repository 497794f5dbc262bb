// Settings: default timetable, scheduler, alarm, working week and calendar region; password.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { toast, notice, errorText } from '../widgets/notice.js';
import { field } from '../widgets/fields.js';
import { signalSelect } from '../widgets/signal-select.js';
import { WORKDAY_MODES } from '../labels.js';
import { refreshOverview } from '../live.js';
import { passwordForm } from './password-form.js';

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

export function render(main) {
  const formSlot = h('div', {}, h('p', { class: 'muted' }, 'Loading…'));
  const message = h('div', { class: 'form-message' });
  replace(main,
    h('h1', { class: 'page-title' }, 'Settings'),
    formSlot,
    h('section', { class: 'card password-card', 'aria-labelledby': 'pw-h' },
      h('h2', { id: 'pw-h', class: 'card-title' }, icon('key'), 'Password'),
      h('p', { class: 'muted small' }, 'One password protects the player. Changing it keeps you logged in here and logs out every other browser.'),
      passwordForm({ submitLabel: 'Change password', askCurrent: true, onDone: () => toast('The password has been changed.', 'ok') })));

  async function load() {
    try {
      const [settings, overview, signals, calendar] = await Promise.all([
        api.settings(), api.overview(), api.signals(), api.calendarInfo(),
      ]);
      draw(settings, overview, signals, calendar);
    } catch (err) {
      if (!err.noAuth) replace(formSlot, notice(errorText(err), 'error'));
    }
  }

  function draw(settings, overview, signals, calendar) {
    const cal = settings.calendar || {};
    const defaultTt = select('set-default', overview.timetables.map((t) => ({ value: t.id, label: t.name })), settings.defaultTimetableId);
    const scheduler = switchInput('set-scheduler', settings.schedulerEnable);
    let alarmId = settings.alarmSignalId;
    const alarmSignal = signalSelect({ id: 'set-alarm-signal', signals, value: alarmId, allowNone: false, onChange: (v) => { alarmId = v; } });
    const alarmDelay = h('input', { id: 'set-alarm-delay', type: 'number', min: '0', max: '3600', step: '0.5', value: String(settings.alarmDelaySec), inputmode: 'decimal' });
    const workweek = select('set-workweek', WORKDAY_MODES.map((m) => ({ value: m.code, label: m.label })), cal.workdayMode);
    const regions = calendar.regions || [];
    const region = select('set-region', regions.map((r) => ({ value: r.id, label: r.name ? `${r.name} (${r.id})` : r.id })), cal.syncRegionId);
    const breaks = switchInput('set-breaks', cal.syncSchoolHolidays);

    const delayField = field('Pause between alarm repeats (seconds)', alarmDelay, { hint: 'Silence after each play of the alarm signal before it sounds again.' });

    const form = h('form', { class: 'settings-form', novalidate: true, onsubmit: (e) => { e.preventDefault(); save(); } },
      h('section', { class: 'card', 'aria-labelledby': 'bells-h' },
        h('h2', { id: 'bells-h', class: 'card-title' }, icon('bell'), 'Bells'),
        h('div', { class: 'switch-field' }, scheduler,
          h('label', { for: 'set-scheduler' }, h('strong', {}, 'Ring bells on schedule'),
            h('span', { class: 'muted small' }, 'When off, no timetable rings; signals can still be played by hand.'))),
        field('Default timetable', defaultTt, { hint: 'Rings on every working day unless another timetable is chosen for the day.' }).el),
      h('section', { class: 'card', 'aria-labelledby': 'alarm-h' },
        h('h2', { id: 'alarm-h', class: 'card-title' }, icon('siren'), 'Alarm'),
        field('Alarm signal', alarmSignal, { hint: 'Repeated without end while the alarm is on.' }).el,
        delayField.el),
      h('section', { class: 'card settings-wide', 'aria-labelledby': 'cal-h' },
        h('h2', { id: 'cal-h', class: 'card-title' }, icon('calendar'), 'Working days and calendar'),
        field('Working week', workweek).el,
        regions.length === 0 ? notice('No calendar data has been received from the service yet, so only the working week decides which days ring.', 'info') : null,
        field('Calendar region', region, { hint: 'Public holidays, school breaks and extra working days come from this region.' }).el,
        h('div', { class: 'switch-field' }, breaks,
          h('label', { for: 'set-breaks' }, h('strong', {}, 'Keep school breaks free of bells'),
            h('span', { class: 'muted small' }, 'When off, school breaks of the region are treated as ordinary days.')))),
      message,
      h('div', { class: 'form-actions' }, h('button', { type: 'submit', class: 'button button-primary' }, icon('check'), 'Save settings')));
    replace(formSlot, form);

    async function save() {
      const delay = Number(alarmDelay.value);
      if (alarmDelay.value.trim() === '' || !Number.isFinite(delay) || delay < 0 || delay > 3600) {
        delayField.setError('Enter a number of seconds between 0 and 3600.');
        alarmDelay.focus();
        return;
      }
      delayField.setError('');
      const wanted = {
        defaultTimetableId: defaultTt.value,
        schedulerEnable: scheduler.checked,
        alarmSignalId: alarmId,
        alarmDelaySec: delay,
        'calendar.workdayMode': Number(workweek.value),
        'calendar.syncRegionId': region.value,
        'calendar.syncSchoolHolidays': breaks.checked,
      };
      const current = {
        defaultTimetableId: settings.defaultTimetableId,
        schedulerEnable: settings.schedulerEnable,
        alarmSignalId: settings.alarmSignalId,
        alarmDelaySec: settings.alarmDelaySec,
        'calendar.workdayMode': cal.workdayMode,
        'calendar.syncRegionId': cal.syncRegionId,
        'calendar.syncSchoolHolidays': cal.syncSchoolHolidays,
      };
      const changes = {};
      for (const [path, value] of Object.entries(wanted)) {
        if (value !== current[path]) changes[path] = value;
      }
      if (Object.keys(changes).length === 0) {
        replace(message, notice('Nothing has changed.', 'info'));
        return;
      }
      try {
        await api.updateSettings(changes);
        replace(message);
        toast('Settings saved.', 'ok');
        refreshOverview().catch(() => {});
        await load();
      } catch (err) {
        if (!err.noAuth) replace(message, notice(`The settings were not saved: ${errorText(err)}`, 'error'));
      }
    }
  }

  load();
}
