// The sidecar's and the browser's lifetime: pages that never finish loading,
// requests that never answer, crashes, the browser killed and started again,
// and the sidecar's end, which must leave no browser process and no profile.

import { test, before, after, describe } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import { execFileSync } from 'node:child_process';
import { Sidecar, browserProcessesOf, withTimeout } from './helpers.mjs';

const LIVE = 'http://fixtures.test/live.html';

// The --user-data-dir of the sidecar's running browser, from whichever of
// its processes names it: process ids wrap around, so the browser's own
// process need not have the lowest.
function profileOf(pid) {
  for (const browserPid of browserProcessesOf(pid)) {
    let args;
    try {
      args = execFileSync('ps', ['-o', 'args=', '-p', String(browserPid)], { encoding: 'utf8' });
    } catch {
      continue; // it has ended since
    }
    const profile = args.match(/--user-data-dir=(\S+)/)?.[1];
    if (profile) return profile;
  }
  return null;
}

describe('one sidecar with a short request time-out', () => {
  let sidecar;
  let hang;
  before(async () => {
    sidecar = await Sidecar.start(['--request-timeout-ms', '2000']);
    // A page whose image never finishes: its load event never comes.
    hang = http.createServer((req, res) => {
      if (req.url === '/never.html') {
        res.writeHead(200, { 'Content-Type': 'text/html' });
        res.end('<!DOCTYPE html><title>never</title><p id="here">here</p><img src="/hang.png">');
      } else {
        res.writeHead(200, { 'Content-Type': 'image/png' });
        res.write(Buffer.from([0x89, 0x50, 0x4e, 0x47]));
      }
    });
    await new Promise((resolve) => hang.listen(0, '127.0.0.1', resolve));
  });
  after(async () => {
    hang.closeAllConnections();
    hang.close();
    await sidecar.stop();
  });

  test('a page that never stops loading opens after loadTimeoutMs and is usable', async () => {
    const started = Date.now();
    const c = await sidecar.connect({ open: `http://127.0.0.1:${hang.address().port}/never.html`, loadTimeoutMs: 1500 });
    try {
      const took = Date.now() - started;
      assert.equal(c.openAnswer.ok, true);
      assert.equal(c.openAnswer.loaded, false);
      assert.ok(took >= 1400, `answered after ${took} ms`);
      const [state, text] = await c.ops(['eval', 'document.readyState'], ['eval', 'document.getElementById("here").textContent']);
      assert.notEqual(state.s, 'complete');
      assert.deepEqual(text, { s: 'here' });
    } finally {
      c.close();
    }
  });

  test('a request that does not answer in time gives an error, and the tab goes on', async () => {
    const c = await sidecar.connect({ open: LIVE });
    try {
      const [before] = await c.ops(['count']);
      const started = Date.now();
      const answer = await c.send({ ops: [['window'], ['eval', 'for (;;) {}']] });
      assert.match(answer.error, /no answer within 2000 ms/);
      assert.ok(Date.now() - started < 6000);
      assert.deepEqual(await c.ops(['eval', '6 * 7'], ['count']), [{ n: 42 }, before],
        'handles of the stopped batch are released');
      // A page script that keeps the page busy past the time-out: our batch
      // runs after it, too late; its handles must not stay.
      await c.op('eval', 'setTimeout(() => { const t = Date.now(); while (Date.now() - t < 3000); }, 0), 0');
      await new Promise((resolve) => setTimeout(resolve, 100));
      const late = await c.send({ ops: [['window'], ['window'], ['eval', 'document']] });
      assert.match(late.error, /no answer within/);
      assert.deepEqual(await c.ops(['eval', '1'], ['count']), [{ n: 1 }, before]);
    } finally {
      c.close();
    }
  });

  test('a crashed page answers errors, says so once, and other tabs go on', async () => {
    const a = await sidecar.connect({ open: LIVE });
    const b = await sidecar.connect({ open: LIVE });
    try {
      const win = (await a.op('window')).h;
      assert.deepEqual(await a.control('crash'), { id: 2, ok: true });
      await a.event((e) => e.event === 'crashed');
      const answers = [await a.send({ ops: [['get', win, 'document']] }), await a.send({ ops: [['count']] }),
        await a.control('click', { x: 1, y: 1 })];
      for (const answer of answers) assert.match(answer.error, /crashed/);
      assert.equal(a.events.filter((e) => e.event === 'crashed').length, 1);
      assert.deepEqual(await b.ops(['eval', 'document.title']), [{ s: 'Live page' }]);
      assert.deepEqual(b.events, []);
    } finally {
      a.close();
      b.close();
    }
  });

  test('kill ends the browser: every tab hears gone, and a new tab starts a new browser', async () => {
    const a = await sidecar.connect({ open: LIVE });
    const b = await sidecar.connect({ open: LIVE });
    try {
      const first = browserProcessesOf(sidecar.child.pid);
      const profile = profileOf(sidecar.child.pid);
      assert.ok(first.length > 0);
      assert.ok(profile && fs.existsSync(profile));
      assert.deepEqual(await a.control('kill'), { id: 1, ok: true });
      await a.event((e) => e.event === 'gone');
      await b.event((e) => e.event === 'gone');
      assert.match((await a.send({ ops: [['window']] })).error, /gone/);
      assert.match((await b.send({ ops: [['window']] })).error, /gone/);
      assert.equal(a.events.filter((e) => e.event === 'gone').length, 1);
      assert.deepEqual(browserProcessesOf(sidecar.child.pid).filter((pid) => first.includes(pid)), []);
      assert.equal(fs.existsSync(profile), false, 'the killed browser\'s profile is removed');
      const c = await sidecar.connect({ open: LIVE });
      try {
        assert.equal(c.openAnswer.ok, true);
        assert.deepEqual(await c.ops(['eval', 'document.title']), [{ s: 'Live page' }]);
        const second = browserProcessesOf(sidecar.child.pid);
        assert.ok(second.length > 0 && second.every((pid) => !first.includes(pid)));
      } finally {
        c.close();
      }
    } finally {
      a.close();
      b.close();
    }
  });

  test('an open message that cannot be served is refused and the connection closed', async () => {
    const refusals = [
      ['{not json', /not JSON/],
      [{ open: 'file:///etc/passwd' }, /not opened/],
      [{ open: LIVE, width: -5 }, /width/],
      [{ open: LIVE, plan: { Node: { get: 'id' } } }, /list of member names/],
      [{ open: 'http://nowhere.invalid/' }, /failed/],
    ];
    for (const [open, error] of refusals) {
      const c = await sidecar.connect();
      const answer = await c.open(open);
      assert.equal(answer.ok, false);
      assert.match(answer.error, error);
      await withTimeout(new Promise((resolve) => (c.closed ? resolve() : c.socket.once('close', resolve))), 5000, 'close');
    }
  });
});

describe('the end of the sidecar', () => {
  for (const [how, end] of [
    ['its standard input closes', (child) => child.stdin.end()],
    ['it gets SIGTERM', (child) => child.kill('SIGTERM')],
  ]) {
    test(`when ${how} it closes its tabs and leaves no browser and no profile`, async () => {
      const sidecar = await Sidecar.start();
      const c = await sidecar.connect({ open: LIVE });
      const pid = sidecar.child.pid;
      const browsers = browserProcessesOf(pid);
      const profile = profileOf(pid);
      assert.ok(browsers.length > 0 && profile);
      end(sidecar.child);
      const { code } = await withTimeout(sidecar.exited, 15000, 'sidecar exit');
      assert.equal(code, 0);
      await withTimeout(new Promise((resolve) => (c.closed ? resolve() : c.socket.once('close', resolve))), 5000, 'close');
      const alive = browsers.filter((p) => {
        try { process.kill(p, 0); return true; } catch { return false; }
      });
      assert.deepEqual(alive, []);
      assert.equal(fs.existsSync(profile), false);
    });
  }
});
