// A day's adjustment (a late or early start, an early end) in words.

function minutes(n) {
  return n === 1 ? '1 minute' : `${n} minutes`;
}

/**
 * "Today starts 90 minutes late (from 08:00) · No bells after 12:30", or '' without an adjustment.
 * subject names the day: 'Today' on the dashboard, 'The day' elsewhere.
 */
export function adjustmentText(adjustment, subject = 'Today') {
  if (!adjustment) return '';
  const parts = [];
  const shift = adjustment.shiftMinutes || 0;
  if (shift !== 0) {
    const from = adjustment.from ? ` (from ${adjustment.from})` : '';
    parts.push(`${subject} starts ${minutes(Math.abs(shift))} ${shift > 0 ? 'late' : 'early'}${from}`);
  }
  if (adjustment.endAfter) parts.push(`${parts.length ? 'no' : 'No'} bells after ${adjustment.endAfter}`);
  return parts.join(' · ');
}

/** "(planned 08:00)" for a moved bell of a day preview; '' for one at its timetable time. */
export function plannedText(bell) {
  return bell && bell.planned ? ` (planned ${bell.planned})` : '';
}
