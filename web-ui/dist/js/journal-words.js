// The bell journal in words: what each entry was, how it ended and why.

import { routineName, routinePhrase, drillMark } from './emergency-words.js';
import { bellWords } from './bell-words.js';

/** The journal's bell kinds as the timeline names them. */
const TIMELINE_KIND = { lessonStart: 'start', lessonEnd: 'end', preStart: 'preStart', preEnd: 'preEnd', extraPlay: 'extra' };

export const OUTCOME_LABEL = { rang: 'Rang', failed: 'Failed', stopped: 'Stopped', missed: 'Missed', note: 'Note' };

/** Seconds of the day of an entry's due moment ("2024-09-02T08:00:00"), or null. */
export function dueSeconds(entry) {
  const m = /T(\d\d):(\d\d):(\d\d)/.exec(entry.due || '');
  return m ? Number(m[1]) * 3600 + Number(m[2]) * 60 + Number(m[3]) : null;
}

export function dueTime(entry) {
  const m = /T(\d\d:\d\d:\d\d)/.exec(entry.due || '');
  return m ? m[1] : '';
}

/** "planned 08:00:00" for a bell the day's adjustment moved; '' otherwise. */
export function plannedTime(entry) {
  const m = /T(\d\d:\d\d:\d\d)/.exec(entry.planned || '');
  return m ? `planned ${m[1]}` : '';
}

/** The routine of an emergency entry with its mark: "Lockdown (drill)". */
const routineMarked = (entry) => `${routineName(entry.routine)} ${drillMark(entry.drill)}`;

const EMERGENCY_KINDS = ['emergencyStart', 'emergencyStop', 'emergency'];
export const isEmergency = (entry) => EMERGENCY_KINDS.includes(entry.kind);

export function kindText(entry) {
  const n = entry.lesson >= 0 ? entry.lesson + 1 : '?';
  switch (entry.kind) {
    case 'emergencyStart': return entry.routine === 'allClear' ? `${routineMarked(entry)} given` : `${routineMarked(entry)} started`;
    case 'emergencyStop': return `${routineMarked(entry)} ended`;
    case 'emergency': return `${routineMarked(entry)} sound`;
    case 'lessonStart':
    case 'lessonEnd':
    case 'preStart':
    case 'preEnd':
    case 'extraPlay': return bellWords(entry.kind, n);
    case 'manualPlay': return 'Played by hand';
    case 'alarm': return 'Alarm';
    case 'announcement': return 'Announcement';
    case 'test': return 'Test ring';
    case 'journalFull': return 'Journal full';
    case 'clockStep': return 'Clock set back';
    case 'alert': return 'Alert';
    default: return entry.kind || '';
  }
}

/** Why a bell failed, stopped or was missed, in words; empty for one that rang. */
export function reasonText(entry) {
  // An alert's note says itself whether it went out, where, and what it said.
  if (entry.kind === 'alert') return entry.detail;
  switch (entry.reason) {
    case 'fileMissing': return 'the sound file is missing';
    case 'signalMissing': return 'its signal was deleted';
    case 'playerNotStarted': return `the sound player could not start${entry.detail ? ` (${entry.detail})` : ''}`;
    case 'exitStatus': return `the sound player stopped with error ${entry.code}`;
    case 'killedBySignal': return `the sound player was killed (signal ${entry.code})`;
    case 'stopAll': return 'stopped with “Stop all sounds”';
    case 'alarmSwitch': return 'the alarm was switched off';
    case 'shutdown': return 'the player was shut down';
    case 'notRunning': return 'the player was not running';
    case 'schedulerOff': return 'the scheduler was switched off';
    case 'skipped': return 'the clock jumped forward or the player stalled';
    case 'dailyCap': return entry.detail || 'the journal is full for the day';
    case 'setBack': return `the clock was set back by ${entry.code} s; no bell rang twice`;
    case 'emergency': return entry.routine ? `silenced during the ${routinePhrase(entry)}` : 'silenced during an emergency routine';
    case 'emergencyStop': return 'the emergency routine was stopped';
    case 'allClear': return 'ended by the all clear';
    case 'routineChanged': return 'another emergency routine was started';
    default: return '';
  }
}

/** "Failed: the sound file is missing", "Rang". */
export function outcomeText(entry) {
  const why = reasonText(entry);
  const label = OUTCOME_LABEL[entry.outcome] || entry.outcome;
  return why ? `${label}: ${why}` : label;
}

export const isProblem = (entry) => entry.outcome === 'failed' || entry.outcome === 'missed';

/**
 * Pairs today's timeline bells with the journal's entries of scheduled bells: the same second, kind
 * and lesson. Returns one entry (or null) per bell, in the bells' order.
 */
export function entriesForBells(bells, entries) {
  const pool = new Map();
  for (const e of entries) {
    const kind = TIMELINE_KIND[e.kind];
    if (!kind) continue;
    const key = `${dueSeconds(e)}|${kind}|${kind === 'extra' ? '' : e.lesson + 1}`;
    if (!pool.has(key)) pool.set(key, []);
    pool.get(key).push(e);
  }
  return bells.map((b) => {
    const list = pool.get(`${b.seconds}|${b.kind}|${b.kind === 'extra' ? '' : b.lesson}`);
    return list && list.length ? list.shift() : null;
  });
}
