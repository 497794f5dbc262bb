// Channel B as stored, read only: the player rings only channel A, so nothing here may look as if
// it rang or could be set to ring.

import { h } from '../dom.js';
import { notice } from './notice.js';
import { signalName } from './signal-select.js';
import { LESSON_BELLS, lessonDraft, lessonProblems } from '../timetable-draft.js';

function playText(desc, signals) {
  const name = signalName(signals, desc.id);
  return desc.doRepeat ? `${name}, ${desc.iterations} times, ${desc.delaySec} s apart` : name;
}

export function channelBView({ channel, signals }) {
  const lessons = (channel.lessons || []).map(lessonDraft);
  const problems = lessonProblems(lessons);
  return h('details', { class: 'card channel-b' },
    h('summary', {}, h('strong', {}, 'Channel B'), ' ',
      h('span', { class: 'muted' }, 'is kept with the timetable, but the player rings only channel A.')),
    h('p', { class: 'muted small' }, 'Shown as stored; saving keeps it unchanged.'),
    problems.length ? notice(problems.map((p) => p.message).join(' '), 'warn') : null,
    h('div', { class: 'channel-b-grid' },
      h('div', {},
        h('h3', { class: 'section-title' }, 'Lessons'),
        lessons.length === 0
          ? h('p', { class: 'muted' }, 'No lessons.')
          : h('ol', { class: 'channel-b-lessons' }, lessons.map((l) => h('li', {}, `${l.start}–${l.end}`)))),
      h('div', {},
        h('h3', { class: 'section-title' }, 'Signals'),
        h('dl', { class: 'channel-b-signals' }, LESSON_BELLS.flatMap((bell) => [
          h('dt', {}, bell.title),
          h('dd', {}, playText(channel[bell.key], signals), bell.wait ? `, ${channel[bell.wait]} minutes before` : ''),
        ])))));
}
