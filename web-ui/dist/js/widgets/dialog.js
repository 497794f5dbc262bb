// Modal dialogs on the native <dialog> element: focus is trapped and Escape cancels.

import { h, append, nextId } from '../dom.js';

function openDialog(build) {
  return new Promise((resolve) => {
    const dialog = h('dialog', { class: 'dialog' });
    let result = null;
    const close = (value) => {
      result = value;
      dialog.close();
    };
    dialog.addEventListener('close', () => {
      dialog.remove();
      resolve(result);
    });
    build(dialog, close);
    document.body.append(dialog);
    dialog.showModal();
    const focusTarget = dialog.querySelector('[autofocus]') || dialog.querySelector('input, button');
    if (focusTarget) focusTarget.focus();
  });
}

/** `details`: more content (a list, say) after the message. */
export function confirmDialog({ title, message, details = null, confirmLabel = 'Delete', cancelLabel = 'Cancel', danger = true }) {
  return openDialog((dialog, close) => {
    const titleId = nextId('dlg');
    dialog.setAttribute('aria-labelledby', titleId);
    append(dialog, [
      h('h2', { id: titleId, class: 'dialog-title' }, title),
      h('p', { class: 'dialog-message' }, message),
      details ? h('div', { class: 'dialog-details' }, details) : null,
      h('div', { class: 'dialog-actions' },
        h('button', { type: 'button', class: 'button', autofocus: true, onclick: () => close(false) }, cancelLabel),
        h('button', { type: 'button', class: `button ${danger ? 'button-danger' : 'button-primary'}`, onclick: () => close(true) }, confirmLabel)),
    ]);
  }).then((v) => v === true);
}

/** Asks for one line of text; resolves with the trimmed text, or null when cancelled. */
export function promptDialog({ title, label, value = '', confirmLabel = 'Save', validate = () => null }) {
  return openDialog((dialog, close) => {
    const titleId = nextId('dlg');
    const inputId = nextId('in');
    const errorId = nextId('err');
    const input = h('input', { id: inputId, type: 'text', value, autofocus: true, 'aria-describedby': errorId, autocomplete: 'off' });
    const error = h('p', { id: errorId, class: 'field-error', 'aria-live': 'polite' });
    const form = h('form', {
      method: 'dialog',
      onsubmit: (e) => {
        e.preventDefault();
        const text = input.value.trim();
        const problem = validate(text);
        if (problem) {
          error.textContent = problem;
          input.setAttribute('aria-invalid', 'true');
          input.focus();
          return;
        }
        close(text);
      },
    },
    h('h2', { id: titleId, class: 'dialog-title' }, title),
    h('div', { class: 'field' }, h('label', { for: inputId }, label), input, error),
    h('div', { class: 'dialog-actions' },
      h('button', { type: 'button', class: 'button', onclick: () => close(null) }, 'Cancel'),
      h('button', { type: 'submit', class: 'button button-primary' }, confirmLabel)));
    dialog.setAttribute('aria-labelledby', titleId);
    dialog.append(form);
    setTimeout(() => input.select(), 0);
  });
}

/**
 * Asks for one of `choices` ({value, label, hint}), none of them chosen beforehand, and then for the
 * confirming press; resolves with the chosen value, or null when cancelled. Confirming before choosing
 * says what is missing instead.
 */
export function choiceDialog({ title, message, question, choices, confirmLabel, missing, danger = true }) {
  return openDialog((dialog, close) => {
    const titleId = nextId('dlg');
    const errorId = nextId('err');
    const name = nextId('choice');
    const radios = choices.map((c) => h('input', { type: 'radio', name, id: nextId('in'), value: String(c.value) }));
    const error = h('p', { id: errorId, class: 'field-error', 'aria-live': 'polite' });
    // Looks unready until a choice is made, yet stays pressable: the press says what is missing.
    const confirm = h('button', { type: 'submit', class: `button ${danger ? 'button-danger' : 'button-primary'} is-unready` }, confirmLabel);
    const fieldset = h('fieldset', { class: 'dialog-choices', 'aria-describedby': errorId },
      h('legend', {}, question),
      choices.map((c, i) => h('label', { class: 'dialog-choice', for: radios[i].id }, radios[i],
        h('span', { class: 'dialog-choice-text' }, h('strong', {}, c.label), c.hint ? h('span', { class: 'muted small' }, c.hint) : null))),
      error);
    fieldset.addEventListener('change', () => {
      error.textContent = '';
      confirm.classList.remove('is-unready');
    });
    const form = h('form', {
      method: 'dialog',
      onsubmit: (e) => {
        e.preventDefault();
        const index = radios.findIndex((r) => r.checked);
        if (index < 0) {
          error.textContent = missing;
          radios[0].focus();
          return;
        }
        close({ value: choices[index].value });
      },
    },
    h('h2', { id: titleId, class: 'dialog-title' }, title),
    h('p', { class: 'dialog-message' }, message),
    fieldset,
    h('div', { class: 'dialog-actions' },
      h('button', { type: 'button', class: 'button', autofocus: true, onclick: () => close(null) }, 'Cancel'),
      confirm));
    dialog.setAttribute('aria-labelledby', titleId);
    dialog.append(form);
  }).then((chosen) => (chosen ? chosen.value : null));
}
