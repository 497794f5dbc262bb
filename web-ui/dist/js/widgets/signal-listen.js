// A Listen button beside a signal menu: plays the chosen signal in this browser only, never on the
// player's speakers. One sound at a time on the page; a second press stops it.

import { h } from '../dom.js';
import { api } from '../api.js';
import { icon } from './icons.js';
import { NO_SIGNAL } from '../schedule.js';

let playing = null;

function stopPlaying() {
  if (playing) playing.stop();
}

/**
 * The select and its Listen button in one row; the select stays the caller's. A select already in
 * a form (a field's) has the row put where it stood.
 */
export function withListen(select) {
  const parent = select.parentNode;
  const next = select.nextSibling;
  const label = h('span', {}, 'Listen');
  const button = h('button', { type: 'button', class: 'button button-small listen-button', 'aria-pressed': 'false' }, icon('headphones'), label);
  // In the page, so leaving the page pauses it with the rest of what it showed.
  const audio = h('audio', { preload: 'none', hidden: true });
  const chosenName = () => (select.selectedOptions[0] ? select.selectedOptions[0].textContent : '');
  const known = () => select.value && select.value !== NO_SIGNAL && !select.selectedOptions[0]?.textContent.startsWith('Missing signal');

  const self = {
    stop() {
      audio.pause();
      audio.removeAttribute('src');
      audio.load();
      if (playing === self) playing = null;
      sync();
    },
  };
  function sync() {
    const on = playing === self;
    button.disabled = !known();
    button.setAttribute('aria-pressed', String(on));
    button.setAttribute('aria-label', on ? `Stop listening to ${chosenName()}` : `Listen to ${chosenName()} in this browser`);
    button.title = known() ? 'Plays here in the browser, not on the speakers' : 'No signal is chosen';
    label.textContent = on ? 'Stop' : 'Listen';
    button.replaceChild(icon(on ? 'stop' : 'headphones'), button.firstChild);
  }

  button.addEventListener('click', () => {
    if (playing === self) {
      self.stop();
      return;
    }
    stopPlaying();
    audio.src = api.signalFileUrl(select.value);
    playing = self;
    sync();
    audio.play().catch(() => { if (playing === self) self.stop(); });
  });
  audio.addEventListener('ended', () => { if (playing === self) self.stop(); });
  audio.addEventListener('error', () => { if (playing === self && audio.getAttribute('src')) self.stop(); });
  // Another choice: what sounds is no longer what the menu shows.
  select.addEventListener('change', () => { if (playing === self) self.stop(); else sync(); });
  sync();
  const row = h('div', { class: 'signal-choice' }, select, button, audio);
  if (parent) parent.insertBefore(row, next);
  return row;
}
