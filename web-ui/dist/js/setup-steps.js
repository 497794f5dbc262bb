// The first-run checklist's steps and how a step is marked done. The player keeps the marks in the
// settings (settings.setupChecklist); installations from before the checklist read as all done.

import { api } from './api.js';

export const SETUP_STEPS = ['region', 'workingWeek', 'timetable', 'defaultTimetable'];

/** True while the checklist is to be shown: kept by the player, not dismissed, a step still open. */
export function checklistOpen(checklist) {
  if (!checklist || typeof checklist !== 'object' || checklist.dismissed) return false;
  return SETUP_STEPS.some((step) => checklist[step] === false);
}

/** The paths that mark `steps` done, for those still open in `settings`; folded into a save of the settings. */
export function setupMarks(settings, steps) {
  const checklist = settings && settings.setupChecklist;
  if (!checklist) return {};
  return Object.fromEntries(steps.filter((step) => checklist[step] === false).map((step) => [`setupChecklist.${step}`, true]));
}

/**
 * Marks `step` done after the user did it elsewhere than the settings page (a timetable created, say).
 * A failure is left alone: the step stays on the list, where it can still be marked by hand.
 */
export async function markSetupStep(step) {
  try {
    const marks = setupMarks(await api.settings(), [step]);
    if (Object.keys(marks).length > 0) await api.updateSettings(marks);
  } catch {
    // See above.
  }
}
