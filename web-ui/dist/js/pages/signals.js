// The signal library: listen, play on the speakers, upload, rename, delete and restore the factory signals.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { icon } from '../widgets/icons.js';
import { toast, notice, errorText } from '../widgets/notice.js';
import { confirmDialog, promptDialog } from '../widgets/dialog.js';
import { formatLength } from '../time.js';
import { STORAGE_FACTORY } from '../labels.js';
import { usesOfSignal, listText } from '../signal-uses.js';
import { navigate } from '../router.js';
import { acceptedFormats, formatsText, acceptText, extensionOf } from '../upload-formats.js';

export const title = 'Signals';

const MAX_BYTES = 100 * 1024 * 1024;

/** "29 bytes", "1.5 KiB", "12 KiB", "3.2 MiB": one decimal while the number is small, none after. */
export function sizeText(bytes) {
  const n = Math.max(0, Math.round(Number(bytes) || 0));
  if (n < 1024) return n === 1 ? '1 byte' : `${n} bytes`;
  const [value, unit] = n < 1024 * 1024 ? [n / 1024, 'KiB'] : [n / 1024 / 1024, 'MiB'];
  const shown = value < 10 ? Math.round(value * 10) / 10 : Math.round(value);
  // 1023.9 KiB rounds to 1024 KiB: say 1 MiB instead.
  if (unit === 'KiB' && shown >= 1024) return '1 MiB';
  return `${shown} ${unit}`;
}

export function render(main) {
  let signals = [];
  let timetables = [];
  let settings = null;
  let factoryList = [];
  let previewId = null;
  let mp4Refused = false;
  let formats = acceptedFormats([]);

  const fileInput = h('input', { type: 'file', id: 'signal-file', class: 'sr-only', accept: acceptText(formats), multiple: true });
  const uploads = h('ul', { class: 'upload-list', 'aria-label': 'Uploads', 'aria-live': 'polite' });
  const dropText = h('p', { class: 'dropzone-text' }, `Drop ${formatsText(formats)} files here, or`);
  const drop = h('div', { class: 'dropzone', 'data-testid': 'dropzone' },
    icon('upload'),
    dropText,
    h('label', { for: 'signal-file', class: 'button button-primary file-label' }, 'Choose files…'),
    fileInput,
    h('p', { class: 'muted small' }, 'Up to 100 MiB per file. The same file can be added only once.'));
  const tableBody = h('div', { class: 'signals-body' }, h('p', { class: 'muted' }, 'Loading…'));
  const restoreButton = h('button', { type: 'button', class: 'button button-small', disabled: true, 'data-testid': 'restore-factory', onclick: restoreFactory },
    icon('download'), 'Restore factory signals');
  const restoreNote = h('p', { class: 'muted small restore-note', 'aria-live': 'polite' });

  replace(main,
    h('h1', { class: 'page-title' }, 'Signals'),
    h('p', { class: 'page-intro' }, 'The sounds that bells, extra plays and the alarm can use. “Play” sounds on the school’s speakers; “Listen” plays here in the browser only.'),
    h('section', { class: 'card', 'aria-labelledby': 'upload-h' },
      h('h2', { id: 'upload-h', class: 'card-title' }, icon('upload'), 'Add signals'), drop, uploads),
    h('section', { class: 'card', 'aria-labelledby': 'lib-h' },
      h('h2', { id: 'lib-h', class: 'card-title' }, icon('music'), 'Library'),
      h('div', { class: 'restore-factory' }, restoreButton, restoreNote), tableBody));

  // The label is the visible button; keyboard users reach the hidden input through it.
  drop.querySelector('label').tabIndex = 0;
  drop.querySelector('label').addEventListener('keydown', (e) => {
    if (e.key === 'Enter' || e.key === ' ') {
      e.preventDefault();
      fileInput.click();
    }
  });
  fileInput.addEventListener('change', () => {
    uploadAll([...fileInput.files]);
    fileInput.value = '';
  });
  drop.addEventListener('dragover', (e) => {
    e.preventDefault();
    drop.classList.add('is-over');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('is-over'));
  drop.addEventListener('drop', (e) => {
    e.preventDefault();
    drop.classList.remove('is-over');
    uploadAll([...(e.dataTransfer ? e.dataTransfer.files : [])]);
  });

  async function uploadAll(files) {
    for (const file of files) {
      await uploadOne(file);
    }
    await load();
  }

  async function uploadOne(file) {
    const bar = h('progress', { max: '1', value: '0', 'aria-label': `Upload of ${file.name}` });
    const pct = h('span', { class: 'upload-pct' }, '0 %');
    const message = h('p', { class: 'upload-message' }, 'Uploading…');
    const item = h('li', { class: 'upload-item' },
      h('div', { class: 'upload-head' }, h('span', { class: 'upload-name' }, file.name), h('span', { class: 'muted small' }, sizeText(file.size))),
      h('div', { class: 'upload-progress' }, bar, pct),
      message);
    uploads.prepend(item);
    // Checked here too so an oversized file fails at once instead of after a long upload.
    if (file.size > MAX_BYTES) {
      return fail(item, message, 'Not added: the file is larger than 100 MiB.');
    }
    try {
      await api.upload(file, (fraction) => {
        bar.value = fraction;
        pct.textContent = `${Math.round(fraction * 100)} %`;
      });
      item.classList.add('is-ok');
      replace(message, icon('check'), 'Added to the library.');
      return true;
    } catch (err) {
      const text = err.message === 'File is already uploaded'
        ? 'Not added: File is already uploaded (the library already holds this sound).'
        : err.message.startsWith('Bad format')
          ? `Not added: ${err.message} (use ${formatsText(refusedFormat(file))} files).`
          : `Not added: ${errorText(err)}`;
      return fail(item, message, text);
    }
  }

  // The formats to name after the player refused this file's.
  function refusedFormat(file) {
    if (extensionOf(file.name) === 'mp4') mp4Refused = true;
    drawFormats();
    return formats;
  }

  function drawFormats() {
    formats = acceptedFormats(signals, { mp4Refused });
    dropText.textContent = `Drop ${formatsText(formats)} files here, or`;
    fileInput.accept = acceptText(formats);
  }

  function fail(item, message, text) {
    item.classList.add('is-error');
    message.setAttribute('role', 'alert');
    replace(message, icon('alert'), text);
    return false;
  }

  async function load() {
    try {
      [signals, timetables, settings, factoryList] = await Promise.all([api.signals(), api.timetables(), api.settings(), api.factorySignals()]);
      drawFormats();
      drawRestore();
      draw();
    } catch (err) {
      if (!err.noAuth) replace(tableBody, notice(errorText(err), 'error'));
    }
  }

  // A factory signal is missing when no signal has its id (a signal of the user's own under it counts).
  function drawRestore() {
    const present = new Set(signals.map((s) => s.id));
    const missing = factoryList.filter((f) => !present.has(f.id));
    restoreButton.disabled = missing.length === 0;
    restoreNote.textContent = missing.length === 0
      ? 'All factory signals are present.'
      : `Missing factory signal${missing.length === 1 ? '' : 's'}: ${listText(missing.map((f) => `“${f.name}”`))}.`;
  }

  async function restoreFactory() {
    restoreButton.disabled = true;
    try {
      const { restored } = await api.restoreFactorySignals();
      const names = restored.map((id) => (factoryList.find((f) => f.id === id) || { name: id }).name);
      toast(restored.length ? `Restored ${listText(names.map((n) => `“${n}”`))}.` : 'All factory signals were already present.', 'ok');
    } catch (err) {
      toast(`The factory signals could not be restored: ${errorText(err)}`, 'error');
    }
    await load();
  }

  function draw() {
    if (signals.length === 0) {
      replace(tableBody, notice('The library is empty. Add a file above.', 'info'));
      return;
    }
    const rows = [];
    for (const s of signals) {
      const factory = s.storageCategory === STORAGE_FACTORY;
      rows.push(h('tr', { dataset: { id: s.id }, class: 'signal-row' },
        h('th', { scope: 'row', class: 'signal-name', 'data-label': 'Name' }, s.name || '(no name)',
          settings && settings.alarmSignalId === s.id ? h('span', { class: 'badge badge-danger' }, 'Alarm') : null),
        h('td', { 'data-label': 'Length' }, formatLength(s.lengthSec)),
        h('td', { 'data-label': 'Source' }, factory
          ? h('span', { class: 'badge badge-neutral', title: 'Installed with the player' }, 'Factory')
          : h('span', { class: 'badge badge-primary' }, 'Uploaded')),
        h('td', { class: 'signal-actions' },
          h('button', { type: 'button', class: 'button button-small', onclick: () => play(s), 'aria-label': `Play ${s.name} on the speakers` }, icon('speaker'), 'Play'),
          h('button', { type: 'button', class: 'button button-small', onclick: () => testRing(s), 'aria-label': `Test ring ${s.name} like a bell`, title: 'Plays like a scheduled bell and is recorded in the journal as a test' }, icon('bell'), h('span', { class: 'hide-sm' }, 'Test ring')),
          h('button', { type: 'button', class: 'button button-small', onclick: () => togglePreview(s), 'aria-label': `Listen to ${s.name} in the browser`, 'aria-expanded': String(previewId === s.id) }, icon('headphones'), 'Listen'),
          h('button', { type: 'button', class: 'button button-small', onclick: () => rename(s), 'aria-label': `Rename ${s.name}` }, icon('rename'), h('span', { class: 'hide-sm' }, 'Rename')),
          h('button', { type: 'button', class: 'button button-small button-danger-quiet', onclick: () => remove(s), 'aria-label': `Delete ${s.name}` }, icon('trash'), h('span', { class: 'hide-sm' }, 'Delete')))));
      if (previewId === s.id) {
        const audio = h('audio', { controls: true, autoplay: true, preload: 'auto', src: api.signalFileUrl(s.id), 'aria-label': `Preview of ${s.name}` });
        audio.addEventListener('error', () => {
          audio.replaceWith(notice('The file of this signal could not be loaded from the player.', 'error'));
        });
        rows.push(h('tr', { class: 'preview-row' }, h('td', { colspan: '4' }, audio)));
      }
    }
    replace(tableBody, h('div', { class: 'table-wrap' }, h('table', { class: 'table signals-table' },
      h('thead', {}, h('tr', {}, h('th', { scope: 'col' }, 'Name'), h('th', { scope: 'col' }, 'Length'), h('th', { scope: 'col' }, 'Source'), h('th', { scope: 'col' }, h('span', { class: 'sr-only' }, 'Actions')))),
      h('tbody', {}, rows))));
  }

  async function play(s) {
    try {
      await api.playSignal(s.id);
      toast(`Playing “${s.name}” on the speakers.`, 'ok');
    } catch (err) {
      toast(`“${s.name}” could not be played: ${errorText(err)}`, 'error');
    }
  }

  async function testRing(s) {
    try {
      await api.testRing(s.id);
      toast(`Test ring of “${s.name}”: see the journal for how it went.`, 'ok');
    } catch (err) {
      toast(`The test ring of “${s.name}” failed: ${errorText(err)}`, 'error');
    }
  }

  function togglePreview(s) {
    previewId = previewId === s.id ? null : s.id;
    draw();
    const button = tableBody.querySelector(`tr[data-id="${CSS.escape(s.id)}"] button[aria-expanded]`);
    if (button) button.focus();
  }

  // The length limit is the player's (in bytes, not characters): its refusal is shown as it words it.
  async function rename(s) {
    const name = await promptDialog({ title: 'Rename signal', label: 'New name', value: s.name, confirmLabel: 'Rename' });
    if (name === null || name === s.name) return;
    try {
      await api.renameSignal(s.id, name);
      toast(`Renamed to “${name}”.`, 'ok');
    } catch (err) {
      toast(`“${s.name}” could not be renamed: ${errorText(err)}`, 'error');
    }
    await load();
  }

  async function remove(s) {
    const uses = usesOfSignal(s.id, timetables, settings);
    if (uses.alarm) {
      const openSettings = await confirmDialog({
        title: `“${s.name}” is the alarm signal`,
        message: 'The alarm signal cannot be deleted, or the alarm would be silent. Choose another alarm signal in Settings first, then delete this one.',
        confirmLabel: 'Open Settings',
        cancelLabel: 'Close',
        danger: false,
      });
      if (openSettings) navigate('/settings');
      return;
    }
    const fileText = s.storageCategory === STORAGE_FACTORY
      ? 'Its installed file is kept: “Restore factory signals” brings it back.'
      : 'Its file is deleted from the player.';
    const used = uses.timetables.length > 0;
    const ok = await confirmDialog({
      title: `Delete “${s.name}”?`,
      message: used ? 'It is still in use. These bells will be silent until you choose another signal for them:' : `No timetable uses it. ${fileText}`,
      details: used ? [
        h('ul', { class: 'uses-list' }, uses.timetables.map((u) => h('li', {},
          h('strong', {}, `Timetable “${u.tt.name}”`), u.plans.length ? ` (${u.plans.join('; ')})` : '', `: ${listText(u.places)}.`))),
        h('p', { class: 'dialog-message' }, fileText),
      ] : null,
      confirmLabel: 'Delete signal',
    });
    if (!ok) return;
    try {
      await api.deleteSignal(s.id);
      toast(`Deleted “${s.name}”.`, 'ok');
      if (previewId === s.id) previewId = null;
      await load();
    } catch (err) {
      toast(`“${s.name}” could not be deleted: ${errorText(err)}`, 'error');
    }
  }

  load();
  return () => {
    for (const audio of main.querySelectorAll('audio')) audio.pause();
  };
}
