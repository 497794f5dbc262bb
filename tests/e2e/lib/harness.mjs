// Starts a throwaway installation of the player (with stub audio players and the stand-in of the
// remote service) and a headless Chromium, for one test file at a time.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const E2E_DIR = path.resolve(here, '..');
export const REPO_ROOT = path.resolve(E2E_DIR, '..', '..');
export const ARTIFACTS = path.join(E2E_DIR, 'artifacts');
// QV_E2E_BUILD_DIR points at binaries built elsewhere (another build folder).
const BUILD_DIR = process.env.QV_E2E_BUILD_DIR ? path.resolve(process.env.QV_E2E_BUILD_DIR) : path.join(REPO_ROOT, 'build');
const PLAYER_BIN = path.join(BUILD_DIR, 'quorvane-player');
const STANDIN_BIN = path.join(BUILD_DIR, 'quorvane-service-standin');
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

export const DESKTOP = { width: 1280, height: 900 };
export const PHONE = { width: 390, height: 844 };

// Below the kernel's ephemeral range (32768 and up), where every client connection of the tests running
// beside this one takes its own port: a port picked there could be taken by one of them before the
// player binds it. The C++ tests pick from 20000-32767.
const PORT_RANGE = { first: 10000, last: 19999 };

function canListen(port) {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.unref();
    server.once('error', () => resolve(false));
    server.listen(port, '0.0.0.0', () => server.close(() => resolve(true)));  // the player listens on every address
  });
}

export async function freePort() {
  for (let attempt = 0; attempt < 1000; attempt += 1) {
    const port = PORT_RANGE.first + Math.floor(Math.random() * (PORT_RANGE.last - PORT_RANGE.first + 1));
    if (await canListen(port)) return port;
  }
  throw new Error('no free port found');
}

export const sleep = (ms) => new Promise((r) => { setTimeout(r, ms); });

/** Polls `probe` until it returns a truthy value; fails with `what` after `timeoutMs`. */
export async function waitFor(probe, { timeoutMs = 15000, intervalMs = 100, what = 'condition' } = {}) {
  const deadline = Date.now() + timeoutMs;
  let lastError = null;
  for (;;) {
    try {
      const value = await probe();
      if (value) return value;
    } catch (err) {
      lastError = err;
    }
    if (Date.now() > deadline) {
      throw new Error(`Timed out waiting for ${what}${lastError ? `: ${lastError.message}` : ''}`);
    }
    await sleep(intervalMs);
  }
}

function writeStub(dir, name, recordEnv) {
  const file = path.join(dir, name);
  // Records the call, pretends to play for a moment, succeeds; a file whose path holds QV_PLAY_FAIL (when
  // set) fails with status 3, as a player that cannot play it.
  fs.writeFileSync(file, `#!/bin/sh\nprintf '%s %s\\n' '${name}' "$*" >> "$${recordEnv}"\nsleep 0.3\n`
    + 'if [ -n "$QV_PLAY_FAIL" ]; then case "$1" in *"$QV_PLAY_FAIL"*) exit 3;; esac; fi\nexit 0\n');
  fs.chmodSync(file, 0o755);
}

// Like the players: records its arguments, and the sentence it was given by file (-f) or on its input
// (--stdin), to QV_SPEAK_RECORD and writes a valid WAVE of 0.1 s of silence to the path after -w;
// arguments holding QV_SPEAK_FAIL (when set) fail with status 1 and a message, as an unknown voice would.
function writeSpeechStub(dir) {
  const file = path.join(dir, 'espeak-ng');
  const header = 'RIFF\\104\\003\\000\\000WAVEfmt \\020\\000\\000\\000\\001\\000\\001\\000\\100\\037\\000\\000'
    + '\\100\\037\\000\\000\\001\\000\\010\\000data\\040\\003\\000\\000';
  fs.writeFileSync(file, `#!/bin/sh
printf '%s\\n' "$*" >> "$QV_SPEAK_RECORD"
case " $* " in *" --stdin "*) printf 'text: %s\\n' "$(cat)" >> "$QV_SPEAK_RECORD";; esac
if [ -n "$QV_SPEAK_FAIL" ]; then case "$*" in *"$QV_SPEAK_FAIL"*) echo "espeak-ng: voice not found" >&2; exit 1;; esac; fi
out=''
prev=''
for arg in "$@"; do
  case "$arg" in --wav=*) out="\${arg#--wav=}";; esac
  if [ "$prev" = "-w" ]; then out="$arg"; fi
  if [ "$prev" = "-f" ]; then printf 'text: %s\\n' "$(cat "$arg")" >> "$QV_SPEAK_RECORD"; fi
  prev="$arg"
done
[ -n "$out" ] || exit 0
{ printf '${header}'; head -c 800 /dev/zero | tr '\\000' '\\200'; } > "$out"
`);
  fs.chmodSync(file, 0o755);
}

function startProcess(command, args, options, logFile) {
  const out = fs.openSync(logFile, 'a');
  const child = spawn(command, args, { ...options, stdio: ['ignore', out, out] });
  fs.closeSync(out);
  child.exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  return child;
}

async function stopProcess(child) {
  if (!child || child.exitCode !== null || child.signalCode !== null) return;
  child.kill('SIGTERM');
  const done = await Promise.race([child.exited, sleep(3000).then(() => null)]);
  if (!done) {
    child.kill('SIGKILL');
    await child.exited;
  }
}

async function httpStatus(url) {
  const res = await fetch(url, { redirect: 'manual' });
  await res.arrayBuffer();
  return res.status;
}

/**
 * A fresh installation root T: T/build/quorvane-player is a copy (the player finds its files from
 * the real path of its executable), T/assets and T/web-ui link to the repository, T/userdata is new.
 */
export async function startStack(label, { failPlaysOf = '', failSpeechOf = '' } = {}) {
  for (const bin of [PLAYER_BIN, STANDIN_BIN]) {
    if (!fs.existsSync(bin)) throw new Error(`${bin} is missing: build the project first`);
  }
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-e2e-'));
  fs.mkdirSync(path.join(root, 'build'));
  const player = path.join(root, 'build', 'quorvane-player');
  fs.copyFileSync(PLAYER_BIN, player);
  fs.chmodSync(player, 0o755);
  fs.symlinkSync(path.join(REPO_ROOT, 'assets'), path.join(root, 'assets'));
  fs.symlinkSync(path.join(REPO_ROOT, 'web-ui'), path.join(root, 'web-ui'));
  const stubs = path.join(root, 'stubbin');
  fs.mkdirSync(stubs);
  writeStub(stubs, 'mpg123', 'QV_PLAY_RECORD');
  writeStub(stubs, 'aplay', 'QV_PLAY_RECORD');
  writeSpeechStub(stubs);
  const recordFile = path.join(root, 'plays.txt');
  fs.writeFileSync(recordFile, '');
  const speechFile = path.join(root, 'speech.txt');
  fs.writeFileSync(speechFile, '');
  fs.mkdirSync(ARTIFACTS, { recursive: true });
  const playerLog = path.join(ARTIFACTS, `${label}-player.log`);
  const standinLog = path.join(ARTIFACTS, `${label}-standin.log`);
  fs.writeFileSync(playerLog, '');
  fs.writeFileSync(standinLog, '');

  const servicePort = await freePort();
  const standin = startProcess(STANDIN_BIN, ['--port', String(servicePort)], { cwd: REPO_ROOT, env: process.env }, standinLog);
  const stack = { root, recordFile, playerLog, servicePort, processes: [standin] };
  stack.stop = async () => {
    for (const p of stack.processes.reverse()) await stopProcess(p);
    if (!process.env.QV_E2E_KEEP) fs.rmSync(root, { recursive: true, force: true });
  };
  try {
    const serviceUrl = `http://127.0.0.1:${servicePort}`;
    await waitFor(async () => {
      if (standin.exitCode !== null) throw new Error(`the stand-in exited; see ${standinLog}`);
      return (await httpStatus(`${serviceUrl}/api/player/v1?c=ping`)) > 0;
    }, { what: 'the service stand-in' });

    const env = {
      ...process.env,
      PATH: `${stubs}:${process.env.PATH}`,
      QUORVANE_SERVICE_URL: serviceUrl,
      QV_PLAY_RECORD: recordFile,
      QV_PLAY_FAIL: failPlaysOf,
      QV_SPEAK_RECORD: speechFile,
      QV_SPEAK_FAIL: failSpeechOf,
    };
    // Another program may still take the free port first; the player then ends at once, and is
    // started again on another one.
    for (let attempt = 1; ; attempt += 1) {
      const port = await freePort();
      const child = startProcess(player, ['--port', String(port)], { cwd: root, env }, playerLog);
      stack.processes.push(child);
      stack.baseUrl = `http://127.0.0.1:${port}`;
      try {
        await waitFor(async () => {
          if (child.exitCode !== null) throw new Error(`the player exited; see ${playerLog}`);
          return (await httpStatus(`${stack.baseUrl}/api/get/overview`)) === 200;
        }, { what: 'the player', timeoutMs: 20000 });
        break;
      } catch (err) {
        const taken = child.exitCode !== null && fs.readFileSync(playerLog, 'utf8').includes('Address already in use');
        if (!taken || attempt === 3) throw err;
        stack.processes.pop();
      }
    }
  } catch (err) {
    await stack.stop();
    throw err;
  }
  /** Lines written by the stub players so far. */
  stack.plays = () => fs.readFileSync(recordFile, 'utf8').split('\n').filter(Boolean);
  /** What espeak-ng was called with so far: a line of arguments per call, then "text: " and its sentence. */
  stack.speeches = () => fs.readFileSync(speechFile, 'utf8').split('\n').filter(Boolean);
  return stack;
}

/**
 * Headless Chromium with a fresh profile; `request` shares the browser's session cookie. The page writes
 * dates in the browser's language, so the tests give it one (British English unless told otherwise).
 */
export async function startBrowser(viewport = DESKTOP, { locale = 'en-GB' } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-e2e-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport,
    locale,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  const page = context.pages()[0] || (await context.newPage());
  page.setDefaultTimeout(15000);
  const problems = [];
  page.on('pageerror', (err) => problems.push(err.message));
  return {
    context,
    page,
    /** Script errors seen in the page (uncaught exceptions). */
    problems,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

/** The whole page by default; `fullPage: false` keeps what is on screen, where fixed and sticky parts sit. */
export async function screenshot(page, name, { fullPage = true } = {}) {
  fs.mkdirSync(ARTIFACTS, { recursive: true });
  await page.screenshot({ path: path.join(ARTIFACTS, `${name}.png`), fullPage });
}

/** JSON of a GET through the browser's session. */
export async function getJson(context, baseUrl, urlPath) {
  const res = await context.request.get(`${baseUrl}${urlPath}`);
  if (!res.ok()) throw new Error(`GET ${urlPath} answered ${res.status()}: ${await res.text()}`);
  return res.json();
}

export async function postJson(context, baseUrl, urlPath, value) {
  const res = await context.request.post(`${baseUrl}${urlPath}`, { data: JSON.stringify(value), headers: { 'Content-Type': 'application/json' } });
  if (!res.ok()) throw new Error(`POST ${urlPath} answered ${res.status()}: ${await res.text()}`);
  return res.json();
}

/** First run through the page: the setup form sets the password and lands on the dashboard. */
export async function setFirstPassword(page, baseUrl, password) {
  await page.goto(`${baseUrl}/`);
  await page.waitForURL(`${baseUrl}/setup`);
  await page.getByLabel('New password', { exact: true }).fill(password);
  await page.getByLabel('Repeat the new password').fill(password);
  await page.getByRole('button', { name: 'Set password and continue' }).click();
  await page.waitForURL(`${baseUrl}/`);
  await page.getByRole('heading', { name: 'Dashboard' }).waitFor();
}

export async function logIn(page, baseUrl, password, { remember = false } = {}) {
  await page.goto(`${baseUrl}/login`);
  await page.getByLabel('Password').fill(password);
  if (remember) await page.getByLabel('Remember me on this device').check();
  await page.getByRole('button', { name: 'Log in' }).click();
  await page.waitForURL(`${baseUrl}/`);
}

/** A short, valid PCM WAVE file; `seed` makes its bytes (and so its id) unique. */
export function makeWav(seconds = 1, seed = 1) {
  const rate = 8000;
  const n = Math.round(rate * seconds);
  const b = Buffer.alloc(44 + n);
  b.write('RIFF', 0);
  b.writeUInt32LE(36 + n, 4);
  b.write('WAVEfmt ', 8);
  b.writeUInt32LE(16, 16);
  b.writeUInt16LE(1, 20);
  b.writeUInt16LE(1, 22);
  b.writeUInt32LE(rate, 24);
  b.writeUInt32LE(rate, 28);
  b.writeUInt16LE(1, 32);
  b.writeUInt16LE(8, 34);
  b.write('data', 36);
  b.writeUInt32LE(n, 40);
  for (let i = 0; i < n; i += 1) b[44 + i] = 128 + Math.round(40 * Math.sin((i * seed * 2 * Math.PI * 440) / rate));
  return b;
}

/** Seconds of the day from the player's "HH:MM:SS". */
export function secondsOf(text) {
  const [h, m, s] = text.split(':').map(Number);
  return h * 3600 + m * 60 + (s || 0);
}

export function hhmm(seconds) {
  const t = ((seconds % 86400) + 86400) % 86400;
  return `${String(Math.floor(t / 3600)).padStart(2, '0')}:${String(Math.floor((t % 3600) / 60)).padStart(2, '0')}`;
}

/** The date key ("2026-12-14") a number of days after another. */
export function addDays(key, days) {
  const [y, m, d] = key.split('-').map(Number);
  return new Date(Date.UTC(y, m - 1, d + days)).toISOString().slice(0, 10);
}

/**
 * Answers the app's own leave question (the styled dialog, never the browser's popup): `leave` true
 * clicks "Leave without saving", false "Stay". Returns the question's text.
 */
export async function answerLeaveQuestion(page, leave) {
  const dialog = page.getByRole('dialog', { name: 'Leave this page?' });
  await dialog.waitFor();
  const text = (await dialog.locator('.dialog-message').textContent()).trim();
  await dialog.getByRole('button', { name: leave ? 'Leave without saving' : 'Stay' }).click();
  await dialog.waitFor({ state: 'detached' });
  return text;
}
