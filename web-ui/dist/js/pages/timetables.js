// List of timetables: create, duplicate, rename, delete; editing is on its own page.

import { h, replace } from '../dom.js';
import { api, revision } from '../api.js';
import { navigate } from '../router.js';
import { icon } from '../widgets/icons.js';
import { toast, notice, errorText } from '../widgets/notice.js';
import { confirmDialog, promptDialog } from '../widgets/dialog.js';
import { newTimetable, timetableBody } from '../model.js';
import { parseLesson, formatTime } from '../time.js';
import { live } from '../live.js';
import { exportButton, importButton, deleteConfirmingUses } from '../widgets/timetable-sharing.js';
import { timetableNameProblem, freeTimetableName } from '../timetable-names.js';
import { deletedSignalPlaces, listText } from '../signal-uses.js';
import { usesText } from '../timetable-uses.js';
import { markSetupStep } from '../setup-steps.js';

export const title = 'Timetables';

function summary(tt) {
  const lessons = (tt.chA && tt.chA.lessons) || [];
  const parsed = lessons.map(parseLesson).filter(Boolean);
  if (parsed.length === 0) return 'No lessons';
  const first = Math.min(...parsed.map((l) => l.start));
  const last = Math.max(...parsed.map((l) => l.end));
  const extra = (tt.customPlays || []).reduce((n, p) => n + (p.slots || []).length, 0);
  return `${parsed.length} lesson${parsed.length === 1 ? '' : 's'}, ${formatTime(first)}–${formatTime(last)}`
    + (extra ? `, ${extra} extra play${extra === 1 ? '' : 's'}` : '');
}

// Bells whose signal was deleted play nothing: said in words, not left to an id.
function deletedSignalNotice(tt, signals) {
  const places = deletedSignalPlaces(tt, signals);
  if (places.length === 0) return null;
  return h('p', { class: 'deleted-signal-warning', 'data-testid': 'deleted-signal' }, icon('alert'),
    `Uses a deleted signal: ${listText(places)}. These bells are silent until you choose another signal.`);
}

export function render(main) {
  const listBody = h('div', { class: 'tt-list-body' }, h('p', { class: 'muted' }, 'Loading…'));
  const createButton = h('button', { type: 'button', class: 'button button-primary', onclick: create }, icon('plus'), 'New timetable');
  replace(main,
    h('div', { class: 'page-head' },
      h('h1', { class: 'page-title' }, 'Timetables'),
      h('div', { class: 'row' }, importButton(() => load()), createButton)),
    h('p', { class: 'page-intro' }, 'A timetable holds the lessons of a day and the signal for each bell. The default timetable rings on working days; another one can be chosen for a single day on the dashboard.'),
    listBody);

  let timetables = [];
  let settings = null;
  let signals = [];

  async function load() {
    try {
      [timetables, settings, signals] = await Promise.all([api.timetables(), api.settings(), api.signals()]);
      draw();
    } catch (err) {
      if (!err.noAuth) replace(listBody, notice(errorText(err), 'error'));
    }
  }

  function draw() {
    if (timetables.length === 0) {
      replace(listBody, notice('There are no timetables yet. Create one to start ringing bells.', 'info'));
      return;
    }
    const info = live.overview && live.overview.activeTimetableInfo;
    const activeId = info ? info.id : null;
    const today = info ? info.date : null;
    replace(listBody, h('ul', { class: 'tt-list', 'aria-label': 'Timetables' }, timetables.map((tt) => {
      const isDefault = settings && settings.defaultTimetableId === tt.id;
      const where = usesText(tt.uses, today);
      return h('li', { class: 'card tt-item', dataset: { id: tt.id } },
        h('div', { class: 'tt-main' },
          h('h2', { class: 'tt-name' }, h('a', { href: `/timetables/${encodeURIComponent(tt.id)}` }, tt.name)),
          h('p', { class: 'tt-summary muted' }, summary(tt)),
          where ? h('p', { class: `tt-uses${where === 'Not used' ? ' muted' : ''}`, 'data-testid': 'tt-uses' }, icon('calendar'), where) : null,
          deletedSignalNotice(tt, signals),
          h('div', { class: 'badges' },
            isDefault ? h('span', { class: 'badge badge-primary' }, 'Default') : null,
            activeId === tt.id ? h('span', { class: 'badge badge-ok' }, 'In force today') : null)),
        h('div', { class: 'tt-actions' },
          h('a', { class: 'button', href: `/timetables/${encodeURIComponent(tt.id)}` }, icon('edit'), 'Edit'),
          h('button', { type: 'button', class: 'button', onclick: () => duplicate(tt), 'aria-label': `Duplicate ${tt.name}` }, icon('copy'), h('span', { class: 'hide-sm' }, 'Duplicate')),
          // Worded on a phone too, beside Edit, so the two are never mistaken for each other.
          h('button', { type: 'button', class: 'button', onclick: () => rename(tt), 'aria-label': `Rename ${tt.name}` }, icon('rename'), 'Rename'),
          exportButton(tt),
          h('button', { type: 'button', class: 'button button-danger-quiet', onclick: () => remove(tt, isDefault), 'aria-label': `Delete ${tt.name}` }, icon('trash'), h('span', { class: 'hide-sm' }, 'Delete'))));
    })));
  }

  // Names are compared with the list as loaded: the player accepts duplicates, its menus could not tell them apart.
  const nameProblem = (ownId = null) => (text) => timetableNameProblem(text, timetables, ownId);

  async function create() {
    const name = await promptDialog({ title: 'New timetable', label: 'Name', value: freeTimetableName('New timetable', timetables), confirmLabel: 'Create', validate: nameProblem() });
    if (name === null) return;
    try {
      const id = await api.createTimetable(newTimetable(name, await api.signals()));
      await markSetupStep('timetable');
      toast(`Created “${name}”.`, 'ok');
      navigate(`/timetables/${encodeURIComponent(id)}`);
    } catch (err) {
      toast(`The timetable could not be created: ${errorText(err)}`, 'error');
    }
  }

  async function duplicate(tt) {
    const name = await promptDialog({ title: 'Duplicate timetable', label: 'Name of the copy', value: freeTimetableName(`${tt.name} (copy)`, timetables), confirmLabel: 'Duplicate', validate: nameProblem() });
    if (name === null) return;
    try {
      await api.createTimetable({ ...timetableBody(tt), name });
      await markSetupStep('timetable');
      toast(`Created “${name}”.`, 'ok');
      await load();
    } catch (err) {
      toast(`The copy could not be created: ${errorText(err)}`, 'error');
    }
  }

  async function rename(tt) {
    const name = await promptDialog({ title: 'Rename timetable', label: 'New name', value: tt.name, confirmLabel: 'Rename', validate: nameProblem(tt.id) });
    if (name === null || name === tt.name) return;
    try {
      // Against the listed revision: a rename must not undo another browser's edit of the lessons.
      await api.updateTimetable(tt.id, { ...timetableBody(tt), name }, revision(tt.revision));
      toast(`Renamed to “${name}”.`, 'ok');
      await load();
    } catch (err) {
      toast(`The timetable could not be renamed: ${errorText(err)}`, 'error');
      if (err.changedElsewhere) load();
    }
  }

  async function remove(tt, isDefault) {
    const ok = await confirmDialog({
      title: `Delete “${tt.name}”?`,
      message: isDefault
        ? 'This is the default timetable: until you choose another default in the settings, no bells will ring on working days. This cannot be undone.'
        : 'The timetable and all its lessons are removed. This cannot be undone.',
      confirmLabel: 'Delete timetable',
    });
    if (!ok) return;
    try {
      if (!(await deleteConfirmingUses(tt))) return;
      toast(`Deleted “${tt.name}”.`, 'ok');
      await load();
    } catch (err) {
      toast(`The timetable could not be deleted: ${errorText(err)}`, 'error');
    }
  }

  load();
}
