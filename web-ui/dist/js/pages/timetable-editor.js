// Editor of one timetable: name, lessons and signals of both channels, and the extra plays.

import { h, replace, nextId } from '../dom.js';
import { api } from '../api.js';
import { setLeaveGuard } from '../router.js';
import { icon } from '../widgets/icons.js';
import { toast, notice, errorText } from '../widgets/notice.js';
import { createChecks, timeInput } from '../widgets/fields.js';
import { playDescEditor } from '../widgets/play-desc-editor.js';
import { newUserPlay } from '../model.js';
import { parseTime, formatTime, formatLesson } from '../time.js';

export const title = 'Edit timetable';

const CHANNELS = [
  { key: 'chA', label: 'Channel A', hint: 'Channel A is the one the player rings on schedule.' },
  { key: 'chB', label: 'Channel B', hint: 'Channel B is kept with the timetable, but the player rings only channel A on schedule.' },
];

/** Editing state: lesson times stay as typed texts until saved. */
function toState(tt) {
  const channel = (ch) => ({
    ...structuredClone(ch),
    lessons: (ch.lessons || []).map((text) => {
      const [start = '', end = ''] = String(text).split('-').map((s) => s.trim());
      return { start, end };
    }),
  });
  return {
    name: tt.name,
    chA: channel(tt.chA),
    chB: channel(tt.chB),
    customPlays: structuredClone(tt.customPlays || []).map((p) => ({ desc: p.desc, slots: (p.slots || []).map(String) })),
  };
}

function toBody(state) {
  const channel = (ch) => ({
    lessons: ch.lessons.map((l) => formatLesson(parseTime(l.start), parseTime(l.end))),
    startOfClass: ch.startOfClass,
    endOfClass: ch.endOfClass,
    preStartWaitMin: ch.preStartWaitMin,
    preStart: ch.preStart,
    preEndWaitMin: ch.preEndWaitMin,
    preEnd: ch.preEnd,
  });
  return {
    name: state.name.trim(),
    chA: channel(state.chA),
    chB: channel(state.chB),
    customPlays: state.customPlays.map((p) => ({ desc: p.desc, slots: p.slots.map((s) => formatTime(parseTime(s))) })),
  };
}

function nextLessonAfter(lessons) {
  const last = [...lessons].reverse().map((l) => parseTime(l.end)).find((t) => t !== null);
  let start = last === undefined ? 8 * 3600 : Math.ceil((last + 10 * 60) / 300) * 300;
  if (start > 23 * 3600) start = 23 * 3600;
  return { start: formatTime(start), end: formatTime(Math.min(start + 45 * 60, 86399)) };
}

export function render(main, { params }) {
  const id = params.id;
  let state = null;
  let snapshot = '';
  let signals = [];
  let channelIndex = 0;
  let checks = createChecks();
  let saving = false;

  const statusText = h('span', { class: 'save-status', 'aria-live': 'polite' });
  const saveButton = h('button', { type: 'button', class: 'button button-primary', onclick: save }, icon('check'), 'Save changes');
  const discardButton = h('button', { type: 'button', class: 'button', onclick: discard }, 'Discard changes');
  const errors = h('div', { class: 'error-summary-slot' });
  const body = h('div', { class: 'editor-body' }, h('p', { class: 'muted' }, 'Loading…'));
  const heading = h('h1', { class: 'page-title' }, 'Timetable');

  replace(main,
    h('p', { class: 'back' }, h('a', { href: '/timetables' }, icon('left'), 'All timetables')),
    heading,
    errors,
    body,
    h('div', { class: 'save-bar', role: 'region', 'aria-label': 'Save' }, statusText, discardButton, saveButton));

  const isDirty = () => state !== null && JSON.stringify(state) !== snapshot;
  const updateDirty = () => {
    const dirty = isDirty();
    statusText.textContent = dirty ? 'Unsaved changes' : 'All changes saved';
    statusText.classList.toggle('is-dirty', dirty);
    discardButton.disabled = !dirty;
  };
  const changed = () => updateDirty();

  setLeaveGuard(() => !isDirty() || window.confirm('This timetable has unsaved changes. Leave without saving them?'));
  const beforeUnload = (e) => {
    if (isDirty()) {
      e.preventDefault();
      e.returnValue = '';
    }
  };
  window.addEventListener('beforeunload', beforeUnload);

  async function load() {
    try {
      const [list, sigs] = await Promise.all([api.timetables(), api.signals()]);
      signals = sigs;
      const tt = list.find((t) => t.id === id);
      if (!tt) {
        replace(body, notice('This timetable does not exist (any more). It may have been deleted.', 'error'),
          h('p', {}, h('a', { href: '/timetables' }, 'Back to the timetables')));
        saveButton.disabled = true;
        discardButton.disabled = true;
        return;
      }
      state = toState(tt);
      snapshot = JSON.stringify(state);
      draw();
    } catch (err) {
      if (!err.noAuth) replace(body, notice(errorText(err), 'error'));
    }
  }

  function draw(focus) {
    checks = createChecks();
    heading.textContent = state.name.trim() || 'Timetable';
    const nameInput = h('input', { id: 'tt-name', type: 'text', value: state.name, autocomplete: 'off', maxlength: '80' });
    nameInput.addEventListener('input', () => {
      state.name = nameInput.value;
      heading.textContent = state.name.trim() || 'Timetable';
      changed();
    });
    checks.add(() => (state.name.trim() === '' ? { message: 'Name: enter a name for the timetable.', input: nameInput } : null));

    const tabs = CHANNELS.map((c, i) => h('button', {
      type: 'button', role: 'tab', id: `tab-${c.key}`, class: 'tab', 'aria-controls': `panel-${c.key}`,
      'aria-selected': String(i === channelIndex), tabindex: i === channelIndex ? '0' : '-1',
      onclick: () => { channelIndex = i; draw(`#tab-${c.key}`); },
      onkeydown: (e) => {
        if (e.key === 'ArrowRight' || e.key === 'ArrowLeft') {
          channelIndex = (channelIndex + 1) % CHANNELS.length;
          draw(`#tab-${CHANNELS[channelIndex].key}`);
        }
      },
    }, c.label));
    // Both channels are built so that every field is checked on save; only one is shown.
    const panels = CHANNELS.map((c, i) => h('div', {
      role: 'tabpanel', id: `panel-${c.key}`, 'aria-labelledby': `tab-${c.key}`, hidden: i !== channelIndex, class: 'channel-panel',
    }, channelEditor(c, state[c.key])));

    replace(body,
      h('section', { class: 'card' },
        h('div', { class: 'field' }, h('label', { for: 'tt-name' }, 'Name'), nameInput)),
      h('section', { class: 'card channels-card' },
        h('div', { class: 'tabs', role: 'tablist', 'aria-label': 'Channels' }, tabs),
        panels),
      customPlaysEditor());
    updateDirty();
    if (focus) {
      const el = main.querySelector(focus);
      if (el) el.focus();
    }
  }

  function channelEditor(c, ch) {
    const rows = ch.lessons.map((lesson, i) => lessonRow(c, ch, lesson, i));
    const addButton = h('button', { type: 'button', class: 'button', id: `add-lesson-${c.key}`, onclick: () => {
      ch.lessons.push(nextLessonAfter(ch.lessons));
      changed();
      draw(`#lesson-${c.key}-${ch.lessons.length - 1}-start`);
    } }, icon('plus'), 'Add lesson');
    const sortButton = h('button', { type: 'button', class: 'button', onclick: () => {
      ch.lessons.sort((a, b) => (parseTime(a.start) ?? 1e9) - (parseTime(b.start) ?? 1e9));
      changed();
      draw(`#sort-${c.key}`);
    }, id: `sort-${c.key}` }, icon('sort'), 'Sort by start time');

    const descs = h('div', { class: 'desc-grid' },
      playDescEditor({ title: 'Start of lesson', desc: ch.startOfClass, signals, onChange: changed, checks }),
      playDescEditor({ title: 'End of lesson', desc: ch.endOfClass, signals, onChange: changed, checks }),
      playDescEditor({
        title: 'Before the start', desc: ch.preStart, signals, onChange: changed, checks,
        minutes: { value: ch.preStartWaitMin, label: 'Minutes before', onChange: (n) => { ch.preStartWaitMin = n; changed(); } },
      }),
      playDescEditor({
        title: 'Before the end', desc: ch.preEnd, signals, onChange: changed, checks,
        minutes: { value: ch.preEndWaitMin, label: 'Minutes before', onChange: (n) => { ch.preEndWaitMin = n; changed(); } },
      }));

    return [
      h('p', { class: 'muted small channel-hint' }, c.hint),
      h('div', { class: 'channel-layout' },
        h('div', {},
          h('h2', { class: 'section-title' }, 'Lessons'),
          ch.lessons.length === 0 ? notice('No lessons. Add the first one.', 'info') : null,
          h('ol', { class: 'lesson-list', 'aria-label': `Lessons of ${c.label}` }, rows),
          h('div', { class: 'row' }, addButton, sortButton)),
        h('div', {},
          h('h2', { class: 'section-title' }, 'Signals'),
          descs)),
    ];
  }

  function lessonRow(c, ch, lesson, i) {
    const n = i + 1;
    const duration = h('span', { class: 'lesson-duration muted' });
    const showDuration = () => {
      const s = parseTime(lesson.start);
      const e = parseTime(lesson.end);
      duration.textContent = s !== null && e !== null && e > s ? `${Math.round((e - s) / 60)} min` : '';
    };
    const start = timeInput({
      value: lesson.start, label: `Lesson ${n} start`, describe: `${c.label}, lesson ${n}, start`, checks,
      onChange: (v) => { lesson.start = v; showDuration(); changed(); },
    });
    const end = timeInput({
      value: lesson.end, label: `Lesson ${n} end`, describe: `${c.label}, lesson ${n}, end`, checks,
      onChange: (v) => { lesson.end = v; showDuration(); changed(); },
    });
    start.input.id = `lesson-${c.key}-${i}-start`;
    end.input.id = `lesson-${c.key}-${i}-end`;
    checks.add(() => {
      const s = parseTime(lesson.start);
      const e = parseTime(lesson.end);
      if (s !== null && e !== null && e <= s) {
        end.input.setAttribute('aria-invalid', 'true');
        return { message: `${c.label}, lesson ${n}: the end (${formatTime(e)}) must be later than the start (${formatTime(s)}).`, input: end.input };
      }
      return null;
    });
    showDuration();
    return h('li', { class: 'lesson-row' },
      h('span', { class: 'lesson-n', 'aria-hidden': 'true' }, String(n)),
      h('span', { class: 'lesson-times' },
        h('span', { class: 'time-cell' }, start.input, start.error),
        h('span', { class: 'dash', 'aria-hidden': 'true' }, '–'),
        h('span', { class: 'time-cell' }, end.input, end.error)),
      duration,
      h('button', {
        type: 'button', class: 'icon-button button-danger-quiet', 'aria-label': `Remove lesson ${n}`,
        onclick: () => {
          ch.lessons.splice(i, 1);
          changed();
          draw(ch.lessons.length ? `#lesson-${c.key}-${Math.max(0, i - 1)}-start` : `#add-lesson-${c.key}`);
        },
      }, icon('trash')));
  }

  function customPlaysEditor() {
    const items = state.customPlays.map((play, pi) => {
      const slotItems = play.slots.map((slot, si) => {
        const t = timeInput({
          value: slot, label: `Extra play ${pi + 1}, time ${si + 1}`, checks,
          onChange: (v) => { play.slots[si] = v; changed(); },
        });
        t.input.id = `slot-${pi}-${si}`;
        return h('li', { class: 'slot' }, t.input,
          h('button', { type: 'button', class: 'icon-button', 'aria-label': `Remove time ${si + 1} of extra play ${pi + 1}`,
            onclick: () => { play.slots.splice(si, 1); changed(); draw(`#add-slot-${pi}`); } }, icon('x')),
          t.error);
      });
      return h('li', { class: 'extra-play' },
        playDescEditor({ title: `Extra play ${pi + 1}`, desc: play.desc, signals, onChange: changed, checks }),
        h('div', { class: 'slots' },
          h('p', { class: 'slots-label', id: `slots-l-${pi}` }, 'Times'),
          play.slots.length === 0 ? h('p', { class: 'muted small' }, 'No times yet: this play never rings.') : null,
          h('ul', { class: 'slot-list', 'aria-labelledby': `slots-l-${pi}` }, slotItems),
          h('div', { class: 'row' },
            h('button', { type: 'button', class: 'button button-small', id: `add-slot-${pi}`, onclick: () => {
              const last = play.slots.map(parseTime).filter((t) => t !== null).pop();
              play.slots.push(formatTime(last === undefined ? 10 * 3600 : Math.min(last + 3600, 86340)));
              changed();
              draw(`#slot-${pi}-${play.slots.length - 1}`);
            } }, icon('plus'), 'Add time'),
            h('button', { type: 'button', class: 'button button-small button-danger-quiet', onclick: () => {
              state.customPlays.splice(pi, 1);
              changed();
              draw('#add-extra');
            } }, icon('trash'), `Remove extra play ${pi + 1}`))));
    });
    return h('section', { class: 'card' },
      h('h2', { class: 'section-title' }, 'Extra plays'),
      h('p', { class: 'muted small' }, 'Signals at fixed times of day, besides the lesson bells (for example a morning melody).'),
      h('ol', { class: 'extra-list' }, items),
      h('button', { type: 'button', class: 'button', id: 'add-extra', onclick: () => {
        state.customPlays.push(newUserPlay());
        changed();
        draw(`#add-slot-${state.customPlays.length - 1}`);
      } }, icon('plus'), 'Add extra play'));
  }

  function showProblems(problems, heading = 'Please correct these before saving:') {
    if (problems.length === 0) {
      replace(errors);
      return;
    }
    const summaryId = nextId('sum');
    const box = h('div', { class: 'error-summary', role: 'alert', tabindex: '-1', 'aria-labelledby': summaryId },
      h('h2', { id: summaryId }, icon('alert'), heading),
      h('ul', {}, problems.map((p) => h('li', {}, p.input
        ? h('button', { type: 'button', class: 'link-button', onclick: () => revealAndFocus(p.input) }, p.message)
        : p.message))));
    replace(errors, box);
    box.focus();
  }

  function revealAndFocus(input) {
    const panel = input.closest('[role="tabpanel"]');
    if (panel && panel.hidden) {
      channelIndex = CHANNELS.findIndex((c) => `panel-${c.key}` === panel.id);
      main.querySelectorAll('[role="tabpanel"]').forEach((p, i) => { p.hidden = i !== channelIndex; });
      main.querySelectorAll('[role="tab"]').forEach((t, i) => {
        t.setAttribute('aria-selected', String(i === channelIndex));
        t.tabIndex = i === channelIndex ? 0 : -1;
      });
    }
    input.focus();
  }

  async function save() {
    if (!state || saving) return;
    const problems = checks.run();
    showProblems(problems);
    if (problems.length) return;
    saving = true;
    saveButton.disabled = true;
    statusText.textContent = 'Saving…';
    try {
      await api.updateTimetable(id, toBody(state));
      snapshot = JSON.stringify(state);
      updateDirty();
      toast('Timetable saved.', 'ok');
    } catch (err) {
      updateDirty();
      showProblems([{ message: errorText(err) }], 'The player did not accept the timetable:');
    } finally {
      saving = false;
      saveButton.disabled = false;
    }
  }

  function discard() {
    if (!state) return;
    state = JSON.parse(snapshot);
    showProblems([]);
    draw();
  }

  load();
  return () => {
    window.removeEventListener('beforeunload', beforeUnload);
  };
}
