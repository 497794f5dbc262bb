// The district's script that copies one timetable to many players, run against three real players on
// loopback: one source and two targets, one of which lacks a signal the timetable uses.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import path from 'node:path';
import { promisify } from 'node:util';
import { startStack, makeWav, REPO_ROOT } from '../lib/harness.mjs';

const SCRIPT = path.join(REPO_ROOT, 'tools', 'district', 'copy-timetable.sh');
const PASSWORD = 'district-pass';

/** A logged-in client of one player over plain HTTP: the session cookie is all a browser would keep. */
async function session(baseUrl) {
  let cookie = '';
  const call = async (method, urlPath, body) => {
    const res = await fetch(`${baseUrl}${urlPath}`, {
      method,
      headers: { Cookie: cookie, ...(body === undefined ? {} : { 'Content-Type': 'application/json' }) },
      body: body === undefined ? undefined : JSON.stringify(body),
      redirect: 'manual',
    });
    const set = res.headers.get('set-cookie');
    if (set) cookie = set.split(';')[0];
    const text = await res.text();
    if (!res.ok) throw new Error(`${method} ${urlPath} answered ${res.status}: ${text}`);
    return (res.headers.get('content-type') || '').startsWith('application/json') ? JSON.parse(text) : text;
  };
  await call('POST', '/auth/chpasswd', { newPassword: PASSWORD });
  return { get: (p) => call('GET', p), post: (p, body) => call('POST', p, body), cookie: () => cookie };
}

function runScript(args, env = {}) {
  return promisify(execFile)('bash', [SCRIPT, ...args], { env: { ...process.env, QUORVANE_PASSWORD: PASSWORD, ...env }, timeout: 60000 })
    .then(({ stdout, stderr }) => ({ code: 0, stdout, stderr }), (err) => ({ code: err.code, stdout: err.stdout, stderr: err.stderr }));
}

describe('copying a timetable to many players', () => {
  const stacks = [];
  let source;
  let targets;

  before(async () => {
    for (const label of ['district-source', 'district-north', 'district-south']) stacks.push(await startStack(label));
    const clients = await Promise.all(stacks.map((s) => session(s.baseUrl)));
    [source, ...targets] = clients;
    // A signal of the source's own, which the targets lack: the copy must say that its bell stays silent.
    const form = new FormData();
    form.append('file', new Blob([makeWav(1, 7)], { type: 'audio/wav' }), 'Gong of the source.wav');
    const upload = await fetch(`${stacks[0].baseUrl}/upload`, { method: 'POST', body: form, headers: { Cookie: source.cookie() } });
    assert.equal(upload.status, 200, await upload.clone().text());
    const gong = await upload.json();
    const [factory] = await source.get('/db/timetables');
    const { id, revision, uses, ...table } = factory;
    table.name = 'Exam day';
    table.chA.lessons = table.chA.lessons.slice(0, 3);
    table.chA.startOfClass.id = gong;
    await source.post('/db/timetables/create', table);
  });
  after(async () => {
    for (const s of stacks) await s.stop();
  });

  it('imports it into every target and makes it the default there', async () => {
    const result = await runScript(['--default', stacks[0].baseUrl, 'Exam day', stacks[1].baseUrl, `${stacks[2].baseUrl}/`]);
    assert.equal(result.code, 0, result.stderr);
    const sourceTables = await source.get('/db/timetables');
    const original = sourceTables.find((t) => t.name === 'Exam day');
    for (const [index, target] of targets.entries()) {
      const tables = await target.get('/db/timetables');
      const copy = tables.find((t) => t.name === 'Exam day');
      assert.ok(copy, `target ${index} has the copy: ${JSON.stringify(tables.map((t) => t.name))}`);
      assert.deepEqual(copy.chA.lessons, original.chA.lessons);
      assert.equal(copy.chA.startOfClass.id, 'NULL', 'a signal the target lacks plays nothing there');
      const db = await target.get('/db');
      assert.equal(db.settings.defaultTimetableId, copy.id);
      assert.match(result.stdout, new RegExp(`${stacks[index + 1].baseUrl}: imported as "Exam day"; these signals are not on this player and stay silent there: Gong of the source; now the default timetable`));
    }
  });

  it('reports an unreachable or refusing target, and still copies to the others', async () => {
    const result = await runScript([stacks[0].baseUrl, 'Exam day', 'http://127.0.0.1:9', stacks[1].baseUrl]);
    assert.equal(result.code, 1);
    assert.match(result.stderr, /http:\/\/127\.0\.0\.1:9: not copied/);
    // The second copy takes a name of its own rather than a second "Exam day".
    assert.match(result.stdout, /imported as "Exam day \(imported\)"/);
    const wrong = await runScript([stacks[0].baseUrl, 'Exam day', stacks[2].baseUrl], { QUORVANE_SOURCE_PASSWORD: PASSWORD, QUORVANE_PASSWORD: 'not-it' });
    assert.equal(wrong.code, 1);
    assert.match(wrong.stderr, /not copied/);
  });

  it('fails before touching any target when the source has no such timetable', async () => {
    const before = (await targets[0].get('/db/timetables')).length;
    const result = await runScript([stacks[0].baseUrl, 'No such day', stacks[1].baseUrl]);
    assert.equal(result.code, 1);
    assert.match(result.stderr, /has no timetable named "No such day"/);
    assert.equal((await targets[0].get('/db/timetables')).length, before);
  });
});
