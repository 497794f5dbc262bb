// On a day without (more) bells: the next day that rings and its first bell, as the player plans it.

import { h, replace } from '../dom.js';
import { api } from '../api.js';
import { dateText } from '../dates.js';

/** "Monday 14 December, 07:55", the date as the browser's language writes it. */
export function nextDayText(next) {
  return `${dateText(next.date, 'weekdayDayMonth')}, ${next.time}`;
}

/** Fills the element with the message, then the next day with bells once the player has answered. */
export function showNextBellDay(el, message) {
  replace(el, h('p', { class: 'next-none' }, message));
  api.nextBellDay().then((next) => {
    if (!el.isConnected || el.querySelector('.next-day')) return;
    el.append(next
      ? h('p', { class: 'next-day', 'data-testid': 'next-bell-day' }, 'Next: ', h('strong', {}, nextDayText(next)))
      : h('p', { class: 'next-day muted', 'data-testid': 'next-bell-day' }, 'No bells planned within a year.'));
  }).catch(() => {});
}
