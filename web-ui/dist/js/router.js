// Client-side routing on real paths (the player answers index.html for every path without a dot).

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
 * While `isPending()` holds, leaving the page (a link, the back button, reloading or closing the
 * tab) asks `question` first. Returns the teardown the page calls when it goes.
 */
export function guardLeaving(isPending, question) {
  leaveGuard = () => !isPending() || window.confirm(question);
  const beforeUnload = (e) => {
    if (isPending()) {
      e.preventDefault();
      e.returnValue = '';
    }
  };
  window.addEventListener('beforeunload', beforeUnload);
  return () => window.removeEventListener('beforeunload', beforeUnload);
}

/** True when nothing is pending, or the user agrees to leave it: for ways out that are not links. */
export function mayLeave() {
  return !leaveGuard || leaveGuard();
}

export function navigate(url, { replace = false, force = false } = {}) {
  if (!force && leaveGuard && !leaveGuard()) return false;
  leaveGuard = null;
  if (replace) history.replaceState(null, '', url);
  else history.pushState(null, '', url);
  dispatch();
  return true;
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
    if (leaveGuard && !leaveGuard()) {
      // Stay: put the page we are leaving back on top.
      history.pushState(null, '', lastUrl);
      return;
    }
    leaveGuard = null;
    dispatch();
  });
  dispatch();
}
