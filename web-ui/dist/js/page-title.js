// The browser tab's title: the page, and the player's name where it has one, so that the tabs of a
// district's players can be told apart.

let page = '';
let player = '';

function show() {
  document.title = [page, player, 'Quorvane Player'].filter(Boolean).join(' · ');
}

export function setPageTitle(title) {
  page = title;
  show();
}

export function setPlayerName(name) {
  player = name || '';
  show();
}
