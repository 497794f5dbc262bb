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

/** "Internet access: yes" or "Internet access: no", from /api/get/info. */
export function internetText(info) {
  return info && info.internetAccess ? 'Internet access: yes' : 'Internet access: no';
}

/** "checked 3 min ago", or "not checked yet" while the player has not tried since it started. */
export function checkedText(info) {
  const ago = info ? info.internetCheckedSecondsAgo : null;
  return ago === null || ago === undefined ? 'not checked yet' : `checked ${agoText(ago)}`;
}
