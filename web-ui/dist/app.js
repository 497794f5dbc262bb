// Entry of the browser application: decides between first-run setup, login and the pages.

import { api, onNoAuth } from './js/api.js';
import { addRoute, match, mayLeave, navigate, startRouter } from './js/router.js';
import { acceptOverview, startLive, stopLive, refreshOverview, refreshStatus } from './js/live.js';
import { h, replace } from './js/dom.js';
import { setPageTitle } from './js/page-title.js';
import { createShell } from './js/widgets/layout.js';
import { toast, notice, errorText } from './js/widgets/notice.js';
import * as dashboard from './js/pages/dashboard.js';
import * as timetables from './js/pages/timetables.js';
import * as editor from './js/pages/timetable-editor.js';
import * as signals from './js/pages/signals.js';
import * as settings from './js/pages/settings.js';
import * as calendar from './js/pages/calendar.js';
import * as announcements from './js/pages/announcements.js';
import * as journal from './js/pages/journal.js';
import * as login from './js/pages/login.js';
import * as setup from './js/pages/setup.js';
import * as notFound from './js/pages/not-found.js';

addRoute('/', dashboard);
addRoute('/timetables', timetables);
addRoute('/timetables/:id', editor);
addRoute('/signals', signals);
addRoute('/settings', settings);
addRoute('/calendar', calendar);
addRoute('/announcements', announcements);
addRoute('/journal', journal);
addRoute('/login', login);
addRoute('/setup', setup);

const root = document.getElementById('app');
let auth = 'unknown'; // 'open' (no password yet), 'locked' or 'in'
let shell = null;
let cleanup = null;
let firstRender = true;

function dropShell() {
  if (shell) {
    shell.destroy();
    shell = null;
  }
}

function lock() {
  auth = 'locked';
  stopLive();
  if (location.pathname !== '/login') navigate('/login', { replace: true, force: true });
}

onNoAuth(lock);

async function findAuth() {
  try {
    const overview = await api.overview();
    acceptOverview(overview);
    return overview.passwordMissing ? 'open' : 'in';
  } catch (err) {
    if (err.noAuth) return 'locked';
    throw err;
  }
}

function showBare(page, props) {
  dropShell();
  const main = h('main', { id: 'main', class: 'bare-main', tabindex: '-1' });
  replace(root, main);
  setPageTitle(page.title);
  return page.render(main, props);
}

function enterApp() {
  auth = 'in';
  // Its first poll fetches the overview at once: the login page had none.
  startLive();
  navigate('/', { replace: true, force: true });
}

async function logout() {
  // Logging out leaves the page too: unsaved input gets the same question as a link.
  if (!(await mayLeave())) return;
  try {
    await api.logout();
  } catch (err) {
    if (!err.noAuth) {
      toast(`Logging out failed: ${errorText(err)}`, 'error');
      return;
    }
  }
  lock();
}

async function stopAlarm() {
  try {
    await api.toggleAlarm();
    await refreshOverview();
  } catch (err) {
    toast(`The alarm could not be stopped: ${errorText(err)}`, 'error');
  }
}

async function stopAllSounds() {
  try {
    await api.stopAll();
    await Promise.all([refreshStatus(), refreshOverview()]);
    toast('All sounds have been stopped.', 'ok');
  } catch (err) {
    if (!err.noAuth) toast(`The sounds could not be stopped: ${errorText(err)}`, 'error');
  }
}

async function onRoute(path, query) {
  if (cleanup) {
    try { cleanup(); } catch { /* a page's teardown must not block navigation */ }
    cleanup = null;
  }
  if (auth === 'unknown') {
    try {
      auth = await findAuth();
    } catch (err) {
      dropShell();
      replace(root, h('main', { class: 'bare-main' }, h('div', { class: 'auth-card card' },
        h('h1', { class: 'auth-title' }, 'Quorvane Player'),
        notice(errorText(err), 'error'),
        h('button', { type: 'button', class: 'button button-primary', onclick: () => location.reload() }, 'Try again'))));
      return;
    }
  }

  if (path === '/login') {
    if (auth === 'in') return void navigate('/', { replace: true, force: true });
    if (auth === 'open') return void navigate('/setup', { replace: true, force: true });
    cleanup = showBare(login, { onLoggedIn: enterApp });
    return;
  }
  if (path === '/setup') {
    if (auth !== 'open') return void navigate(auth === 'in' ? '/' : '/login', { replace: true, force: true });
    cleanup = showBare(setup, {
      onPasswordSet: () => {
        toast('The password is set. Welcome!', 'ok');
        enterApp();
      },
    });
    return;
  }
  if (auth === 'locked') return void navigate('/login', { replace: true, force: true });
  if (auth === 'open') return void navigate('/setup', { replace: true, force: true });

  if (!shell) {
    shell = createShell({ onLogout: logout, onStopAlarm: stopAlarm, onStopAll: stopAllSounds });
    replace(root, shell.root);
  }
  startLive();
  shell.setCurrent(path);
  const found = match(path);
  const page = found && found.page !== login && found.page !== setup ? found.page : notFound;
  setPageTitle(page.title);
  cleanup = page.render(shell.main, { params: found ? found.params : {}, query }) || null;
  if (!firstRender) {
    window.scrollTo(0, 0);
    shell.main.focus({ preventScroll: true });
  }
  firstRender = false;
}

startRouter((path, query) => { onRoute(path, query); });
