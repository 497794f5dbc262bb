// The bar at the foot of a form page: what is unsaved or wrong, Discard and Save. It shows only
// while there is something to save or to fix, so it takes no room on a clean page.

import { h, replace } from '../dom.js';
import { icon } from './icons.js';

/** Scrolls a field to the middle of the window, clear of the sticky header and this bar, and focuses it. */
export function revealField(input) {
  if (!input) return;
  input.scrollIntoView({ block: 'center' });
  input.focus({ preventScroll: true });
}

/** onSave runs even while the input is invalid, so the page can say what is wrong. */
export function saveBar({ saveLabel = 'Save changes', onSave, onDiscard }) {
  const status = h('span', { class: 'save-status', 'aria-live': 'polite' });
  const note = h('span', { class: 'save-note', hidden: true });
  const discard = h('button', { type: 'button', class: 'button', onclick: () => onDiscard() }, 'Discard changes');
  const save = h('button', { type: 'button', class: 'button button-primary', onclick: () => onSave() }, icon('check'), saveLabel);
  const el = h('div', { class: 'save-bar', role: 'region', 'aria-label': 'Save', hidden: true }, status, note, discard, save);
  let state = { dirty: false, invalid: false, saving: false, problems: [] };
  let shown = '';

  // The first problem in words, as a press that goes to its field: the bar is where the eye is
  // when saving, and the marked field may be far up the page.
  const problemText = () => {
    const [first, ...rest] = state.problems;
    const more = rest.length ? ` (${rest.length} more)` : '';
    return first ? `${first.message}${more}` : 'Fix the marked fields to save';
  };

  const draw = () => {
    const { dirty, invalid, saving, problems } = state;
    el.hidden = !dirty && !invalid && !saving;
    const text = saving ? 'Saving…' : invalid ? problemText() : dirty ? 'Unsaved changes' : '';
    // Redrawn only when the words change, so a press on the problem is not lost under the pointer.
    if (text !== shown) {
      shown = text;
      const first = problems[0];
      if (!saving && invalid && first && first.input) {
        replace(status, h('button', { type: 'button', class: 'link-button save-problem', onclick: () => revealField(state.problems[0].input) },
          icon('alert'), text));
      } else {
        replace(status, text);
      }
    }
    status.classList.toggle('is-dirty', dirty && !invalid);
    status.classList.toggle('is-invalid', invalid);
    // Warnings that do not stop saving stand back while something does.
    note.classList.toggle('is-secondary', invalid);
    discard.disabled = !dirty || saving;
    save.disabled = saving;
    // Still focusable while invalid: pressing it lists what to fix.
    save.setAttribute('aria-disabled', String(invalid || !dirty));
  };

  return {
    el,
    /**
     * dirty: differs from what is saved; invalid: something cannot be saved as it stands; problems:
     * what stops saving, [{message, input}] in the order of the page, the first of them named.
     */
    update({ dirty, invalid, problems = [] }) {
      state = { ...state, dirty, invalid, problems: invalid ? problems : [] };
      draw();
    },
    setSaving(saving) {
      state = { ...state, saving };
      draw();
    },
    /** A warning next to Save that does not stop saving; empty hides it. */
    setNote(text) {
      note.textContent = text || '';
      note.hidden = !text;
    },
  };
}
