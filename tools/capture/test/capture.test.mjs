// End-to-end checks of the capture tool against a small site with a
// same-origin frame, a cross-origin frame, fixed-size boxes and escaped URLs.
// Needs Chromium (tools/capture/regenerate.sh installs it).

import { test, before, after, describe } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from '../lib/options.mjs';
import { captureAll } from '../lib/session.mjs';
import { startStaticServer } from '../lib/static-server.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = path.join(here, 'site');
const page = path.join(site, 'index.html');

const createdDirs = [];
function tempDir() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'capture-test-'));
  createdDirs.push(dir);
  return dir;
}
after(() => {
  for (const dir of createdDirs) fs.rmSync(dir, { recursive: true, force: true });
});

function profileDirs() {
  return new Set(fs.readdirSync(os.tmpdir()).filter((n) => n.startsWith('page-capture-')));
}

async function capture(extraArgs = []) {
  const out = tempDir();
  const options = parseArgs([page, '--out', out, ...extraArgs]);
  const [result] = await captureAll(options);
  return { text: fs.readFileSync(result.file, 'utf8'), file: result.file };
}

const byDomId = (snapshot, domId) => snapshot.nodes.find((n) => n.props.id === domId);
const childrenOf = (snapshot, id) => snapshot.nodes.filter((n) => n.parent === id);

describe('capture of a page with frames', () => {
  let text;
  let snapshot;
  let profilesBefore;

  before(async () => {
    profilesBefore = profileDirs();
    ({ text } = await capture());
    snapshot = JSON.parse(text);
  });

  test('nodes are numbered in DOM order with parents before children', () => {
    snapshot.nodes.forEach((node, k) => assert.equal(node.id, k + 1));
    assert.equal(snapshot.nodes[0].props.nodeType, 9);
    for (const node of snapshot.nodes) {
      if (node.parent !== null) assert.ok(node.parent < node.id, `parent of ${node.id} comes later`);
    }
    const body = snapshot.nodes.find((n) => n.props.tagName === 'BODY' && n.doc === 0);
    const elementChildren = childrenOf(snapshot, body.id).filter((n) => n.props.nodeType === 1);
    assert.deepEqual(elementChildren.map((n) => n.props.id), ['box', 'euro', 'rawEuro', 'frame', 'foreign', 'long', 'field']);
    const comment = childrenOf(snapshot, body.id).find((n) => n.props.nodeType === 8);
    assert.equal(comment.props.data, ' comment ');
  });

  test('a same-origin frame document is linked to its frame element both ways', () => {
    const frame = byDomId(snapshot, 'frame');
    const relation = snapshot.frames.find((f) => f.element === frame.id);
    assert.equal(relation.reachable, true);
    const doc = snapshot.documents[relation.document];
    assert.equal(doc.frameElement, frame.id);
    assert.equal(doc.parentDocument, 0);
    assert.deepEqual(frame.props.contentDocument, { $node: doc.node });
    assert.deepEqual(frame.props.contentWindow, { $window: doc.index });
    const inFrame = byDomId(snapshot, 'inFrame');
    assert.equal(inFrame.doc, doc.index);
    assert.equal(snapshot.nodes[doc.node - 1].props.URL, 'http://fixtures.test/sub/frame.html');
    // Frame nodes follow all nodes of the top document.
    const lastTopNode = Math.max(...snapshot.nodes.filter((n) => n.doc === 0).map((n) => n.id));
    assert.ok(doc.node > lastTopNode);
  });

  test('a cross-origin frame is recorded as unreachable without its nodes', () => {
    const foreign = byDomId(snapshot, 'foreign');
    const relation = snapshot.frames.find((f) => f.element === foreign.id);
    assert.deepEqual(relation, { element: foreign.id, ownerDocument: 0, document: null, reachable: false, reason: 'cross-origin' });
    assert.equal(foreign.props.contentDocument, null);
    assert.equal(snapshot.documents.length, 2);
  });

  test('document.all lists exactly the elements of its document, in order', () => {
    for (const doc of snapshot.documents) {
      const all = snapshot.nodes[doc.node - 1].props.all.$list;
      const elements = snapshot.nodes.filter((n) => n.doc === doc.index && n.props.nodeType === 1).map((n) => n.id);
      assert.deepEqual(all, elements);
    }
  });

  test('href keeps escapes as written and escapes raw characters', () => {
    assert.equal(byDomId(snapshot, 'euro').props.href, 'http://fixtures.test/docs/%E2%82%AC');
    assert.equal(byDomId(snapshot, 'rawEuro').props.href, 'http://fixtures.test/docs/%E2%82%AC.html');
    assert.deepEqual(byDomId(snapshot, 'euro').attrs, [['id', 'euro'], ['href', 'docs/%E2%82%AC']]);
  });

  test('rectangles are exact, in each document\'s own viewport', () => {
    assert.deepEqual(byDomId(snapshot, 'box').rect, { x: 100, y: 50, width: 100, height: 50 });
    assert.deepEqual(byDomId(snapshot, 'inFrame').rect, { x: 20, y: 10, width: 40, height: 30 });
    assert.deepEqual(snapshot.documents[1].window, {
      innerWidth: 200, innerHeight: 150, scrollX: 0, scrollY: 0, devicePixelRatio: 1,
    });
  });

  test('hit grid answers the box, the frame element, and inside the frame', () => {
    const cell = (doc, x, y) => {
      const g = snapshot.documents[doc].hitGrid;
      return g.ids[((y - g.offset) / g.step) * g.columns + (x - g.offset) / g.step];
    };
    assert.equal(cell(0, 125, 75), byDomId(snapshot, 'box').id);
    assert.equal(cell(0, 325, 75), byDomId(snapshot, 'frame').id);
    assert.equal(cell(1, 25, 25), byDomId(snapshot, 'inFrame').id);
    const grid = snapshot.documents[0].hitGrid;
    assert.equal(grid.ids.length, grid.columns * grid.rows);
    assert.equal(grid.columns, 20); // centres 25, 75, ... 1000 in a 1024 px viewport
  });

  test('members that an element lacks are absent, not null', () => {
    const box = byDomId(snapshot, 'box');
    assert.ok(!('value' in box.props) && !('href' in box.props) && !('checked' in box.props));
    const field = byDomId(snapshot, 'field');
    assert.equal(field.props.value, 'v');
    assert.equal(field.props.checked, false);
    assert.equal(box.props.offsetParent.$node, snapshot.nodes.find((n) => n.props.tagName === 'BODY').id);
  });

  test('the temporary browser profile is removed afterwards', () => {
    const left = [...profileDirs()].filter((n) => !profilesBefore.has(n));
    assert.deepEqual(left, []);
  });

  test('a second capture gives identical bytes', async () => {
    const again = await capture();
    assert.equal(again.text, text);
  });
});

describe('a page given by its address', () => {
  test('is loaded from there and recorded under that address', async () => {
    const server = await startStaticServer(site);
    try {
      const url = `http://127.0.0.1:${server.port}/index.html`;
      const out = tempDir();
      const [result] = await captureAll(parseArgs([url, '--out', out]));
      const snapshot = JSON.parse(fs.readFileSync(result.file, 'utf8'));
      assert.equal(snapshot.url, url);
      assert.equal(snapshot.page, url);
      assert.equal(path.basename(result.file), `127.0.0.1_${server.port}_index.json`);
      const fromFile = JSON.parse((await capture()).text);
      assert.equal(snapshot.nodes.length, fromFile.nodes.length);
      assert.ok(byDomId(snapshot, 'box'));
    } finally {
      await server.close();
    }
  });
});

describe('capture options', () => {
  test('long innerText is cut at the limit and its full length kept', async () => {
    const snapshot = JSON.parse((await capture(['--inner-text-limit', '10'])).text);
    const long = byDomId(snapshot, 'long');
    assert.equal(long.props.innerText, '0123456789');
    assert.equal(long.innerTextLength, 43);
    assert.equal(snapshot.innerTextLimit, 10);
    assert.ok(!('innerTextLength' in byDomId(snapshot, 'inFrame')));
  });

  test('focus, scroll and viewport size are applied before the walk', async () => {
    const snapshot = JSON.parse((await capture(['--focus', '#field', '--width', '500', '--height', '300', '--scroll', '0,100'])).text);
    const top = snapshot.documents[0];
    assert.equal(top.window.innerWidth, 500);
    assert.equal(top.window.innerHeight, 300);
    assert.equal(top.window.scrollY, 100);
    assert.equal(byDomId(snapshot, 'box').rect.y, -50);
    assert.deepEqual(snapshot.nodes[top.node - 1].props.activeElement, { $node: byDomId(snapshot, 'field').id });
  });

  test('a failing step exits non-zero, names the cause and leaves no profile', () => {
    const before = profileDirs();
    const out = tempDir();
    const run = spawnSync(process.execPath, [path.join(here, '..', 'capture.mjs'), page, '--focus', '#missing', '--out', out], {
      encoding: 'utf8', timeout: 30000,
    });
    assert.equal(run.status, 1);
    assert.match(run.stderr, /no element matches #missing/);
    assert.deepEqual(fs.readdirSync(out), []);
    assert.deepEqual([...profileDirs()].filter((n) => !before.has(n)), []);
  });
});

describe('capture of the globals a page defined', () => {
  let snapshot;
  let globals;

  before(async () => {
    const out = tempDir();
    const options = parseArgs([path.join(site, 'globals.html'), '--out', out, '--call-globals', '^find']);
    const [result] = await captureAll(options);
    snapshot = JSON.parse(fs.readFileSync(result.file, 'utf8'));
    globals = snapshot.documents[0].globals;
  });

  test('only the members the page\'s scripts added to the window are recorded', () => {
    assert.deepEqual(Object.keys(globals).sort(),
      ['Widget', 'countCalls', 'counter', 'findWidget', 'nothing', 'panel', 'unset', 'widgets']);
    assert.equal(globals.counter, 3);
    assert.equal(globals.nothing, null);
    assert.deepEqual(globals.unset, { $undefined: true });
    assert.deepEqual(globals.findWidget, { $object: 'Function' });
    // The script ran before the element existed.
    assert.equal(globals.panel, null);
  });

  test('objects keep their members to a bounded depth, inherited ones included', () => {
    const widget = globals.widgets.$members.w_one;
    assert.equal(widget.$object, 'Object');
    assert.deepEqual(Object.keys(widget.$members).sort(), ['id', 'parts', 'redraw']);
    assert.deepEqual(widget.$members.redraw, { $object: 'Function' });
    // Third level: the class name only.
    assert.deepEqual(widget.$members.parts, { $object: 'Object' });
  });

  test('matching functions are called with every id and its cut forms', () => {
    const calls = snapshot.documents[0].calls;
    assert.deepEqual(Object.keys(calls), ['findWidget']);
    const answers = calls.findWidget;
    assert.deepEqual(answers.w_one, { $object: 'Object' });
    assert.deepEqual(answers.one, null);
    // "xxw_one" without its first 2 characters names the widget too.
    assert.ok('xxw_one' in answers && 'w_one' in answers && 'xx' in answers);
    assert.equal(answers.panel, null);
  });

  test('a page without scripts has no globals recorded', async () => {
    const out = tempDir();
    const [result] = await captureAll(parseArgs([path.join(site, 'sub', 'frame.html'), '--root', site, '--out', out]));
    const plain = JSON.parse(fs.readFileSync(result.file, 'utf8'));
    assert.ok(!('globals' in plain.documents[0]));
    assert.ok(!('calls' in plain.documents[0]));
  });
});
