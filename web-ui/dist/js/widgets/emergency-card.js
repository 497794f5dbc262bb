// The dashboard's emergency routines: one large button each, which only asks; the routine starts
// after the drill or real choice and a second press in the dialog.

import { h, nextId } from '../dom.js';
import { icon } from './icons.js';
import { signalName } from './signal-select.js';
import { ROUTINES, routineName, repeatText, drillMark } from '../emergency-words.js';
import { askAndStart } from './emergency-actions.js';

/** What a routine plays, from the settings: "“lockdown” 3 times, then the spoken sentence". */
export function soundsText(routine, signals) {
  if (!routine) return '';
  const sentence = routine.spokenText ? ', then the spoken sentence' : '';
  return `“${signalName(signals, routine.signalId)}” ${repeatText(routine.repeat)}${sentence}`;
}

export function emergencyCard() {
  let routines = {};
  let signals = [];
  let busy = false;
  const buttons = ROUTINES.map((routine) => {
    const label = h('span', { class: 'emergency-name', id: nextId('em-label') }, routineName(routine));
    const sub = h('span', { class: 'emergency-sub', id: nextId('em-sub') });
    const button = h('button', {
      type: 'button', class: `emergency-button is-${routine}`, 'data-routine': routine,
      'aria-labelledby': label.id, 'aria-describedby': sub.id,
      onclick: async () => {
        if (busy) return;
        busy = true;
        try {
          await askAndStart(routine, { sounds: soundsText(routines[routine], signals) });
        } finally {
          busy = false;
        }
      },
    }, label, sub);
    return { routine, button, sub };
  });
  let running = null;
  const draw = () => {
    for (const { routine, button, sub } of buttons) {
      const now = Boolean(running && running.routine === routine);
      button.classList.toggle('is-running', now);
      sub.textContent = now ? `In progress ${drillMark(running.drill)}` : soundsText(routines[routine], signals);
    }
  };

  const el = h('section', { class: 'card emergency-card', 'aria-labelledby': 'emergency-h' },
    h('h2', { id: 'emergency-h', class: 'card-title' }, icon('alert'), 'Emergency'),
    h('p', { class: 'muted small emergency-intro' }, 'Each routine asks first whether it is a drill, and starts only when confirmed.'),
    h('div', { class: 'emergency-buttons' }, buttons.map((b) => b.button)));
  return {
    el,
    /** The routines' settings and the signal library, for what each button says it plays. */
    setRoutines(next, library) {
      routines = next || {};
      signals = library || [];
      draw();
    },
    setRunning(emergency) {
      if (JSON.stringify(emergency || null) === JSON.stringify(running)) return;
      running = emergency || null;
      draw();
    },
  };
}
