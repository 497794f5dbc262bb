// The whole configuration in one file: download it, or replace everything by one.

import { h } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';
import { toast, errorText } from './notice.js';
import { confirmDialog } from './dialog.js';

export const RESTORE_WARNING = 'Restoring replaces every timetable, planned day, signal, setting and the calendar data with those in the backup. The password stays as it is.';

export function backupRestoreCard({ onRestored }) {
  const file = h('input', { type: 'file', id: 'restore-file', accept: '.zip,application/zip' });
  const restore = h('button', { type: 'submit', class: 'button' }, icon('upload'), 'Restore from backup');
  const status = h('p', { class: 'muted small', 'data-testid': 'restore-status', 'aria-live': 'polite' });
  return h('section', { class: 'card settings-wide', 'aria-labelledby': 'backup-h' },
    h('h2', { id: 'backup-h', class: 'card-title' }, icon('download'), 'Backup'),
    h('p', { class: 'muted small' }, 'One file with the timetables, plans, signals and settings, to keep or to move to another computer. The password is not in it.'),
    h('p', {}, h('a', { class: 'button button-primary', href: api.backupUrl(), download: '' }, icon('download'), 'Download backup')),
    h('form', { class: 'restore-form', onsubmit: async (e) => {
      e.preventDefault();
      const chosen = file.files && file.files[0];
      if (!chosen) {
        status.textContent = 'Choose a backup file first.';
        return;
      }
      const ok = await confirmDialog({ title: 'Restore from backup?', message: RESTORE_WARNING, confirmLabel: 'Replace everything' });
      if (!ok) return;
      restore.disabled = true;
      status.textContent = 'Checking the backup…';
      try {
        await api.restore(chosen, (part) => { status.textContent = `Uploading… ${Math.round(part * 100)} %`; });
        status.textContent = 'The backup has been restored.';
        toast('The backup has been restored.', 'ok');
        if (onRestored) onRestored();
      } catch (err) {
        status.textContent = '';
        if (!err.noAuth) toast(`Nothing was restored: ${errorText(err)}`, 'error');
      } finally {
        restore.disabled = false;
      }
    } },
    h('div', { class: 'field' }, h('label', { for: 'restore-file' }, 'Backup file'), file),
    h('div', { class: 'row' }, restore), status));
}
