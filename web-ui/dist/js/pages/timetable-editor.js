// Editor of one timetable: name, channel A's lessons and signals, the extra plays; channel B is
// shown as stored, since the player never rings it.

import { h, replace, nextId } from '../dom.js';
import { api, revision } from '../api.js';
import { guardLeaving } from '../router.js';
import { icon } from '../widgets/icons.js';
import { toast, notice, errorText } from '../widgets/notice.js';
import { createChecks, timeInput, field } from '../widgets/fields.js';
import { playDescEditor } from '../widgets/play-desc-editor.js';
import { saveBar, revealField } from '../widgets/save-bar.js';
import { channelBView } from '../widgets/channel-b-view.js';
import { changedElsewhereNotice } from '../widgets/changed-elsewhere.js';
import { newUserPlay } from '../model.js';
import { NO_SIGNAL } from '../schedule.js';
import { parseTypedTime as parseTime, formatTime } from '../time.js';
import { LESSON_BELLS, toDraft, toBody, lessonProblems, sortLessons } from '../timetable-draft.js';
import { timetableNameProblem } from '../timetable-names.js';
import { generateLessons, breaksBetween, breakText, GENERATOR_LIMITS } from '../lesson-generator.js';
import { confirmDialog } from '../widgets/dialog.js';
import { timetableSheet } from '../widgets/timetable-sheet.js';
import { printSection } from '../print.js';

export const title = 'Edit timetable';

function nextLessonAfter(lessons) {
  const last = [...lessons].reverse().map((l) => parseTime(l.end)).find((t) => t !== null);
  let start = last === undefined ? 8 * 3600 : Math.ceil((last + 10 * 60) / 300) * 300;
  if (start > 23 * 3600) start = 23 * 3600;
  return { start: formatTime(start), end: formatTime(Math.min(start + 45 * 60, 86399)) };
}

/** Names of the bells that play nothing, in words for the save bar. */
function silentNote(draft) {
  const silent = [
    ...LESSON_BELLS.filter((bell) => draft.chA[bell.key].id === NO_SIGNAL).map((bell) => bell.title),
    ...draft.customPlays.flatMap((p, i) => (p.desc.id === NO_SIGNAL ? [`Extra play ${i + 1}`] : [])),
  ];
  if (silent.length === 0) return '';
  return `${silent.length === 1 ? 'This bell plays' : 'These bells play'} nothing: ${silent.join(', ')}.`;
}

/** Problems in the order their fields stand on the page, so the first named is the first met. */
function inPageOrder(problems) {
  const before = (a, b) => (a.compareDocumentPosition(b) & Node.DOCUMENT_POSITION_FOLLOWING ? -1 : 1);
  return [...problems].sort((a, b) => (a.input && b.input && a.input !== b.input ? before(a.input, b.input) : 0));
}

export function render(main, { params }) {
  const id = params.id;
  let draft = null;
  let snapshot = '';
  // The revision the draft was loaded at; a save made against it, after another browser's, is refused.
  const loaded = revision();
  let signals = [];
  let timetables = [];
  let checks = createChecks();
  let saving = false;
  let summaryShown = false;
  let markLessons = () => {};
  // The lesson generator's fields, kept over redraws; filled from the lessons when first shown.
  let gen = null;

  const bar = saveBar({ onSave: save, onDiscard: discard });
  const errors = h('div', { class: 'error-summary-slot' });
  const body = h('div', { class: 'editor-body' }, h('p', { class: 'muted' }, 'Loading…'));
  const heading = h('h1', { class: 'page-title', tabindex: '-1' }, 'Timetable');
  const sheetSlot = h('div', { class: 'print-only' });

  replace(main,
    h('p', { class: 'back' }, h('a', { href: '/timetables' }, icon('left'), 'All timetables')),
    heading,
    errors,
    body,
    sheetSlot,
    bar.el);

  const isDirty = () => draft !== null && JSON.stringify(draft) !== snapshot;
  // Typed text is part of the draft, so invalid input is unsaved too; a stored timetable that
  // breaks the checks is marked, but leaving it loses nothing.
  const stopGuard = guardLeaving(isDirty, 'This timetable has unsaved changes. Leave without saving them?');

  function changed() {
    markLessons();
    const found = inPageOrder(checks.run({ mark: false }));
    if (summaryShown) showProblems(found, { focus: false });
    bar.update({ dirty: isDirty(), invalid: found.length > 0, problems: found });
    bar.setNote(silentNote(draft));
  }

  async function load() {
    try {
      const [list, sigs] = await Promise.all([api.timetables(), api.signals()]);
      signals = sigs;
      timetables = list;
      const tt = list.find((t) => t.id === id);
      if (!tt) {
        replace(body, notice('This timetable does not exist (any more). It may have been deleted.', 'error'),
          h('p', {}, h('a', { href: '/timetables' }, 'Back to the timetables')));
        return;
      }
      loaded.value = tt.revision || null;
      draft = toDraft(tt);
      snapshot = JSON.stringify(draft);
      draw();
    } catch (err) {
      if (!err.noAuth) replace(body, notice(errorText(err), 'error'));
    }
  }

  function draw(focus) {
    checks = createChecks();
    heading.textContent = draft.name.trim() || 'Timetable';
    const name = field('Name', h('input', { id: 'tt-name', type: 'text', value: draft.name, autocomplete: 'off', maxlength: '80' }));
    const checkName = (mark = true) => {
      const problem = timetableNameProblem(draft.name, timetables, id);
      if (mark || !problem) name.setError(problem);
      return problem ? { message: `Name: ${problem}`, input: name.input } : null;
    };
    name.input.addEventListener('input', () => {
      draft.name = name.input.value;
      heading.textContent = draft.name.trim() || 'Timetable';
      changed();
    });
    name.input.addEventListener('blur', () => checkName());
    checks.add(checkName);

    const print = h('button', { type: 'button', class: 'button', 'data-testid': 'print-timetable', onclick: () => {
      replace(sheetSlot, timetableSheet(toBody(draft), signals));
      printSection(sheetSlot, `Timetable “${draft.name.trim()}”`);
    } }, 'Print');
    replace(body,
      h('section', { class: 'card' }, name.el, h('div', { class: 'row' }, print)),
      h('section', { class: 'card', id: 'channel-a', 'aria-labelledby': 'cha-h' },
        h('h2', { id: 'cha-h', class: 'card-title' }, 'Channel A'),
        h('p', { class: 'muted small channel-hint' }, 'The player rings these bells on every day this timetable is in force.'),
        channelEditor(draft.chA)),
      customPlaysEditor(),
      channelBView({ channel: draft.chB, signals }));
    changed();
    if (focus) {
      const el = main.querySelector(focus);
      if (el) el.focus();
    }
  }

  function channelEditor(ch) {
    const rows = ch.lessons.map((lesson, i) => lessonRow(ch, lesson, i));
    const problemList = h('ul', { class: 'lesson-problems', 'aria-label': 'Problems with the lessons' });
    markLessons = () => {
      const found = lessonProblems(ch.lessons);
      const atFault = new Set(found.flatMap((p) => p.lessons));
      rows.forEach((row, i) => row.row.classList.toggle('is-invalid', atFault.has(i)));
      breaksBetween(ch.lessons).forEach((minutes, i) => {
        const text = breakText(minutes);
        rows[i + 1].gap.textContent = text;
        rows[i + 1].gap.hidden = !text;
      });
      replace(problemList, found.map((p) => h('li', {}, icon('alert'), p.message)));
      problemList.hidden = found.length === 0;
    };
    checks.add(() => lessonProblems(ch.lessons).map((p) => ({ message: p.message, input: rows[p.focus.index][p.focus.part] })));

    const addButton = h('button', { type: 'button', class: 'button', id: 'add-lesson', onclick: () => {
      ch.lessons.push(nextLessonAfter(ch.lessons));
      draw(`#lesson-${ch.lessons.length - 1}-start`);
    } }, icon('plus'), 'Add lesson');
    const sortButton = h('button', { type: 'button', class: 'button', id: 'sort-lessons', onclick: () => {
      ch.lessons = sortLessons(ch.lessons);
      draw('#sort-lessons');
    } }, icon('sort'), 'Sort by start time');

    const descs = h('div', { class: 'desc-grid' }, LESSON_BELLS.map((bell) => playDescEditor({
      title: bell.title, desc: ch[bell.key], signals, onChange: changed, checks, warnSilent: true,
      minutes: bell.wait && { value: ch[bell.wait], label: 'Minutes before', onChange: (text) => { ch[bell.wait] = text; changed(); } },
    })));

    return h('div', { class: 'channel-layout' },
      h('div', {},
        h('h3', { class: 'section-title' }, 'Lessons'),
        ch.lessons.length === 0 ? notice('No lessons. Add the first one.', 'info') : null,
        h('ol', { class: 'lesson-list', 'aria-label': 'Lessons' }, rows.map((r) => r.el)),
        problemList,
        h('div', { class: 'row' }, addButton, sortButton),
        lessonGenerator(ch)),
      h('div', {},
        h('h3', { class: 'section-title' }, 'Signals'),
        descs));
  }

  function lessonRow(ch, lesson, i) {
    const n = i + 1;
    const duration = h('span', { class: 'lesson-duration muted' });
    const showDuration = () => {
      const s = parseTime(lesson.start);
      const e = parseTime(lesson.end);
      duration.textContent = s !== null && e !== null && e > s ? `${Math.round((e - s) / 60)} min` : '';
    };
    const start = timeInput({
      value: lesson.start, label: `Lesson ${n} start`, describe: `Channel A, lesson ${n}, start`, checks,
      onChange: (v) => { lesson.start = v; showDuration(); changed(); },
    });
    const end = timeInput({
      value: lesson.end, label: `Lesson ${n} end`, describe: `Channel A, lesson ${n}, end`, checks,
      onChange: (v) => { lesson.end = v; showDuration(); changed(); },
    });
    start.input.id = `lesson-${i}-start`;
    end.input.id = `lesson-${i}-end`;
    showDuration();
    // The break before this lesson, from the one listed above it.
    const gap = h('p', { class: 'lesson-break', hidden: true, 'data-testid': 'lesson-break' });
    const row = h('div', { class: 'lesson-row' },
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
          draw(ch.lessons.length ? `#lesson-${Math.max(0, i - 1)}-start` : '#add-lesson');
        },
      }, icon('trash')));
    const el = h('li', { class: 'lesson-item' }, gap, row);
    return { el, row, gap, start: start.input, end: end.input };
  }

  /** The generator's first values: the lessons as they are, or a usual school morning. */
  function generatorStart(lessons) {
    const first = lessons[0];
    const start = first ? parseTime(first.start) : null;
    const end = first ? parseTime(first.end) : null;
    const [firstBreak] = breaksBetween(lessons);
    return {
      open: false,
      count: String(lessons.length || 6),
      lengthMin: start !== null && end !== null && end > start ? String(Math.round((end - start) / 60)) : '45',
      firstStart: start !== null ? formatTime(start) : '08:00',
      defaultBreak: firstBreak !== undefined && firstBreak !== null && firstBreak >= 0 ? String(firstBreak) : '10',
      // A break typed here; null follows the common length.
      breaks: [],
    };
  }

  function lessonGenerator(ch) {
    if (!gen) gen = generatorStart(ch.lessons);
    const number = (id, value, limits, onInput) => {
      const input = h('input', { id, type: 'number', class: 'short-number', value, min: limits.min, max: limits.max, step: 1, inputmode: 'numeric' });
      input.addEventListener('input', () => { input.removeAttribute('aria-invalid'); onInput(input.value); });
      return input;
    };
    const inputs = {};
    const breakList = h('ol', { class: 'generator-breaks' });
    const drawBreaks = () => {
      const n = Math.min(Math.max(Number.parseInt(gen.count, 10) || 0, 0), GENERATOR_LIMITS.count.max);
      for (const key of Object.keys(inputs)) if (key.startsWith('break-')) delete inputs[key];
      replace(breakList, Array.from({ length: Math.max(n - 1, 0) }, (_, i) => {
        const typed = gen.breaks[i];
        const input = number(`gen-break-${i}`, typed ?? gen.defaultBreak, GENERATOR_LIMITS.breakMin, (v) => { gen.breaks[i] = v; });
        inputs[`break-${i}`] = input;
        return h('li', { class: 'field field-compact' }, h('label', { for: input.id }, `After lesson ${i + 1}`), input);
      }));
    };
    inputs.count = number('gen-count', gen.count, GENERATOR_LIMITS.count, (v) => { gen.count = v; drawBreaks(); });
    inputs.length = number('gen-length', gen.lengthMin, GENERATOR_LIMITS.lengthMin, (v) => { gen.lengthMin = v; });
    inputs.defaultBreak = number('gen-break', gen.defaultBreak, GENERATOR_LIMITS.breakMin, (v) => {
      // The breaks not typed one by one follow the common length.
      gen.defaultBreak = v;
      breakList.querySelectorAll('input').forEach((input, i) => { if (gen.breaks[i] === undefined || gen.breaks[i] === null) input.value = v; });
    });
    const start = timeInput({ value: gen.firstStart, label: 'First lesson starts', onChange: (v) => { gen.firstStart = v; } });
    start.input.id = 'gen-start';
    inputs.start = start.input;
    drawBreaks();

    const problems = h('ul', { class: 'generator-problems', role: 'alert' });
    const make = async () => {
      Object.values(inputs).forEach((input) => input.removeAttribute('aria-invalid'));
      const made = generateLessons({ count: gen.count, lengthMin: gen.lengthMin, firstStart: gen.firstStart, defaultBreak: gen.defaultBreak, breaks: gen.breaks });
      replace(problems, made.problems.map((p) => h('li', {}, icon('alert'), p.message)));
      if (!made.lessons) {
        made.problems.forEach((p) => { if (inputs[p.field]) inputs[p.field].setAttribute('aria-invalid', 'true'); });
        const first = inputs[made.problems[0].field];
        if (first) first.focus();
        return;
      }
      const span = `${made.lessons[0].start}–${made.lessons[made.lessons.length - 1].end}`;
      if (ch.lessons.length > 0) {
        const ok = await confirmDialog({
          title: 'Replace the lessons?',
          message: `The ${ch.lessons.length === 1 ? 'lesson' : `${ch.lessons.length} lessons`} in the list ${ch.lessons.length === 1 ? 'is' : 'are'} replaced by ${made.lessons.length === 1 ? '1 lesson' : `${made.lessons.length} lessons`}, ${span}. Nothing is saved until you save the timetable.`,
          confirmLabel: 'Replace the lessons',
        });
        if (!ok) return;
      }
      ch.lessons = made.lessons;
      draw('#lesson-0-start');
    };

    const el = h('details', { class: 'lesson-generator', open: gen.open, ontoggle: () => { gen.open = el.open; } },
      h('summary', {}, 'Make the lessons from a length and breaks'),
      h('div', { class: 'generator-fields' },
        h('div', { class: 'field field-compact' }, h('label', { for: 'gen-count' }, 'Number of lessons'), inputs.count),
        h('div', { class: 'field field-compact' }, h('label', { for: 'gen-length' }, 'Lesson length (min)'), inputs.length),
        h('div', { class: 'field field-compact' }, h('label', { for: 'gen-start' }, 'First lesson starts'), start.input, start.error),
        h('div', { class: 'field field-compact' }, h('label', { for: 'gen-break' }, 'Break after each lesson (min)'), inputs.defaultBreak)),
      h('p', { class: 'muted small' }, 'Each break below can differ: a longer lunch break, say.'),
      breakList,
      problems,
      h('button', { type: 'button', class: 'button', id: 'make-lessons', onclick: make }, 'Make the lessons'));
    return el;
  }

  function customPlaysEditor() {
    const items = draft.customPlays.map((play, pi) => {
      const slotItems = play.slots.map((slot, si) => {
        const t = timeInput({
          value: slot, label: `Extra play ${pi + 1}, time ${si + 1}`, checks,
          onChange: (v) => { play.slots[si] = v; changed(); },
        });
        t.input.id = `slot-${pi}-${si}`;
        return h('li', { class: 'slot' }, t.input,
          h('button', { type: 'button', class: 'icon-button', 'aria-label': `Remove time ${si + 1} of extra play ${pi + 1}`,
            onclick: () => { play.slots.splice(si, 1); draw(`#add-slot-${pi}`); } }, icon('x')),
          t.error);
      });
      return h('li', { class: 'extra-play' },
        playDescEditor({ title: `Extra play ${pi + 1}`, desc: play.desc, signals, onChange: changed, checks, warnSilent: true }),
        h('div', { class: 'slots' },
          h('p', { class: 'slots-label', id: `slots-l-${pi}` }, 'Rings at'),
          play.slots.length === 0 ? h('p', { class: 'muted small' }, 'No times yet: this play never rings.') : null,
          h('ul', { class: 'slot-list', 'aria-labelledby': `slots-l-${pi}` }, slotItems),
          h('div', { class: 'row' },
            h('button', { type: 'button', class: 'button button-small', id: `add-slot-${pi}`, onclick: () => {
              const last = play.slots.map(parseTime).filter((t) => t !== null).pop();
              play.slots.push(formatTime(last === undefined ? 10 * 3600 : Math.min(last + 3600, 86340)));
              draw(`#slot-${pi}-${play.slots.length - 1}`);
            } }, icon('plus'), 'Add time'),
            h('button', { type: 'button', class: 'button button-small button-danger-quiet', onclick: () => {
              draft.customPlays.splice(pi, 1);
              draw('#add-extra');
            } }, icon('trash'), `Remove extra play ${pi + 1}`))));
    });
    return h('section', { class: 'card' },
      h('h2', { class: 'section-title' }, 'Extra plays'),
      h('p', { class: 'muted small' }, 'Signals at fixed times of day, besides the lesson bells (for example a morning melody).'),
      h('ol', { class: 'extra-list' }, items),
      h('button', { type: 'button', class: 'button', id: 'add-extra', onclick: () => {
        draft.customPlays.push(newUserPlay());
        draw(`#add-slot-${draft.customPlays.length - 1}`);
      } }, icon('plus'), 'Add extra play'));
  }

  /**
   * The list of what stops saving; `focus` moves there (the player's refusal), `announce` reads it out
   * (after pressing Save), a live refresh does neither.
   */
  function showProblems(problems, { focus = true, announce = focus, heading: title = 'Please correct these before saving:', fromChecks = true } = {}) {
    summaryShown = fromChecks && problems.length > 0;
    if (problems.length === 0) {
      replace(errors);
      return;
    }
    const summaryId = nextId('sum');
    const box = h('div', { class: 'error-summary', role: announce ? 'alert' : null, tabindex: '-1', 'aria-labelledby': summaryId },
      h('h2', { id: summaryId }, icon('alert'), title),
      h('ul', {}, problems.map((p) => h('li', {}, p.input
        ? h('button', { type: 'button', class: 'link-button', onclick: () => revealField(p.input) }, p.message)
        : p.message))));
    replace(errors, box);
    if (focus) box.focus();
  }

  async function save() {
    if (!draft || saving) return;
    const problems = inPageOrder(checks.run());
    // The list stays in view for the rest; the first field at fault takes the focus.
    showProblems(problems, { focus: false, announce: true });
    if (problems.length) {
      revealField(problems[0].input);
      return;
    }
    if (!isDirty()) return;
    const sent = toBody(draft);
    saving = true;
    bar.setSaving(true);
    try {
      await api.updateTimetable(id, sent, loaded);
      // Redrawn from what was sent, so the numbers shown follow the sorted lessons.
      draft = toDraft(sent);
      snapshot = JSON.stringify(draft);
      timetables = timetables.map((t) => (t.id === id ? { ...t, name: sent.name } : t));
      draw();
      heading.focus({ preventScroll: true });
      toast('Timetable saved.', 'ok');
    } catch (err) {
      if (err.changedElsewhere) {
        summaryShown = false;
        replace(errors, changedElsewhereNotice(reload));
        return;
      }
      showProblems([{ message: errorText(err) }], { heading: 'The player did not accept the timetable:', fromChecks: false });
    } finally {
      saving = false;
      bar.setSaving(false);
    }
  }

  /** The stored timetable replaces the draft: its edits were made against a timetable that is no more. */
  function reload() {
    replace(errors);
    draft = null;
    replace(body, h('p', { class: 'muted' }, 'Loading…'));
    bar.update({ dirty: false, invalid: false });
    load();
  }

  function discard() {
    if (!draft) return;
    draft = JSON.parse(snapshot);
    showProblems([]);
    draw();
  }

  load();
  return stopGuard;
}
