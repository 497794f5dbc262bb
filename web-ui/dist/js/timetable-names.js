// Timetable names must tell timetables apart in every menu; the player itself accepts any name.

const key = (name) => String(name).trim().toLocaleLowerCase();

/** A problem with `text` as the name of timetable `ownId` (null for a new one), or null. */
export function timetableNameProblem(text, timetables, ownId = null) {
  const name = String(text).trim();
  if (name === '') return 'Enter a name.';
  if (name.length > 80) return 'Use at most 80 characters.';
  const clash = timetables.find((t) => t.id !== ownId && key(t.name) === key(name));
  return clash ? `A timetable named “${clash.name.trim()}” already exists.` : null;
}

/** `base`, or the first of "base 2", "base 3", … that no timetable has, to offer as a name. */
export function freeTimetableName(base, timetables) {
  let name = base;
  for (let n = 2; timetableNameProblem(name, timetables) !== null; n += 1) name = `${base} ${n}`;
  return name;
}
