// Starting, ending and giving the all clear of an emergency routine: the same questions wherever the
// press came from (the dashboard or the banner on any page).

import { api } from '../api.js';
import { live, refreshStatus } from '../live.js';
import { confirmDialog, choiceDialog } from './dialog.js';
import { toast, errorText } from './notice.js';
import { routineName, routinePhrase, runningName } from '../emergency-words.js';

const DRILL_CHOICES = [
  { value: true, label: 'Drill', hint: 'A practice; the journal and every page mark it as a drill.' },
  { value: false, label: 'Real emergency', hint: 'An actual danger; marked as real everywhere.' },
];
const MISSING = 'Choose Drill or Real emergency first.';

const running = () => (live.status && live.status.emergency) || null;

// The all clear ends a running routine as what it was; with nothing running it is asked, like a start.
async function askDrill(routine, sounds) {
  const now = running();
  const name = routineName(routine);
  if (routine === 'allClear') {
    if (now) {
      const ok = await confirmDialog({
        title: 'Give the all clear?',
        message: `This ends the ${routinePhrase(now)} and plays the all clear on every speaker${sounds ? ` (${sounds})` : ''}. Scheduled bells ring again.`,
        confirmLabel: 'Give the all clear',
        danger: false,
      });
      return ok ? now.drill : null;
    }
    return choiceDialog({
      title: 'Give the all clear?',
      message: `No routine is running. The all clear plays on every speaker${sounds ? ` (${sounds})` : ''}.`,
      question: 'Is this a drill or a real emergency?',
      choices: DRILL_CHOICES,
      confirmLabel: 'Give the all clear',
      missing: MISSING,
      danger: false,
    });
  }
  const ends = now ? ` The ${routinePhrase(now)} in progress ends.` : '';
  return choiceDialog({
    title: `Start ${name.toLowerCase()}?`,
    message: `${name} plays on every speaker${sounds ? ` (${sounds})` : ''}. Scheduled bells stay silent until it is stopped or the all clear is given.${ends}`,
    question: 'Is this a drill or a real emergency?',
    choices: DRILL_CHOICES,
    confirmLabel: `Start ${name.toLowerCase()}`,
    missing: MISSING,
  });
}

/** Asks, then starts; `sounds` says what will be heard ("“lockdown” 3 times"). Resolves with the answer or null. */
export async function askAndStart(routine, { sounds = '' } = {}) {
  const drill = await askDrill(routine, sounds);
  if (drill === null) return null;
  try {
    const started = await api.startEmergency(routine, drill);
    refreshStatus().catch(() => {});
    toast(routine === 'allClear' ? `All clear given${drill ? ' (drill)' : ''}.` : `${runningName(started)} started on every speaker.`, 'ok');
    return started;
  } catch (err) {
    if (!err.noAuth) toast(`${routineName(routine)} could not be started: ${errorText(err)}`, 'error');
    return null;
  }
}

/** Ends the running routine at once: stopping never needs a second thought. */
export async function stopRunning() {
  const now = running();
  try {
    const { stopped } = await api.stopEmergency();
    await refreshStatus().catch(() => {});
    if (stopped) toast(now ? `The ${routinePhrase(now)} has been stopped.` : 'The emergency routine has been stopped.', 'ok');
    else toast('No emergency routine was running.', 'info');
  } catch (err) {
    if (!err.noAuth) toast(`The emergency routine could not be stopped: ${errorText(err)}`, 'error');
  }
}
