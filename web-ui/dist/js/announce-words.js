// A failed announcement in words. The player's reason names the transport ("Could not connect to
// http://..."), which tells a school administrator nothing; it is kept for a details line only.

const PREFIX = 'Failed to download announcement: ';
const UNREACHABLE = /^the announcement service could not be reached(?: \((.*)\))?$/s;
const ANSWERED = /^the announcement service answered: (.*)$/s;

/** {message, detail}: what happened and what to do, and the player's own words when they add anything. */
export function announceFailure(reason) {
  const text = String(reason || '').trim();
  if (!text.startsWith(PREFIX)) return { message: text || 'The announcement could not be played.', detail: '' };
  const rest = text.slice(PREFIX.length);
  const unreachable = UNREACHABLE.exec(rest);
  if (unreachable) {
    return {
      message: 'The announcement service could not be reached. Check the player’s internet connection, then try again.',
      detail: unreachable[1] || '',
    };
  }
  // The service's own words say what was wrong with the request (an unknown id, say).
  const answered = ANSWERED.exec(rest);
  if (answered) return { message: `The service answered: ${answered[1]}`, detail: '' };
  if (rest === 'the announcement service refused it') {
    return { message: 'The announcement service refused it. Check the id, or try again later.', detail: '' };
  }
  return { message: 'The announcement could not be saved on the player. Try again.', detail: rest };
}
