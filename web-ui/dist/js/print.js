// Printing one part of a page: only that part goes to paper, under a heading with the school's name
// (when the settings give one) and what the sheet shows, without menus or buttons.

import { h } from './dom.js';

let schoolName = '';

/** The name printed at the top of every sheet. */
export function setPrintedName(name) {
  schoolName = name || '';
}

export function printSection(section, what) {
  const heading = h('div', { class: 'print-heading' },
    schoolName ? h('p', { class: 'print-school' }, schoolName) : null,
    h('p', { class: 'print-what' }, what));
  section.classList.add('is-printed');
  section.prepend(heading);
  document.body.classList.add('printing-section');
  const done = () => {
    heading.remove();
    section.classList.remove('is-printed');
    document.body.classList.remove('printing-section');
    window.removeEventListener('afterprint', done);
  };
  window.addEventListener('afterprint', done);
  window.print();
}
