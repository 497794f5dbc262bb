// The player's internet access in words, with how fresh that knowledge is.

/** "just now", "1 min ago", "3 min ago", "2 h ago", "3 days ago". */
export function agoText(seconds) {
  const s = Math.max(0, Math.floor(Number(seconds) || 0));
  if (s < 60) return 'just now';
  if (s < 3600) return `${Math.floor(s / 60)} min ago`;
  if (s < 86400) return `${Math.floor(s / 3600)} h ago`;
  const days = Math.floor(s / 86400);
  return days === 1 ? '1 day ago' : `${days} days ago`;
}

function neverChecked(info) {
  return !info || info.internetCheckedSecondsAgo === null || info.internetCheckedSecondsAgo === undefined;
}

/** "Internet access: yes", "no", or "unknown" before the player's first request since it started. */
export function internetText(info) {
  if (info && info.internetAccess) return 'Internet access: yes';
  return neverChecked(info) ? 'Internet access: unknown' : 'Internet access: no';
}

/** "checked 3 min ago", or "not checked yet" while the player has not tried since it started. */
export function checkedText(info) {
  return neverChecked(info) ? 'not checked yet' : `checked ${agoText(info.internetCheckedSecondsAgo)}`;
}
