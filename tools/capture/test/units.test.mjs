// Checks of the parts that run without a browser: the DevTools pipe framing,
// the snapshot and geometry serialisers, the geometry pass's box and point
// arithmetic, request path resolution and argument parsing.

import { test, after, describe } from 'node:test';
import assert from 'node:assert/strict';
import { PassThrough } from 'node:stream';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { CdpPipe } from '../lib/cdp-pipe.mjs';
import { serializeSnapshot } from '../lib/snapshot-writer.mjs';
import { resolveRequestPath } from '../lib/static-server.mjs';
import { parseArgs } from '../lib/options.mjs';
import { centrePoint, gridPoints, quadBounds, serializeGeometry } from '../lib/geometry.mjs';

describe('DevTools pipe', () => {
  function pipe(timeoutMs = 1000) {
    const toBrowser = new PassThrough();
    const fromBrowser = new PassThrough();
    const written = [];
    toBrowser.on('data', (d) => written.push(d.toString()));
    return { cdp: new CdpPipe(toBrowser, fromBrowser, timeoutMs), fromBrowser, written };
  }

  test('commands are NUL-terminated and answers are matched by id across split chunks', async () => {
    const { cdp, fromBrowser, written } = pipe();
    const first = cdp.send('A.one', { x: 1 });
    const second = cdp.send('B.two', {}, 'session-1');
    await new Promise((r) => setImmediate(r));
    assert.deepEqual(written.join('').split('\0'), [
      '{"id":1,"method":"A.one","params":{"x":1}}',
      '{"id":2,"method":"B.two","params":{},"sessionId":"session-1"}',
      '',
    ]);
    const answers = '{"id":2,"result":{"v":"two"}}\0{"id":1,"result":{"v":"\u00e9"}}\0';
    const bytes = Buffer.from(answers);
    // Split inside a multi-byte character and inside a message.
    const cut = bytes.indexOf(0xc3) + 1;
    fromBrowser.write(bytes.subarray(0, 7));
    fromBrowser.write(bytes.subarray(7, cut));
    fromBrowser.write(bytes.subarray(cut));
    assert.deepEqual(await second, { v: 'two' });
    assert.deepEqual(await first, { v: '\u00e9' });
  });

  test('protocol errors reject, events reach listeners, time-outs and closing reject', async () => {
    const { cdp, fromBrowser } = pipe(50);
    const failing = cdp.send('C.fail');
    const event = cdp.waitForEvent('Page.loadEventFired', 's');
    fromBrowser.write('{"id":1,"error":{"code":-32000,"message":"nope"}}\0');
    fromBrowser.write('{"method":"Page.loadEventFired","params":{"t":1},"sessionId":"other"}\0');
    fromBrowser.write('{"method":"Page.loadEventFired","params":{"t":2},"sessionId":"s"}\0');
    await assert.rejects(failing, /C\.fail: nope/);
    assert.deepEqual(await event, { t: 2 });
    await assert.rejects(cdp.send('D.never'), /timed out/);
    const pending = cdp.send('E.pending');
    fromBrowser.destroy();
    await assert.rejects(pending, /closed/);
    await assert.rejects(cdp.send('F.after'), /closed/);
  });
});

describe('snapshot serialiser', () => {
  test('orders top-level keys and writes one node per line', () => {
    const text = serializeSnapshot({
      nodes: [{ id: 1 }, { id: 2 }], format: 'f', documents: [{ index: 0 }], frames: [], page: 'p',
    });
    assert.equal(text, '{\n  "format": "f",\n  "page": "p",\n  "documents": [\n    {"index":0}\n  ],\n'
      + '  "frames": [\n\n  ],\n  "nodes": [\n    {"id":1},\n    {"id":2}\n  ]\n}\n');
    assert.deepEqual(JSON.parse(text).nodes, [{ id: 1 }, { id: 2 }]);
  });

  test('refuses keys it does not know', () => {
    assert.throws(() => serializeSnapshot({ format: 'f', extra: 1 }), /extra/);
  });
});

describe('geometry pass', () => {
  test('a quad\'s bounds are its smallest enclosing box, rotated quads included', () => {
    assert.deepEqual(quadBounds([10, 20, 110, 20, 110, 70, 10, 70]), { left: 10, top: 20, width: 100, height: 50 });
    assert.deepEqual(quadBounds([50, 0, 100, 50, 50, 100, 0, 50]), { left: 0, top: 0, width: 100, height: 100 });
    assert.deepEqual(quadBounds([-5.5, -2, 4.5, -2, 4.5, 8.25, -5.5, 8.25]), { left: -5.5, top: -2, width: 10, height: 10.25 });
    assert.throws(() => quadBounds([1, 2, 3]), /not a quad/);
  });

  test('grid points are cell centres, row by row, inside the viewport', () => {
    const { grid, points } = gridPoints({ width: 120, height: 60 }, 50);
    assert.deepEqual(grid, { step: 50, offset: 25, columns: 2, rows: 1 });
    assert.deepEqual(points, [{ x: 25, y: 25 }, { x: 75, y: 25 }]);
    assert.equal(gridPoints({ width: 1024, height: 768 }, 50).points.length, 20 * 15);
  });

  test('a centre point is whole pixels inside the viewport, none for empty or outside boxes', () => {
    const viewport = { width: 100, height: 100 };
    assert.deepEqual(centrePoint({ left: 10, top: 20, width: 31, height: 9 }, viewport), { x: 25, y: 24 });
    assert.deepEqual(centrePoint({ left: -60, top: 0, width: 120, height: 2 }, viewport), { x: 0, y: 1 });
    assert.equal(centrePoint({ left: -61, top: 0, width: 120, height: 2 }, viewport), null);
    assert.equal(centrePoint({ left: 90, top: 90, width: 20, height: 20 }, viewport), null);
    assert.equal(centrePoint({ left: 10, top: 10, width: 0, height: 20 }, viewport), null);
    assert.equal(centrePoint(null, viewport), null);
  });

  test('the geometry file has its keys in order and one element or hit per line', () => {
    const text = serializeGeometry({
      hits: [{ x: 1 }], elements: [{ id: 'a' }, { id: 'b' }], format: 'g', grid: { step: 50 }, page: 'p',
    });
    assert.equal(text, '{\n  "format": "g",\n  "page": "p",\n  "grid": {"step":50},\n'
      + '  "elements": [\n    {"id":"a"},\n    {"id":"b"}\n  ],\n  "hits": [\n    {"x":1}\n  ]\n}\n');
    assert.throws(() => serializeGeometry({ format: 'g', nodes: [] }), /nodes/);
  });
});

describe('request paths', () => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'capture-root-'));
  fs.mkdirSync(path.join(root, 'sub'));
  fs.writeFileSync(path.join(root, 'sub', 'a b.html'), 'x');
  fs.writeFileSync(path.join(os.tmpdir(), 'outside-capture-root.txt'), 'secret');
  after(() => {
    fs.rmSync(root, { recursive: true, force: true });
    fs.rmSync(path.join(os.tmpdir(), 'outside-capture-root.txt'), { force: true });
  });

  test('serves files under the root, decoding escapes', () => {
    assert.equal(resolveRequestPath(root, '/sub/a%20b.html?q=1#f'), path.join(root, 'sub', 'a b.html'));
  });

  test('refuses directories, missing files and paths that leave the root', () => {
    assert.equal(resolveRequestPath(root, '/sub'), null);
    assert.equal(resolveRequestPath(root, '/nothing.html'), null);
    assert.equal(resolveRequestPath(root, '/../outside-capture-root.txt'), null);
    assert.equal(resolveRequestPath(root, '/sub/%2e%2e/%2e%2e/outside-capture-root.txt'), null);
    assert.equal(resolveRequestPath(root, '/%E0%A4%A'), null);
  });
});

describe('arguments', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'capture-args-'));
  fs.writeFileSync(path.join(dir, 'b.html'), '');
  fs.writeFileSync(path.join(dir, 'a.html'), '');
  fs.writeFileSync(path.join(dir, 'notes.txt'), '');
  fs.mkdirSync(path.join(dir, 'sub'));
  fs.writeFileSync(path.join(dir, 'sub', 'c.html'), '');
  after(() => fs.rmSync(dir, { recursive: true, force: true }));

  test('a directory contributes its own pages, sorted; defaults apply', () => {
    const options = parseArgs([dir, '--out', 'o']);
    assert.deepEqual(options.pages, [path.join(dir, 'a.html'), path.join(dir, 'b.html')]);
    assert.equal(options.root, dir);
    assert.equal(options.width, 1024);
    assert.equal(options.height, 768);
    assert.equal(options.scroll, null);
    assert.equal(options.geometry, null);
    assert.equal(parseArgs([dir, '--out', 'o', '--geometry', 'g']).geometry, 'g');
  });

  test('rejects bad values and pages outside the root', () => {
    assert.throws(() => parseArgs([dir]), /--out is required/);
    assert.throws(() => parseArgs([dir, '--out', 'o', '--width', '0']), /positive integer/);
    assert.throws(() => parseArgs([dir, '--out', 'o', '--scroll', '5']), /X,Y/);
    assert.throws(() => parseArgs([dir, '--out', 'o', '--name', 'n']), /exactly one page/);
    assert.throws(() => parseArgs([path.join(dir, 'a.html'), '--root', path.join(dir, 'sub'), '--out', 'o']), /outside/);
    assert.throws(() => parseArgs([dir, '--out', 'o', '--bogus', '1']), /unknown option/);
  });
});
