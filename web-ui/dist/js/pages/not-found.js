import { h, replace } from '../dom.js';

export const title = 'Not found';

export function render(main) {
  replace(main,
    h('h1', { class: 'page-title' }, 'Page not found'),
    h('p', {}, 'There is no such page. ', h('a', { href: '/' }, 'Go to the dashboard.')));
}
