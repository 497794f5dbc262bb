// The HTTP interface against its description, docs/openapi.json: every route of src/web/routes.cpp is in
// the document as the route table declares it (login, body, side effects), and the real player's answers
// (statuses, content types, JSON and error texts) are those the document gives. No browser: plain fetch
// with the session cookie.

import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import Ajv2020Module from 'ajv/dist/2020.js';
import { startStack, REPO_ROOT, addDays, waitFor, freePort } from '../lib/harness.mjs';

const Ajv2020 = Ajv2020Module.default || Ajv2020Module;
const DOC_ID = 'https://quorvane.invalid/openapi.json';
const doc = JSON.parse(fs.readFileSync(path.join(REPO_ROOT, 'docs', 'openapi.json'), 'utf8'));
const METHODS = ['get', 'post', 'put', 'patch', 'delete', 'head', 'options'];

function makeAjv() {
  const ajv = new Ajv2020({ strictSchema: true, strictNumbers: true, strictRequired: true, strictTypes: false, allErrors: true });
  // The document's own members are no schema keywords; only the schemas inside it are compiled.
  ajv.addVocabulary(['openapi', 'info', 'servers', 'tags', 'security', 'paths', 'components', 'webhooks', 'externalDocs', 'jsonSchemaDialect']);
  ajv.addSchema(doc, DOC_ID);
  return ajv;
}

const pointerSegment = (text) => encodeURIComponent(text.replace(/~/g, '~0').replace(/\//g, '~1'));
const pointer = (...segments) => `#/${segments.map(pointerSegment).join('/')}`;

// The object a local $ref names, and the pointer where it was found.
function deref(value, at) {
  let node = value;
  let where = at;
  while (node && node.$ref) {
    assert.match(node.$ref, /^#\//, `only local references: ${node.$ref}`);
    where = node.$ref;
    node = node.$ref.slice(2).split('/').map((s) => s.replace(/~1/g, '/').replace(/~0/g, '~'))
      .reduce((n, key) => (n === undefined ? undefined : n[decodeURIComponent(key)]), doc);
    assert.ok(node !== undefined, `unresolved reference ${where}`);
  }
  return { node, where };
}

function operations() {
  const list = [];
  for (const [template, item] of Object.entries(doc.paths)) {
    for (const method of METHODS) if (item[method]) list.push({ template, method, op: item[method] });
  }
  return list;
}

// The route table: {"METHOD", "/pattern", handler, OPEN|GATED[, body[, effect...]]}.
function routeTable() {
  const source = fs.readFileSync(path.join(REPO_ROOT, 'src', 'web', 'routes.cpp'), 'utf8');
  const routes = [...source.matchAll(/\{"(GET|POST)",\s*"([^"]+)",\s*\w+,\s*(OPEN|GATED)(?:,\s*(\w+))?(?:,\s*(\w+))?/g)].map((m) => ({
    method: m[1],
    pattern: m[2],
    template: m[2].replace(/<(?:path:)?(\w+)>/g, '{$1}'),
    gated: m[3] === 'GATED',
    body: m[4] || 'NO_BODY',
    effect: m[5] || 'CHANGES_STATE',
  }));
  const entries = source.split('\n').filter((line) => /^\s*\{"[A-Z]+",/.test(line)).length;
  assert.equal(routes.length, entries, 'every entry of the route table is read');
  return routes;
}

const essence = (contentType) => (contentType || '').split(';')[0].trim().toLowerCase();
function mediaTypeMatches(key, actual) {
  const wanted = essence(key);
  if (wanted === '*/*') return true;
  if (wanted.endsWith('/*')) return actual.startsWith(wanted.slice(0, -1));
  return wanted === actual;
}

describe('the interface description', () => {
  it('lists every route of the route table as the table declares it', () => {
    const problems = [];
    for (const route of routeTable()) {
      const op = doc.paths[route.template]?.[route.method.toLowerCase()];
      const name = `${route.method} ${route.pattern}`;
      if (!op) {
        problems.push(`${name} is missing (as ${route.template})`);
        continue;
      }
      const security = JSON.stringify(op.security ?? doc.security);
      if (route.pattern === '/metrics') {
        if (security !== JSON.stringify([{ sessionCookie: [] }, { metricsToken: [] }])) problems.push(`${name}: session or bearer token, not ${security}`);
      } else if (route.gated !== (security === JSON.stringify([{ sessionCookie: [] }]))) {
        problems.push(`${name}: ${route.gated ? 'needs the session' : 'is open'}, documented as ${security}`);
      }
      if (route.gated && !op.responses['400']) problems.push(`${name}: the gate's 400 "No auth" is not documented`);
      const bodyTypes = Object.keys(op.requestBody?.content ?? {});
      const expected = { NO_BODY: [], JSON_BODY: ['application/json'], MULTIPART_BODY: ['multipart/form-data'] }[route.body];
      if (JSON.stringify(bodyTypes) !== JSON.stringify(expected)) problems.push(`${name}: request body ${bodyTypes} instead of ${expected}`);
      const changesState = route.effect === 'CHANGES_STATE';
      if (changesState !== Boolean(op.responses['403'])) problems.push(`${name}: 403 for cross-site requests ${changesState ? 'missing' : 'documented on a read-only route'}`);
    }
    assert.deepEqual(problems, []);
  });

  it('is a sound OpenAPI 3.1 document whose schemas compile', () => {
    assert.equal(doc.openapi, '3.1.0');
    assert.equal(doc.info.title, 'Quorvane Player');
    assert.ok(doc.paths['/api/openapi.json']?.get, 'the document is served too');
    const ajv = makeAjv();
    const ids = new Set();
    const problems = [];
    for (const { template, method, op } of operations()) {
      const name = `${method.toUpperCase()} ${template}`;
      if (!op.operationId || ids.has(op.operationId)) problems.push(`${name}: operationId missing or not unique`);
      ids.add(op.operationId);
      if (!op.summary) problems.push(`${name}: no summary`);
      const declared = (op.parameters ?? []).map((p) => deref(p).node).filter((p) => p.in === 'path').map((p) => p.name).sort();
      const inPath = [...template.matchAll(/\{(\w+)\}/g)].map((m) => m[1]).sort();
      if (JSON.stringify(declared) !== JSON.stringify(inPath)) problems.push(`${name}: path parameters ${declared} for ${inPath}`);
      if (!op.responses['200'] && !op.responses['302']) problems.push(`${name}: no success answer`);
      for (const [status, answer] of Object.entries(op.responses)) {
        const { node, where } = deref(answer, pointer('paths', template, method, 'responses', status));
        if (!node.description) problems.push(`${name} ${status}: no description`);
        for (const [type, media] of Object.entries(node.content ?? {})) {
          if (!media.schema) continue;
          try {
            ajv.compile({ $ref: `${DOC_ID}${where}/content/${pointerSegment(type)}/schema` });
          } catch (err) {
            problems.push(`${name} ${status} ${type}: ${err.message}`);
          }
        }
      }
      for (const [type, media] of Object.entries(op.requestBody?.content ?? {})) {
        try {
          ajv.compile({ $ref: `${DOC_ID}${pointer('paths', template, method, 'requestBody', 'content', type, 'schema')}` });
        } catch (err) {
          problems.push(`${name} request ${type}: ${err.message}`);
        }
      }
    }
    for (const name of Object.keys(doc.components.schemas)) {
      try {
        ajv.compile({ $ref: `${DOC_ID}${pointer('components', 'schemas', name)}` });
      } catch (err) {
        problems.push(`schema ${name}: ${err.message}`);
      }
    }
    assert.deepEqual(problems, []);
  });

  it('states the limits the code sets', () => {
    const text = JSON.stringify(doc);
    const restore = doc.paths['/restore'].post.description;
    const backupLimit = fs.readFileSync(path.join(REPO_ROOT, 'src', 'web', 'backup_endpoints.h'), 'utf8').match(/MAX_BACKUP_BYTES = uint64_t\{1\} << (\d+)/);
    assert.ok(backupLimit, 'the restore limit is found in the code');
    assert.ok(restore.includes(String(2 ** Number(backupLimit[1]))), `the restore limit of 2^${backupLimit[1]} bytes is stated`);
    const nameLimit = fs.readFileSync(path.join(REPO_ROOT, 'src', 'web', 'config_endpoints.h'), 'utf8').match(/MAX_SIGNAL_NAME_BYTES = (\d+)/)[1];
    assert.ok(text.includes(`Invalid name: expected 1 to ${nameLimit} bytes`));
    const planDays = fs.readFileSync(path.join(REPO_ROOT, 'src', 'scheduling', 'plan_changes.h'), 'utf8').match(/MAX_PLAN_DAYS = (\d+)/)[1];
    assert.equal(doc.paths['/api/get/dayTypes'].get.responses['200'].content['application/json'].schema.maxItems, Number(planDays));
  });
});

describe('the player answers as documented', { timeout: 180000 }, () => {
  let stack;
  let ajv;
  let cookie = '';
  const validators = new Map();
  const called = new Set();
  const PASSWORD = 'contract-pass-1';

  before(async () => {
    ajv = makeAjv();
    stack = await startStack('api-contract');
  });
  after(async () => {
    if (stack) await stack.stop();
  });

  async function call(method, urlPath, { body, auth = true, headers = {} } = {}) {
    const init = { method, redirect: 'manual', headers: { ...headers }, signal: AbortSignal.timeout(20000) };
    if (auth && cookie) init.headers.Cookie = cookie;
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    const res = await fetch(`${stack.baseUrl}${urlPath}`, init);
    const bytes = Buffer.from(await res.arrayBuffer());
    return { status: res.status, headers: res.headers, bytes, text: bytes.toString('utf8'), url: urlPath, method };
  }

  // Checks the answer against the operation of the template; returns the parsed JSON (when JSON).
  function check(template, res) {
    const method = res.method.toLowerCase();
    const op = doc.paths[template]?.[method];
    assert.ok(op, `${res.method} ${template} is not in the document`);
    called.add(`${method} ${template} ${res.status}`);
    const what = `${res.method} ${res.url} answered ${res.status}`;
    if (!('404' in op.responses)) assert.notEqual(res.status, 404, `${what}: the document names a route the player does not have`);
    const answer = op.responses[String(res.status)];
    assert.ok(answer, `${what}, which the document does not give (${Object.keys(op.responses)}): ${res.text.slice(0, 200)}`);
    const { node, where } = deref(answer, pointer('paths', template, method, 'responses', String(res.status)));
    for (const [name, header] of Object.entries(node.headers ?? {})) {
      const value = res.headers.get(name);
      if (['ETag', 'Set-Cookie', 'Location', 'Retry-After', 'Allow', 'Content-Disposition'].includes(name)) {
        assert.ok(value !== null, `${what} without its documented ${name} header`);
      }
      const { node: documented, where: headerAt } = deref(header, `${where}/headers/${pointerSegment(name)}`);
      if (value === null || !documented.schema) continue;
      const { schema } = documented;
      const typed = schema.type === 'integer' ? Number(value) : value;
      const headerRef = `${DOC_ID}${headerAt}/schema`;
      if (!validators.has(headerRef)) validators.set(headerRef, ajv.compile({ $ref: headerRef }));
      assert.ok(validators.get(headerRef)(typed), `${what}: header ${name}: ${value} is not as documented (${JSON.stringify(schema)})`);
    }
    if (!node.content) return undefined;
    const actual = essence(res.headers.get('content-type'));
    const type = Object.keys(node.content).find((key) => mediaTypeMatches(key, actual));
    assert.ok(type, `${what} as ${actual}, documented as ${Object.keys(node.content)}`);
    const schema = node.content[type].schema;
    let value;
    if (actual === 'application/json') value = JSON.parse(res.text);
    else if (actual === 'text/plain') value = res.text;
    else return undefined;
    if (!schema) return value;
    const ref = `${DOC_ID}${where}/content/${pointerSegment(type)}/schema`;
    if (!validators.has(ref)) validators.set(ref, ajv.compile({ $ref: ref }));
    const validate = validators.get(ref);
    if (!validate(value)) {
      assert.fail(`${what}: the answer does not match the document:\n${JSON.stringify(validate.errors, null, 2)}\n`
        + `answer: ${JSON.stringify(value).slice(0, 2000)}`);
    }
    return value;
  }

  async function expect(template, method, urlPath, status, options) {
    const res = await call(method, urlPath, options);
    const value = check(template, res);
    assert.equal(res.status, status, `${method} ${urlPath}: ${res.text.slice(0, 300)}`);
    return { res, value };
  }

  const gatedOnly = (op) => JSON.stringify(op.security ?? doc.security) === JSON.stringify([{ sessionCookie: [] }]);
  // A concrete path for a template: its parameters filled in.
  const concrete = (template, values) => template.replace(/\{(\w+)\}/g, (_, name) => encodeURIComponent(values[name] ?? 'x'));

  let today;
  let tomorrow;
  let timetableId;

  it('sets the first password without a session, then logs in and refuses the wrong password', async () => {
    const { value: overview } = await expect('/api/get/overview', 'GET', '/api/get/overview', 200);
    assert.equal(overview.passwordMissing, true, 'a fresh installation has no password');
    today = overview.activeTimetableInfo.date;
    tomorrow = addDays(today, 1);

    const set = await expect('/auth/chpasswd', 'POST', '/auth/chpasswd', 200, { body: PASSWORD });
    assert.match(set.res.headers.get('set-cookie'), /^session=[^;]+; HttpOnly; SameSite=Strict; Path=\//);

    const wrong = await expect('/auth/login', 'POST', '/auth/login', 400, { body: { userPassword: 'not it', remember: false } });
    assert.equal(wrong.value, 'Login failed');
    const notJson = await call('POST', '/auth/login', { headers: { 'Content-Type': 'text/plain' } });
    assert.equal(check('/auth/login', notJson), 'The request body must be JSON (Content-Type: application/json)');

    const login = await expect('/auth/login', 'POST', '/auth/login', 302, { body: { userPassword: PASSWORD, remember: false } });
    assert.equal(login.res.headers.get('location'), '/');
    // One cookie is set; node 18's fetch has no getSetCookie().
    cookie = login.res.headers.get('set-cookie').split(';')[0];
    assert.match(cookie, /^session=.+\..+$/);
  });

  it('refuses every gated route without a session, and /metrics without a session or the token', async () => {
    const values = { id: 'x', target: 'overview', path: 'app.js', routine: 'lockdown' };
    let gated = 0;
    for (const { template, method, op } of operations()) {
      if (!gatedOnly(op) || template === '/api/openapi.json') continue;  // its own test below
      const res = await call(method.toUpperCase(), concrete(template, values), { auth: false });
      assert.equal(check(template, res), 'No auth', `${method.toUpperCase()} ${template} without a session`);
      assert.equal(res.status, 400);
      gated += 1;
    }
    assert.ok(gated > 40, `${gated} gated operations tried`);
    const metrics = await expect('/metrics', 'GET', '/metrics', 401, { auth: false, headers: { Authorization: 'Bearer not-the-token' } });
    assert.match(metrics.value, /^Log in, or send the metrics token/);
    const health = await call('GET', '/healthz', { auth: false });
    assert.match(check('/healthz', health), /^[a-z]+$/, 'open to anybody');
    const page = await expect('/{path}', 'GET', '/settings', 302, { auth: false });
    assert.equal(page.res.headers.get('location'), '/login');
  });

  it('answers the changes that fill the lists with the documented shapes', async () => {
    const timetable = {
      name: 'Contract day',
      chA: {
        lessons: ['08:00 - 08:45', '09:00 - 09:45', '10:00 - 10:45'],
        startOfClass: { id: 'ID_ping' },
        endOfClass: { id: 'ID_melody', doRepeat: true, iterations: 2, delaySec: 1.5 },
        preStart: { id: 'ID_ping' },
        preStartWaitMin: 2,
      },
      customPlays: [{ desc: { id: 'ID_ping' }, slots: ['11:30:15'] }],
    };
    const created = await expect('/db/timetables/create', 'POST', '/db/timetables/create', 200, { body: timetable });
    timetableId = created.value;
    const outOfBounds = await expect('/db/timetables/create', 'POST', '/db/timetables/create', 400,
      { body: { chA: { preStartWaitMin: 5000 } } });
    assert.match(outOfBounds.value, /^Invalid timetable: chA\.preStartWaitMin: /);

    const tooLarge = await call('POST', '/db/timetables/create', { body: { name: 'x'.repeat(1024 * 1024) } });
    assert.equal(check('/db/timetables/create', tooLarge), 'Payload Too Large', 'a JSON body over 1 MiB');

    const planned = await expect('/db/plan/days', 'POST', '/db/plan/days', 200, { body: { from: tomorrow, timetableId } });
    assert.equal(planned.value, true);
    await expect('/db/plan/days', 'POST', '/db/plan/days', 200,
      { body: { from: addDays(today, 3), to: addDays(today, 5), timetableId: 'NULL' } });
    await expect('/db/plan/weekdays', 'POST', '/db/plan/weekdays', 200, { body: { weekdayTimetables: [timetableId, '', '', '', '', '', ''] } });
    await expect('/db/plan/adjust', 'POST', '/db/plan/adjust', 200, { body: { date: tomorrow, shiftMinutes: 10, from: '09:00', endAfter: '11:00' } });
    const past = await expect('/db/plan/days', 'POST', '/db/plan/days', 400, { body: { from: addDays(today, -1), timetableId } });
    assert.match(past.value, /^Date in the past: /);
    const settings = await expect('/db/settings/update', 'POST', '/db/settings/update', 200,
      { body: { playerName: 'Contract building', 'emergencyRoutines.lockdown.repeat': 1 } });
    const stale = await call('POST', '/db/settings/update', { body: { schoolName: 'X' }, headers: { 'If-Match': '"0000000000000000"' } });
    assert.equal(check('/db/settings/update', stale), 'Changed elsewhere: reload to see the other change');
    assert.ok(settings.res.headers.get('etag'));

    const rename = await expect('/db/signals/rename/{id}', 'POST', '/db/signals/rename/ID_ping', 200, { body: { name: '  Ping  ' } });
    assert.equal(rename.value, true);
    await expect('/db/signals/rename/{id}', 'POST', '/db/signals/rename/ID_ping', 400, { body: { name: 'x'.repeat(81) } });
    // A factory signal no routine and no alarm needs is deleted, then added back.
    const factory = (await expect('/api/get/factorySignals', 'GET', '/api/get/factorySignals', 200)).value;
    const spare = factory.find((signal) => !['ID_alarm', 'ID_lockdown', 'ID_evacuation', 'ID_allClear', 'ID_ping', 'ID_melody'].includes(signal.id));
    await expect('/api/trigger/deleteSignal/{id}', 'GET', `/api/trigger/deleteSignal/${spare.id}`, 200);
    const restored = await expect('/db/signals/restoreFactory', 'POST', '/db/signals/restoreFactory', 200);
    assert.deepEqual(restored.value.restored, [spare.id]);

    const exported = await expect('/db/timetables/export/{id}', 'GET', `/db/timetables/export/${timetableId}`, 200);
    const imported = await expect('/db/timetables/import', 'POST', '/db/timetables/import', 200, { body: exported.value });
    assert.equal(imported.value.name, 'Contract day (imported)');
    const again = await expect('/db/timetables/import', 'POST', '/db/timetables/import', 200, { body: exported.value });
    await expect('/api/trigger/deleteTimetable/{id}', 'GET', `/api/trigger/deleteTimetable/${again.value.id}`, 200);
    const kept = await expect('/db/timetables/delete/{id}', 'POST', `/db/timetables/delete/${timetableId}`, 200, { body: {} });
    assert.equal(kept.value.deleted, false, 'a planned timetable is only deleted when confirmed');
    assert.deepEqual(kept.value.uses.dates, [tomorrow]);
    await expect('/db/timetables/delete/{id}', 'POST', '/db/timetables/delete/no-such-timetable', 400, { body: {} });

    const token = await expect('/api/metrics/token', 'POST', '/api/metrics/token', 200);
    const scrape = await expect('/metrics', 'GET', '/metrics', 200, { auth: false, headers: { Authorization: `Bearer ${token.value.token}` } });
    assert.match(scrape.value, /player="Contract building"/);

    // A test alert: none while no way is set, then to a loopback port where nobody listens.
    const noWay = await expect('/api/alerts/test', 'POST', '/api/alerts/test', 400);
    assert.equal(noWay.value, 'Set a webhook address or an e-mail address for alerts first');
    const nobody = await freePort();
    await expect('/db/settings/update', 'POST', '/db/settings/update', 200, { body: { 'alerts.webhookUrl': `http://127.0.0.1:${nobody}/hook` } });
    const alert = await expect('/api/alerts/test', 'POST', '/api/alerts/test', 200);
    assert.equal(alert.value.webhook.sent, false);
    assert.notEqual(alert.value.webhook.error, '');
    await expect('/db/settings/update', 'POST', '/db/settings/update', 200, { body: { 'alerts.webhookUrl': '' } });

    // Plays by hand, an announcement and an emergency drill, for the journal.
    await expect('/api/trigger/playSignal/{id}', 'GET', '/api/trigger/playSignal/ID_ping', 200);
    const listed = (await expect('/api/get/announcements', 'GET', '/api/get/announcements', 200)).value;
    assert.ok(listed.listed && listed.announcements.length > 0, 'the stand-in lists announcements');
    await expect('/api/trigger/announce/{id}', 'GET', `/api/trigger/announce/${listed.announcements[0].id}`, 200);
    const started = await expect('/api/emergency/{routine}', 'POST', '/api/emergency/lockdown', 200, { body: { drill: true } });
    assert.deepEqual([started.value.routine, started.value.drill], ['lockdown', true]);
    const status = await expect('/api/get/status', 'GET', '/api/get/status', 200);
    assert.equal(status.value.emergency?.routine, 'lockdown');
    const stopped = await expect('/api/emergency/stop', 'POST', '/api/emergency/stop', 200);
    assert.equal(stopped.value.stopped, true);
    await expect('/api/emergency/{routine}', 'POST', '/api/emergency/fire', 404, { body: { drill: true } });
    await expect('/api/emergency/{routine}', 'POST', '/api/emergency/lockdown', 400, { body: { drill: 'yes' } });
    await waitFor(async () => {
      const res = await call('GET', `/api/get/journal?date=${today}`);
      check('/api/get/journal', res);
      const day = JSON.parse(res.text);
      return ['manualPlay', 'announcement', 'alert', 'emergencyStop'].every((kind) => day.entries.some((e) => e.kind === kind));
    }, { what: 'the play and the drill in the journal' });
    await waitFor(async () => JSON.parse((await call('GET', '/api/get/regionNames')).text).length > 0,
      { what: 'the calendar regions from the service stand-in', timeoutMs: 20000 });
  });

  it('answers every JSON read route as documented, with lists that are not empty', async () => {
    const urls = {
      '/api/get/day': [`/api/get/day?date=${tomorrow}`, `/api/get/day?date=${today}`, `/api/get/day?date=${addDays(today, 4)}`],
      '/api/get/journal': ['/api/get/journal', `/api/get/journal?date=${today}`, '/api/get/journal?date=2020-01-01'],
      '/api/get/dayTypes': [`/api/get/dayTypes?from=${today}&to=${addDays(today, 365)}`],
      '/api/get/{target}': doc.paths['/api/get/{target}'].get.parameters[0].schema.enum.map((name) => `/api/get/${name}`),
      '/db/timetables/export/{id}': [`/db/timetables/export/${timetableId}`],
    };
    const answers = {};
    for (const { template, method, op } of operations()) {
      if (method !== 'get' || !op.responses['200']?.content?.['application/json'] || template === '/api/openapi.json') continue;
      const list = urls[template] ?? (template.includes('{') ? [] : [template]);
      assert.ok(list.length > 0, `no URL to try ${template} with`);
      for (const url of list) {
        const { value } = await expect(template, 'GET', url, 200);
        answers[url] = value;
      }
    }
    // The answers hold what was set up, so that the record schemas met real records.
    const day = answers[`/api/get/day?date=${tomorrow}`];
    assert.equal(day.source, 'PLANNED');
    assert.ok(day.bells.some((bell) => bell.planned), 'a bell moved by the adjustment names its planned time');
    assert.equal(day.adjustment.shiftMinutes, 10);
    assert.ok(answers['/api/get/journal'].entries.length >= 3);
    assert.ok(answers['/db/timetables'].some((t) => t.uses.dates.length > 0 && t.uses.weekdays.length > 0));
    assert.ok(answers['/api/get/signals'].length > 0 && answers['/api/get/factorySignals'].length > 0);
    assert.ok(answers['/api/get/calendarInfo'].regions.length > 0);
    assert.ok(answers['/api/get/settings'].dayAdjustments.length === 1 && answers['/api/get/settings'].plannedDays.length === 4);
    assert.notEqual(answers['/api/get/nextBellDay'], null);
  });

  it('serves this document', async () => {
    const { value } = await expect('/api/openapi.json', 'GET', '/api/openapi.json', 200);
    assert.deepEqual(value, doc);
    const refused = await expect('/api/openapi.json', 'GET', '/api/openapi.json', 400, { auth: false });
    assert.equal(refused.value, 'No auth');
  });

  it('answers every other GET route as documented, and the documented refusals with their texts', async () => {
    const plain = [
      ['/', '/'], ['/{path}', '/app.js'], ['/{path}', '/settings'], ['/backup', '/backup'], ['/get_signal_file/{id}', '/get_signal_file/ID_ping'],
      ['/metrics', '/metrics'],
      ['/api/trigger/playSignal/{id}', '/api/trigger/playSignal/NULL'], ['/api/trigger/testRing/{id}', '/api/trigger/testRing/NULL'],
      ['/api/trigger/toggleAlarm/{id}', '/api/trigger/toggleAlarm/x'], ['/api/trigger/toggleAlarm/{id}', '/api/trigger/toggleAlarm/x'],
      ['/api/trigger/stopAll/{id}', '/api/trigger/stopAll/x'], ['/api/trigger/{target}/{id}', '/api/trigger/stopAll/x'],
    ];
    for (const [template, url] of plain) {
      const res = await call('GET', url);
      check(template, res);
      assert.ok(res.status === 200, `GET ${url} answered ${res.status}`);
    }
    const health = await call('GET', '/healthz');
    assert.match(check('/healthz', health), /^[a-z]+$/);
    assert.ok([200, 503].includes(health.status));
    const refusals = [
      ['/api/get/{target}', '/api/get/nonsense', 400, 'Unknown target: nonsense'],
      ['/api/trigger/{target}/{id}', '/api/trigger/nonsense/x', 400, 'Unknown target: nonsense'],
      ['/api/trigger/deleteSignal/{id}', '/api/trigger/deleteSignal/no-such-signal', 400, "'no-such-signal'"],
      ['/api/trigger/deleteSignal/{id}', '/api/trigger/deleteSignal/ID_alarm', 400, /is the alarm signal and cannot be deleted/],
      ['/api/trigger/playSignal/{id}', '/api/trigger/playSignal/no-such-signal', 400, "'id not found'"],
      ['/api/trigger/deleteTimetable/{id}', '/api/trigger/deleteTimetable/no-such-timetable', 400, "'no-such-timetable'"],
      ['/api/trigger/announce/{id}', '/api/trigger/announce/no-such-announcement', 400, /^Failed to download announcement: /],
      ['/api/get/day', '/api/get/day?date=2024-02-30', 400, 'Invalid date: 2024-02-30'],
      ['/api/get/day', '/api/get/day', 400, 'Invalid date: '],
      ['/api/get/journal', '/api/get/journal?date=yesterday', 400, 'Bad date: use the form 2024-09-02'],
      ['/api/get/dayTypes', `/api/get/dayTypes?from=${today}&to=${addDays(today, 366)}`, 400, 'Invalid range: at most 366 days, from before to'],
      ['/db/timetables/export/{id}', '/db/timetables/export/no-such-timetable', 400, 'ID not found'],
      ['/get_signal_file/{id}', '/get_signal_file/no-such-signal', 404, 'No such signal'],
      ['/{path}', '/no-such-file.js', 404, 'Not Found'],
    ];
    for (const [template, url, status, text] of refusals) {
      const { value } = await expect(template, 'GET', url, status);
      if (text instanceof RegExp) assert.match(value, text, url);
      else assert.equal(value, text, url);
    }
    const cross = await call('GET', '/api/trigger/stopAll/x', { headers: { 'Sec-Fetch-Site': 'cross-site' } });
    assert.equal(check('/api/trigger/stopAll/{id}', cross), 'Cross-site request refused');
    const head = await call('HEAD', '/api/trigger/stopAll/x');
    assert.equal(head.status, 405);
    assert.equal(head.headers.get('allow'), 'GET');
    assert.ok(doc.paths['/api/trigger/stopAll/{id}'].get.responses['405']);
  });

  it('was answered with each documented success of the GET routes, logging out last', async () => {
    const out = await expect('/auth/logout', 'GET', '/auth/logout', 302);
    assert.equal(out.res.headers.get('location'), '/login');
    const after = await call('GET', '/db');
    assert.equal(check('/db', after), 'No auth', 'the session has ended');
    const missed = operations().filter(({ method, template }) => method === 'get' && template !== '/api/openapi.json'
      && !called.has(`get ${template} 200`) && !called.has(`get ${template} 302`));
    assert.deepEqual(missed.map(({ template }) => template), []);
  });
});
