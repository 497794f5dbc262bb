// Client-side routing on real paths (the player answers index.html for every path without a dot).

import { confirmDialog } from './widgets/dialog.js';

const routes = [];
let onRoute = () => {};
let leaveGuard = null;

/** pattern: "/timetables/:id"; handler receives {params, query, path}. */
export function addRoute(pattern, page) {
  const names = [];
  const source = pattern
    .split('/')
    .map((part) => {
      if (part.startsWith(':')) {
        names.push(part.slice(1));
        return '([^/]+)';
      }
      return part.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
    })
    .join('/');
  routes.push({ regex: new RegExp(`^${source || '/'}/?$`), names, page, pattern });
}

export function match(path) {
  for (const r of routes) {
    const m = r.regex.exec(path);
    if (m) {
      const params = {};
      r.names.forEach((name, i) => { params[name] = decodeURIComponent(m[i + 1]); });
      return { page: r.page, params, pattern: r.pattern };
    }
  }
  return null;
}

/**
 * While `isPending()` holds, leaving the page asks `question` first: in the app's own dialog for a
 * link, the back button or logging out, in the browser's for reloading or closing the tab (the only
 * question a page may ask then). Returns the teardown the page calls when it goes.
 */
export function guardLeaving(isPending, question) {
  let asking = null;
  leaveGuard = () => {
    if (!isPending()) return Promise.resolve(true);
    // A second click while the question is open gets the same question, not a second dialog.
    asking = asking || confirmDialog({ title: 'Leave this page?', message: question, confirmLabel: 'Leave without saving', cancelLabel: 'Stay' })
      .finally(() => { asking = null; });
    return asking;
  };
  const beforeUnload = (e) => {
    if (isPending()) {
      e.preventDefault();
      e.returnValue = '';
    }
  };
  window.addEventListener('beforeunload', beforeUnload);
  return () => window.removeEventListener('beforeunload', beforeUnload);
}

/** Resolves true when nothing is pending, or the user agrees to leave it: for ways out that are not links. */
export function mayLeave() {
  return leaveGuard ? leaveGuard() : Promise.resolve(true);
}

function go(url, replace) {
  leaveGuard = null;
  if (replace) history.replaceState(null, '', url);
  else history.pushState(null, '', url);
  dispatch();
}

/** Goes to `url` once the page may be left; `force` leaves without asking. */
export function navigate(url, { replace = false, force = false } = {}) {
  if (force || !leaveGuard) return go(url, replace);
  const guard = leaveGuard;
  guard().then((leave) => {
    // Only if the page that asked is still the one shown.
    if (leave && leaveGuard === guard) go(url, replace);
  });
}

export function currentLocation() {
  return { path: location.pathname, query: new URLSearchParams(location.search) };
}

let lastUrl = location.pathname + location.search;

function dispatch() {
  lastUrl = location.pathname + location.search;
  const { path, query } = currentLocation();
  onRoute(path, query);
}

function isInternalLink(a, event) {
  if (!a || event.defaultPrevented || event.button !== 0) return false;
  if (event.metaKey || event.ctrlKey || event.shiftKey || event.altKey) return false;
  if (a.target && a.target !== '_self') return false;
  if (a.hasAttribute('download') || a.origin !== location.origin) return false;
  // Files (paths with a dot) are served by the player itself.
  return !a.pathname.split('/').pop().includes('.');
}

export function startRouter(handler) {
  onRoute = handler;
  document.addEventListener('click', (event) => {
    const a = event.target.closest && event.target.closest('a[href]');
    if (!isInternalLink(a, event)) return;
    event.preventDefault();
    if (a.pathname + a.search === location.pathname + location.search) return;
    navigate(a.pathname + a.search);
  });
  window.addEventListener('popstate', () => {
    if (!leaveGuard) return dispatch();
    // The address has already changed: put the page being left back while the question is open,
    // and go where the button led only once the answer is to leave.
    const wanted = location.pathname + location.search;
    const guard = leaveGuard;
    history.pushState(null, '', lastUrl);
    guard().then((leave) => {
      if (leave && leaveGuard === guard) go(wanted, true);
    });
  });
  dispatch();
}
