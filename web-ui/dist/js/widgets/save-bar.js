// The bar at the foot of a form page: what is unsaved or wrong, Discard and Save. It shows only
// while there is something to save or to fix, so it takes no room on a clean page.

import { h } from '../dom.js';
import { icon } from './icons.js';

/** onSave runs even while the input is invalid, so the page can say what is wrong. */
export function saveBar({ saveLabel = 'Save changes', onSave, onDiscard }) {
  const status = h('span', { class: 'save-status', 'aria-live': 'polite' });
  const note = h('span', { class: 'save-note', hidden: true });
  const discard = h('button', { type: 'button', class: 'button', onclick: () => onDiscard() }, 'Discard changes');
  const save = h('button', { type: 'button', class: 'button button-primary', onclick: () => onSave() }, icon('check'), saveLabel);
  const el = h('div', { class: 'save-bar', role: 'region', 'aria-label': 'Save', hidden: true }, status, note, discard, save);
  let state = { dirty: false, invalid: false, saving: false };

  const draw = () => {
    const { dirty, invalid, saving } = state;
    el.hidden = !dirty && !invalid && !saving;
    status.textContent = saving ? 'Saving…' : invalid ? 'Fix the marked fields to save' : dirty ? 'Unsaved changes' : '';
    status.classList.toggle('is-dirty', dirty && !invalid);
    status.classList.toggle('is-invalid', invalid);
    discard.disabled = !dirty || saving;
    save.disabled = saving;
    // Still focusable while invalid: pressing it lists what to fix.
    save.setAttribute('aria-disabled', String(invalid || !dirty));
  };

  return {
    el,
    /** dirty: differs from what is saved; invalid: something cannot be saved as it stands. */
    update({ dirty, invalid }) {
      state = { ...state, dirty, invalid };
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
