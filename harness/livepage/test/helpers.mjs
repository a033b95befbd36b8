// Test equipment: starts the sidecar as a child process and talks to it over
// TCP the way the native object does.

import { spawn, execFileSync } from 'node:child_process';
import net from 'node:net';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repo = path.resolve(here, '../../..');
export const sidecarPath = path.join(repo, 'harness/livepage/sidecar.mjs');
export const pagesRoot = path.join(repo, 'tests/pages');
export const siteRoot = path.join(here, 'site');

export function withTimeout(promise, ms, what) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => { timer = setTimeout(() => reject(new Error(`${what}: nothing within ${ms} ms`)), ms); }),
  ]).finally(() => clearTimeout(timer));
}

// Process ids of the Chromium processes whose parent chain leads to pid.
export function browserProcessesOf(pid) {
  let lines;
  try {
    lines = execFileSync('ps', ['-eo', 'pid=,ppid=,pgid=,args='], { encoding: 'utf8' }).split('\n');
  } catch {
    return [];
  }
  const procs = lines.filter(Boolean).map((l) => {
    const m = l.trim().match(/^(\d+)\s+(\d+)\s+(\d+)\s+(.*)$/);
    return { pid: +m[1], ppid: +m[2], pgid: +m[3], args: m[4] };
  });
  const groups = new Set(procs.filter((p) => p.ppid === pid && /chromium/.test(p.args)).map((p) => p.pgid));
  return procs.filter((p) => groups.has(p.pgid) && /chromium/.test(p.args)).map((p) => p.pid);
}

export class Sidecar {
  static async start(extraArgs = []) {
    const sidecar = new Sidecar();
    const child = spawn(process.execPath, [sidecarPath, '--root', pagesRoot, '--root', siteRoot, ...extraArgs], {
      stdio: ['pipe', 'pipe', 'pipe'],
    });
    sidecar.child = child;
    sidecar.stderr = '';
    child.stderr.on('data', (d) => {
      sidecar.stderr += d;
      if (process.env.LIVEPAGE_DEBUG) process.stderr.write(d);
    });
    sidecar.exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve({ code, signal })));
    let out = '';
    sidecar.port = await withTimeout(new Promise((resolve, reject) => {
      child.stdout.on('data', (d) => {
        out += d;
        const m = out.match(/^listening (\d+)\n/);
        if (m) resolve(Number(m[1]));
      });
      child.once('exit', () => reject(new Error(`sidecar ended: ${sidecar.stderr}`)));
    }), 10000, 'sidecar start');
    return sidecar;
  }

  async connect(open) {
    const client = new Client(await Client.connect(this.port));
    if (open) client.openAnswer = await client.open(open);
    return client;
  }

  // Closes standard input, the sidecar's normal way to end.
  async stop() {
    if (this.child.exitCode !== null || this.child.signalCode !== null) return this.exited;
    this.child.stdin.end();
    return withTimeout(this.exited, 15000, 'sidecar exit');
  }
}

export class Client {
  #buffer = '';
  #lines = [];
  #waiters = [];
  #nextId = 1;
  events = [];
  closed = false;

  static connect(port) {
    return new Promise((resolve, reject) => {
      const socket = net.connect(port, '127.0.0.1', () => resolve(socket));
      socket.once('error', reject);
    });
  }

  constructor(socket) {
    this.socket = socket;
    socket.setEncoding('utf8');
    socket.on('data', (d) => {
      this.#buffer += d;
      let i;
      while ((i = this.#buffer.indexOf('\n')) !== -1) {
        const line = this.#buffer.slice(0, i);
        this.#buffer = this.#buffer.slice(i + 1);
        this.rawLines.push(line);
        const message = JSON.parse(line);
        if (message.event) this.events.push(message);
        this.#lines.push(message);
        this.#wake();
      }
    });
    socket.on('close', () => { this.closed = true; this.#wake(); });
    socket.on('error', () => {});
    this.rawLines = [];
  }

  #wake() {
    for (const w of [...this.#waiters]) w();
  }

  // The next message (not an event) for which match() holds.
  next(match, ms = 15000, what = 'answer') {
    return withTimeout(new Promise((resolve, reject) => {
      const check = () => {
        const k = this.#lines.findIndex((m) => !m.event && match(m));
        if (k !== -1) {
          const [m] = this.#lines.splice(k, 1);
          this.#waiters = this.#waiters.filter((w) => w !== check);
          resolve(m);
        } else if (this.closed) {
          this.#waiters = this.#waiters.filter((w) => w !== check);
          reject(new Error('connection closed'));
        }
      };
      this.#waiters.push(check);
      check();
    }), ms, what);
  }

  // Resolves with the first event that match() accepts (also one already here).
  event(match, ms = 10000) {
    return withTimeout(new Promise((resolve) => {
      const check = () => {
        const e = this.events.find(match);
        if (e) {
          this.#waiters = this.#waiters.filter((w) => w !== check);
          resolve(e);
        }
      };
      this.#waiters.push(check);
      check();
    }), ms, 'event');
  }

  write(message) {
    this.socket.write((typeof message === 'string' ? message : JSON.stringify(message)) + '\n');
  }

  async open(open) {
    this.write(open);
    return this.next(() => true, 30000, 'open answer');
  }

  async send(message, ms) {
    const id = this.#nextId++;
    this.write({ id, ...message });
    return this.next((m) => m.id === id, ms);
  }

  // Runs ops and returns their results; fails on an error answer.
  async ops(...ops) {
    const answer = await this.send({ ops });
    if (!answer.results) throw new Error(`request failed: ${JSON.stringify(answer)}`);
    return answer.results;
  }

  async op(...op) {
    return (await this.ops(op))[0];
  }

  async control(control, fields = {}, ms) {
    return this.send({ control, ...fields }, ms);
  }

  close() {
    this.socket.destroy();
  }
}
