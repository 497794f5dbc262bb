// Timetables shared between schools: export one as a file, import a file as a new timetable; and the
// delete that asks again when days or weekdays are planned with the timetable.

import { h } from '../dom.js';
import { api, revision } from '../api.js';
import { icon } from './icons.js';
import { toast, errorText } from './notice.js';
import { confirmDialog } from './dialog.js';
import { WEEKDAYS } from '../labels.js';
import { markSetupStep } from '../setup-steps.js';

/** A button, not a link, so that the timetable's name stays the only link to it. */
export function exportButton(tt) {
  return h('button', { type: 'button', class: 'button', 'aria-label': `Export ${tt.name}`, onclick: () => {
    const link = h('a', { href: api.exportTimetableUrl(tt.id), download: '', hidden: true });
    document.body.append(link);
    link.click();
    link.remove();
  } }, icon('download'), h('span', { class: 'hide-sm' }, 'Export'));
}

/** A button that reads a chosen file and imports it; onImported(id) afterwards. */
export function importButton(onImported) {
  // Out of the tab order: the Import label below is the one stop, and opens the picker.
  const input = h('input', { type: 'file', accept: '.json,application/json', class: 'sr-only', id: 'tt-import-file', tabindex: '-1', 'aria-hidden': 'true', onchange: async () => {
    const file = input.files && input.files[0];
    input.value = '';
    if (!file) return;
    let content;
    try {
      content = JSON.parse(await file.text());
    } catch {
      toast('The file is not an exported timetable.', 'error');
      return;
    }
    try {
      const result = await api.importTimetable(content);
      await markSetupStep('timetable');
      const missing = result.missingSignals || [];
      // The copy's name differs from the file's when a timetable of that name exists here.
      const done = result.name ? `Imported as “${result.name}”.` : 'Timetable imported.';
      if (missing.length) {
        toast(`${done} This player lacks ${missing.length === 1 ? 'the signal' : 'the signals'} ${missing.map((m) => `“${m.name}”`).join(', ')}; ${missing.length === 1 ? 'its bells play' : 'their bells play'} nothing until you choose other signals.`, 'warn');
      } else {
        toast(done, 'ok');
      }
      if (onImported) await onImported(result.id);
    } catch (err) {
      if (!err.noAuth) toast(`The timetable could not be imported: ${errorText(err)}`, 'error');
    }
  } });
  return h('span', {}, input, h('label', { for: 'tt-import-file', class: 'button', role: 'button', tabindex: '0',
    onkeydown: (e) => { if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); input.click(); } } }, icon('upload'), 'Import'));
}

function usesText(name, uses) {
  const parts = [];
  if (uses.dates.length) parts.push(`planned on ${uses.dates.join(', ')}`);
  if (uses.weekdays.length) parts.push(`set for ${uses.weekdays.map((d) => `${WEEKDAYS[d]}s`).join(', ')}`);
  return `“${name}” is ${parts.join(' and ')}. Deleting it removes those plans; those days then follow the usual rules.`;
}

/** Deletes after the user's first confirmation; asks again when the timetable is planned somewhere. True when deleted. */
export async function deleteConfirmingUses(tt) {
  const listed = revision(tt.revision);
  const first = await api.deleteTimetableChecked(tt.id, false, listed);
  if (first.deleted) return true;
  const ok = await confirmDialog({ title: `“${tt.name}” is planned`, message: usesText(tt.name, first.uses), confirmLabel: 'Delete with its plans' });
  if (!ok) return false;
  return (await api.deleteTimetableChecked(tt.id, true, listed)).deleted;
}
