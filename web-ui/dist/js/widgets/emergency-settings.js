// The settings page's emergency routines: each one's signal, repeat and spoken sentence, and the voice
// that speaks them. The page saves them with the rest of its settings, in its one save.

import { h } from '../dom.js';
import { icon } from './icons.js';
import { field, createChecks } from './fields.js';
import { signalSelect } from './signal-select.js';
import { withListen } from './signal-listen.js';
import { readNumber } from '../model.js';
import { ROUTINES, routineName } from '../emergency-words.js';

const REPEAT = { min: 1, max: 100 };
const REPEAT_PROBLEM = 'Enter a whole number from 1 to 100.';
// The player's limit is in bytes of UTF-8: a letter with an accent takes two of them.
const SENTENCE_BYTES = 300;
// As the player takes them: the name reaches espeak-ng as an argument, so it must not pass for an option.
const VOICE = /^[A-Za-z0-9_+][A-Za-z0-9_+-]{0,31}$/;
const VOICE_PROBLEM = 'Enter a voice name without spaces, such as en or de.';

const byteLength = (text) => new TextEncoder().encode(text).length;

function sentenceProblem(text) {
  const bytes = byteLength(text);
  return bytes > SENTENCE_BYTES
    ? `The sentence is ${bytes} bytes long; at most ${SENTENCE_BYTES} fit (letters with accents count twice).`
    : null;
}

// A check that marks its field only when asked to, and clears the mark as soon as the input is right.
function checked(checks, fieldRef, problemOf) {
  const check = (mark = true) => {
    const problem = problemOf();
    if (!problem) {
      fieldRef.setError('');
      return null;
    }
    if (mark) fieldRef.setError(problem);
    return { message: problem, input: fieldRef.input };
  };
  fieldRef.input.addEventListener('blur', () => check());
  checks.add(check);
}

function routineFields(routine, stored, signals, checks) {
  const id = `set-emergency-${routine}`;
  const signal = signalSelect({ id: `${id}-signal`, signals, value: stored.signalId, allowNone: false, onChange: () => {} });
  const untilStopped = stored.repeat === 0;
  const mode = h('select', { id: `${id}-repeat` },
    h('option', { value: 'until' }, 'Until stopped'),
    h('option', { value: 'count' }, 'A number of times'));
  mode.value = untilStopped ? 'until' : 'count';
  const count = h('input', {
    id: `${id}-times`, type: 'number', min: '1', max: '100', step: '1', inputmode: 'numeric',
    value: String(untilStopped ? 1 : stored.repeat), disabled: untilStopped,
  });
  const countField = field('Times', count);
  mode.addEventListener('change', () => {
    count.disabled = mode.value === 'until';
    if (count.disabled) countField.setError('');
  });
  const sentence = h('input', { id: `${id}-sentence`, type: 'text', value: stored.spokenText || '', autocomplete: 'off' });
  const sentenceField = field('Spoken sentence', sentence, { hint: 'Optional; played after the tone, in the speech language below.' });

  const repeat = () => (mode.value === 'until' ? 0 : readNumber(count.value, REPEAT));
  checked(checks, countField, () => (repeat() === null ? REPEAT_PROBLEM : null));
  checked(checks, sentenceField, () => sentenceProblem(sentence.value.trim()));

  const signalField = field('Signal', signal);
  withListen(signal);
  const el = h('fieldset', { class: 'routine-fields', dataset: { routine } },
    h('legend', {}, routineName(routine)),
    signalField.el,
    h('div', { class: 'repeat-fields' }, field('Repeat', mode).el, countField.el),
    sentenceField.el);
  const wanted = () => ({
    [`emergencyRoutines.${routine}.signalId`]: signal.value,
    [`emergencyRoutines.${routine}.repeat`]: repeat(),
    [`emergencyRoutines.${routine}.spokenText`]: sentence.value.trim(),
  });
  return { el, wanted };
}

/** `wanted()` names each setting by its dotted path, as the settings page sends and compares them. */
export function emergencySettings({ settings, signals }) {
  const checks = createChecks();
  const stored = settings.emergencyRoutines || {};
  const routines = ROUTINES.map((routine) => routineFields(routine, stored[routine] || {}, signals, checks));
  const voice = h('input', {
    id: 'set-speech-language', type: 'text', value: settings.speechLanguage || 'en', autocomplete: 'off', spellcheck: 'false', maxlength: '32',
  });
  const voiceField = field('Speech language', voice, { hint: 'The espeak-ng voice of the spoken sentences, such as en, en-gb, de or hu.' });
  checked(checks, voiceField, () => (VOICE.test(voice.value.trim()) ? null : VOICE_PROBLEM));

  const el = h('section', { class: 'card settings-wide', 'aria-labelledby': 'emergency-settings-h' },
    h('h2', { id: 'emergency-settings-h', class: 'card-title' }, icon('alert'), 'Emergency routines'),
    h('p', { class: 'muted small' }, 'What each routine of the dashboard plays on every speaker. A sentence is made into speech when it is saved.'),
    h('div', { class: 'routine-grid' }, routines.map((r) => r.el)),
    voiceField.el);
  return {
    el,
    wanted: () => Object.assign({ speechLanguage: voice.value.trim() }, ...routines.map((r) => r.wanted())),
    /** The problems of the input as it stands; `mark` shows them at their fields. */
    problems: ({ mark = false } = {}) => checks.run({ mark }),
  };
}
