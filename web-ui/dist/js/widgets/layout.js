// The frame around every page once logged in: header with navigation, banners, footer.

import { h, replace } from '../dom.js';
import { icon } from './icons.js';
import { subscribe } from '../live.js';
import { setPlayerName } from '../page-title.js';
import { emergencyBanner } from './emergency-banner.js';
import { bellsOffBanner, bellsOffCheck } from './bells-off-banner.js';

export const NAV = [
  { path: '/', label: 'Dashboard', icon: 'home' },
  { path: '/timetables', label: 'Timetables', icon: 'table' },
  { path: '/signals', label: 'Signals', icon: 'music' },
  { path: '/calendar', label: 'Calendar', icon: 'calendar' },
  { path: '/announcements', label: 'Announcements', icon: 'megaphone' },
  { path: '/journal', label: 'Journal', icon: 'list' },
  { path: '/settings', label: 'Settings', icon: 'settings' },
];

function isCurrent(item, path) {
  return item.path === '/' ? path === '/' : path === item.path || path.startsWith(`${item.path}/`);
}

/** Builds the frame once; returns the main element and a way to mark the current page. */
export function createShell({ onLogout, onStopAlarm, onStopAll }) {
  const links = NAV.map((item) => h('a', { href: item.path, class: 'nav-link' }, icon(item.icon), h('span', {}, item.label)));
  const nav = h('nav', { class: 'nav', id: 'site-nav', 'aria-label': 'Main' }, h('ul', {}, links.map((a) => h('li', {}, a))));
  // Below the full width the links fold into this button; the label names it while its text is hidden.
  const menuButton = h('button', {
    type: 'button', class: 'button button-quiet menu-button', 'aria-expanded': 'false', 'aria-controls': 'site-nav', 'aria-label': 'Menu',
  }, icon('menu'), h('span', { class: 'menu-label' }, 'Menu'));
  const setMenuOpen = (open) => {
    menuButton.setAttribute('aria-expanded', String(open));
    nav.classList.toggle('open', open);
  };
  const menuOpen = () => menuButton.getAttribute('aria-expanded') === 'true';
  menuButton.addEventListener('click', () => setMenuOpen(!menuOpen()));
  // Choosing a link closes the menu even when it names the page already shown (no route change then).
  nav.addEventListener('click', (e) => { if (e.target.closest('a')) setMenuOpen(false); });
  // Shown whenever the player reports a sound playing: a bell, the alarm, a signal played by hand.
  const stopAll = h('button', {
    type: 'button', class: 'stop-all-button', 'data-testid': 'stop-all',
    onclick: async () => {
      stopAll.disabled = true;
      try {
        await onStopAll();
      } finally {
        stopAll.disabled = false;
      }
    },
  }, icon('stop'), 'Stop all sounds');
  const playing = h('div', { class: 'stop-all-bar', role: 'region', 'aria-label': 'Sound playing', hidden: true },
    h('span', { class: 'stop-all-playing' }, icon('speaker'), h('span', { class: 'stop-all-word' }, 'Playing')), stopAll);
  // The label keeps the name on phones, where only the icon shows.
  const logout = h('button', { type: 'button', class: 'button button-quiet logout-button', 'aria-label': 'Log out', onclick: onLogout },
    icon('logout'), h('span', { class: 'logout-label' }, 'Log out'));

  const brandPlayer = h('span', { class: 'brand-player', 'data-testid': 'player-name' });
  // While something plays the stop control takes the brand's place, so the row never grows.
  const header = h('header', { class: 'site-header' },
    h('div', { class: 'header-inner' },
      h('a', { href: '/', class: 'brand' }, icon('bell'), h('span', {}, 'Quorvane Player'), brandPlayer),
      playing, menuButton, nav, logout));
  header.addEventListener('keydown', (e) => {
    if (e.key !== 'Escape' || !menuOpen()) return;
    setMenuOpen(false);
    menuButton.focus();
  });
  header.addEventListener('focusout', (e) => {
    if (menuOpen() && e.relatedTarget && !nav.contains(e.relatedTarget) && e.relatedTarget !== menuButton) setMenuOpen(false);
  });
  const closeOutside = (e) => {
    if (menuOpen() && !nav.contains(e.target) && !menuButton.contains(e.target)) setMenuOpen(false);
  };
  document.addEventListener('click', closeOutside);

  const banners = h('div', { class: 'banners' });
  const main = h('main', { id: 'main', class: 'main', tabindex: '-1' });
  const footerText = h('p', {}, 'Quorvane Player');
  const footer = h('footer', { class: 'site-footer' }, footerText);
  const skip = h('a', { href: '#main', class: 'skip-link', onclick: (e) => { e.preventDefault(); main.focus(); } }, 'Skip to content');

  let currentPath = '/';
  let lastLive = null;
  let bannerKey = '';
  let footerKey = '';
  // Rebuild only on change, so a focused button is not swapped away every second.
  const render = () => {
    const live = lastLive;
    if (!live) return;
    playing.hidden = !(live.status && live.status.isPlaying);
    const name = (live.overview && live.overview.playerName) || '';
    if (brandPlayer.textContent !== name) {
      brandPlayer.textContent = name;
      setPlayerName(name);
    }
    header.classList.toggle('is-playing', !playing.hidden);
    const alarm = Boolean(live.overview && live.overview.alarmActive) && currentPath !== '/';
    // Unlike the alarm's, this banner shows on the dashboard too: its Stop has no other place.
    const emergency = (live.status && live.status.emergency) || null;
    const today = live.overview && live.overview.activeTimetableInfo ? live.overview.activeTimetableInfo.date : '';
    const bellsOff = bellsOffCheck(live.health);
    const key = JSON.stringify([live.unreachable, alarm, emergency, today, bellsOff]);
    if (key !== bannerKey) {
      bannerKey = key;
      replace(banners,
        emergencyBanner(emergency, today),
        live.unreachable ? h('div', { class: 'banner banner-warn', role: 'status' }, icon('offline'), 'The connection to the player is lost. Trying again…') : null,
        alarm ? h('div', { class: 'banner banner-alarm', role: 'alert' }, icon('siren'), h('strong', {}, 'The alarm is sounding.'),
          h('button', { type: 'button', class: 'button button-light', onclick: onStopAlarm }, icon('stop'), 'Stop alarm')) : null,
        bellsOffBanner(bellsOff));
    }
    const fkey = JSON.stringify(live.info);
    if (fkey !== footerKey) {
      footerKey = fkey;
      replace(footerText, ...footerParts(live.info));
    }
  };
  const unsubscribe = subscribe((live) => {
    lastLive = live;
    render();
  });

  const root = h('div', { class: 'shell' }, skip, header, banners, main, footer);
  return {
    root,
    main,
    setCurrent(path) {
      currentPath = path;
      for (const [i, a] of links.entries()) {
        if (isCurrent(NAV[i], path)) a.setAttribute('aria-current', 'page');
        else a.removeAttribute('aria-current');
      }
      setMenuOpen(false);
      render();
    },
    destroy() {
      unsubscribe();
      document.removeEventListener('click', closeOutside);
    },
  };
}

// The footer's words for the internet state, shared with the announcements page.
import { internetText, checkedText } from '../internet-words.js';

function footerParts(info) {
  if (!info) return ['Quorvane Player'];
  return [
    h('span', { class: 'footer-version' }, `Quorvane Player ${info.version}`),
    h('span', { class: 'footer-net-group' },
      h('span', { class: `footer-net ${info.internetAccess ? 'is-online' : 'is-offline'}`, 'data-testid': 'internet' },
        icon(info.internetAccess ? 'globe' : 'offline'), internetText(info)),
      // The state is only as fresh as the player's last request to the service.
      h('span', { class: 'footer-net-checked', 'data-testid': 'internet-checked' }, `· ${checkedText(info)}`)),
  ];
}
