// Tells the page on view that another part of this tab (the frame's "Switch the bells on") changed the
// settings, so that the settings page shows the change instead of refusing its next save.

const EVENT = 'qv-settings-changed';

/** changes: by dotted path; before and after: the settings' revisions the change was made against and gave. */
export function announceSettingsChanged(change) {
  window.dispatchEvent(new CustomEvent(EVENT, { detail: change }));
}

/** fn({changes, before, after}); returns the function that stops listening. */
export function onSettingsChanged(fn) {
  const listener = (e) => fn(e.detail);
  window.addEventListener(EVENT, listener);
  return () => window.removeEventListener(EVENT, listener);
}
