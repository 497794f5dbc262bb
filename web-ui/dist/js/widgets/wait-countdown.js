// A wait the player asked for (Retry-After), counted down each second until it is over.

/** "59 seconds", "1 second", "14 minutes 5 seconds", "1 minute": the time left, to the second. */
export function countdownText(seconds) {
  const s = Math.max(0, Math.ceil(seconds));
  const part = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;
  if (s < 60) return part(s, 'second');
  const rest = s % 60;
  return rest === 0 ? part(s / 60, 'minute') : `${part(Math.floor(s / 60), 'minute')} ${part(rest, 'second')}`;
}

/**
 * Calls onTick(secondsLeft) now and whenever the whole seconds left change, then onDone() once the wait
 * is over. Counted against the clock rather than by ticks, so a tab that was in the background is not
 * behind. Returns the function that stops it early.
 */
export function startCountdown(seconds, { onTick, onDone }) {
  const deadline = Date.now() + seconds * 1000;
  let shown = null;
  let timer = null;
  const stop = () => clearInterval(timer);
  const tick = () => {
    const left = Math.ceil((deadline - Date.now()) / 1000);
    if (left <= 0) {
      stop();
      onDone();
      return;
    }
    if (left !== shown) {
      shown = left;
      onTick(left);
    }
  };
  timer = setInterval(tick, 250);
  tick();
  return stop;
}
