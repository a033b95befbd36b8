// End-to-end checks of the geometry files (--geometry) against a small page
// with a bordered, padded frame that holds another one whose document is
// scrolled, an overlapping box and an element without a box; and a fresh
// capture of every committed geometry file under tests/pages/expected.
// Needs Chromium (tools/capture/regenerate.sh installs it).

import { test, before, after, describe } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from '../lib/options.mjs';
import { captureAll } from '../lib/session.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const site = path.join(here, 'site');
const page = path.join(site, 'nested.html');
const pagesRoot = path.resolve(here, '../../../tests/pages');

const createdDirs = [];
function tempDir() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'capture-geometry-test-'));
  createdDirs.push(dir);
  return dir;
}
after(() => {
  for (const dir of createdDirs) fs.rmSync(dir, { recursive: true, force: true });
});

async function capture(extraArgs = [], { geometry = true, pagePath = page } = {}) {
  const dir = tempDir();
  const args = [pagePath, '--out', path.join(dir, 'snapshots'), ...extraArgs];
  if (geometry) args.push('--geometry', path.join(dir, 'expected'));
  const [result] = await captureAll(parseArgs(args));
  const read = (file) => (file ? fs.readFileSync(file, 'utf8') : null);
  return { snapshotText: read(result.file), geometryText: read(result.geometryFile), result };
}

const element = (geometry, id) => geometry.elements.find((e) => e.id === id);

// The layout of nested.html and its frames, from their style attributes.
const FRAME_A_CONTENT = { left: 100 + 4 + 6, top: 50 + 4 + 6 };
const FRAME_B_CONTENT = { left: FRAME_A_CONTENT.left + 50 + 2 + 3, top: FRAME_A_CONTENT.top + 40 + 2 + 3 };
const FRAME_B_SCROLL = { x: 20, y: 100 };
const DEEP = { left: 60, top: 130, width: 40, height: 30 };

describe('geometry of a page with nested frames', () => {
  let snapshot;
  let geometry;
  let texts;

  before(async () => {
    texts = await capture();
    snapshot = JSON.parse(texts.snapshotText);
    geometry = JSON.parse(texts.geometryText);
  });

  test('the file names its page, its snapshot and the capture conditions', () => {
    assert.equal(geometry.format, 'page-geometry/1');
    assert.equal(geometry.page, 'nested.html');
    assert.equal(path.resolve(path.dirname(texts.result.geometryFile), geometry.snapshot), texts.result.file);
    assert.equal(path.basename(texts.result.geometryFile), 'nested.geometry.json');
    assert.deepEqual(geometry.viewport, { width: 1024, height: 768 });
    assert.equal(geometry.scroll, null);
    assert.equal(geometry.browser, snapshot.browser);
  });

  test('every element with an id is listed once, in snapshot order, with its node and frame path', () => {
    const withIds = snapshot.nodes.filter((n) => n.props.nodeType === 1 && n.attrs.some(([name, value]) => name === 'id' && value));
    assert.deepEqual(geometry.elements.map((e) => e.node), withIds.map((n) => n.id));
    for (const e of geometry.elements) {
      const node = snapshot.nodes[e.node - 1];
      assert.equal(node.props.id, e.id);
      assert.equal(node.doc, e.doc);
      assert.deepEqual(e.clientRect, { left: node.rect.x, top: node.rect.y, width: node.rect.width, height: node.rect.height });
    }
    assert.deepEqual(geometry.elements.map((e) => [e.frame, e.id]), [
      ['', 'frameA'], ['', 'under'], ['', 'over'], ['', 'gone'], ['', 'far'],
      ['frameA', 'heldBox'], ['frameA', 'frameB'], ['frameA!frameB', 'deep'],
    ]);
  });

  test('a box on the top-level viewport adds each frame\'s border, padding and scroll', () => {
    const deep = element(geometry, 'deep');
    assert.deepEqual(deep.clientRect, {
      left: DEEP.left - FRAME_B_SCROLL.x, top: DEEP.top - FRAME_B_SCROLL.y, width: DEEP.width, height: DEEP.height,
    });
    assert.deepEqual(deep.topViewport, {
      left: FRAME_B_CONTENT.left + DEEP.left - FRAME_B_SCROLL.x,
      top: FRAME_B_CONTENT.top + DEEP.top - FRAME_B_SCROLL.y,
      width: DEEP.width,
      height: DEEP.height,
    });
    assert.deepEqual(element(geometry, 'heldBox').topViewport,
      { left: FRAME_A_CONTENT.left + 10, top: FRAME_A_CONTENT.top + 10, width: 30, height: 20 });
    assert.deepEqual(element(geometry, 'frameB').topViewport,
      { left: FRAME_A_CONTENT.left + 50, top: FRAME_A_CONTENT.top + 40, width: 200, height: 120 });
    // In the top document both measures agree.
    for (const e of geometry.elements.filter((x) => x.frame === '' && x.topViewport)) {
      assert.deepEqual(e.topViewport, e.clientRect, e.id);
    }
  });

  test('an element without a layout box has no top-level box and no centre hit', () => {
    const gone = element(geometry, 'gone');
    assert.equal(gone.topViewport, null);
    assert.equal(gone.centreHit, null);
    assert.deepEqual(gone.clientRect, { left: 0, top: 0, width: 0, height: 0 });
    assert.equal(element(geometry, 'far').centreHit, null); // centre outside the viewport
  });

  test('a hit at an element\'s centre lands on what covers it, inside frames too', () => {
    assert.deepEqual(element(geometry, 'under').centreHit,
      { x: 525, y: 75, node: element(geometry, 'over').node, frame: '', id: 'over' });
    const deep = element(geometry, 'deep');
    assert.deepEqual(deep.centreHit, {
      x: deep.topViewport.left + 20, y: deep.topViewport.top + 15, node: deep.node, frame: 'frameA!frameB', id: 'deep',
    });
  });

  test('grid hits agree with the top document\'s elementFromPoint and go on into frames', () => {
    assert.deepEqual(geometry.grid, { step: 50, offset: 25, columns: 20, rows: 15 });
    assert.equal(geometry.hits.length, 300);
    const topGrid = snapshot.documents[0].hitGrid;
    const frameA = element(geometry, 'frameA').node;
    let inFrames = 0;
    geometry.hits.forEach((hit, k) => {
      assert.deepEqual([hit.x, hit.y], [25 + (k % 20) * 50, 25 + Math.floor(k / 20) * 50]);
      if (hit.frame === '') {
        assert.equal(hit.node, topGrid.ids[k], `at ${hit.x},${hit.y}`);
      } else {
        ++inFrames;
        assert.equal(topGrid.ids[k], frameA, `at ${hit.x},${hit.y}`);
        assert.ok(hit.frame === 'frameA' || hit.frame === 'frameA!frameB');
        assert.equal(snapshot.nodes[hit.node - 1].doc, hit.frame === 'frameA' ? 1 : 2);
      }
    });
    assert.ok(inFrames >= 15, `only ${inFrames} grid hits inside frames`);
    // (175, 125) is inside frameB's content box, at 30,120 of its scrolled document.
    const inner = geometry.hits.find((h) => h.x === 175 && h.y === 125);
    assert.equal(inner.frame, 'frameA!frameB');
    assert.equal(snapshot.nodes[inner.node - 1].props.nodeName, 'DIV');
    assert.equal(inner.id, null);
  });

  test('the geometry pass leaves the snapshot as it is, and a second capture gives identical bytes', async () => {
    const plain = await capture([], { geometry: false });
    assert.equal(plain.snapshotText, texts.snapshotText);
    assert.equal(plain.result.geometryFile, undefined);
    const again = await capture();
    assert.equal(again.geometryText, texts.geometryText);
  });
});

describe('geometry of a scrolled top window', () => {
  test('top-level boxes move with the scroll, frame-relative ones do not, hits follow the viewport', async () => {
    const plain = JSON.parse((await capture()).geometryText);
    const scrolled = JSON.parse((await capture(['--scroll', '100,40'])).geometryText);
    assert.deepEqual(scrolled.scroll, [100, 40]);
    for (const e of scrolled.elements) {
      const before = element(plain, e.id);
      if (!e.topViewport) {
        assert.equal(before.topViewport, null);
        continue;
      }
      assert.deepEqual(e.topViewport, { ...before.topViewport, left: before.topViewport.left - 100, top: before.topViewport.top - 40 }, e.id);
      if (e.frame !== '') assert.deepEqual(e.clientRect, before.clientRect, e.id);
    }
    const deep = element(scrolled, 'deep');
    assert.equal(deep.centreHit.id, 'deep');
    assert.deepEqual([deep.centreHit.x, deep.centreHit.y], [deep.topViewport.left + 20, deep.topViewport.top + 15]);
  });
});

describe('geometry of a page with a cross-origin frame', () => {
  test('a hit inside the frame names the frame element and the id there, without a node', async () => {
    const geometry = JSON.parse((await capture([], { pagePath: path.join(site, 'index.html') })).geometryText);
    // index.html: the cross-origin frame is at 0,200; sub/frame.html's box at 20,10, 40x30.
    assert.deepEqual(geometry.hits.find((h) => h.x === 25 && h.y === 225), { x: 25, y: 225, node: null, frame: 'foreign', id: 'inFrame' });
    assert.deepEqual(geometry.hits.find((h) => h.x === 75 && h.y === 275), { x: 75, y: 275, node: null, frame: 'foreign', id: null });
    // Its elements are not listed: the snapshot does not hold them.
    assert.deepEqual(geometry.elements.filter((e) => e.id === 'inFrame').map((e) => e.frame), ['frame']);
  });
});

// Every committed geometry file is captured again with the conditions it
// records, together with its snapshot; both must be byte for byte what is
// committed (tools/capture/regenerate.sh writes them). Files named after
// their page and captured alike share one browser.
test('the committed geometry files and their snapshots are what Chromium answers now', { timeout: 180000 }, async () => {
  const expectedDir = path.join(pagesRoot, 'expected');
  const files = fs.readdirSync(expectedDir).filter((n) => n.endsWith('.geometry.json')).sort();
  assert.ok(files.includes('viewport.geometry.json') && files.includes('viewport-scrolled.geometry.json'));
  const runs = new Map();
  for (const file of files) {
    const committed = fs.readFileSync(path.join(expectedDir, file), 'utf8');
    const header = JSON.parse(committed);
    const name = file.replace(/\.geometry\.json$/, '');
    const named = name !== header.page.replace(/\.html?$/i, '');
    const conditions = ['--width', String(header.viewport.width), '--height', String(header.viewport.height),
      '--grid', String(header.grid.step), ...(header.scroll ? ['--scroll', header.scroll.join(',')] : [])];
    const key = named ? file : conditions.join(' ');
    if (!runs.has(key)) runs.set(key, { conditions, name: named ? name : null, entries: [] });
    runs.get(key).entries.push({ file, committed, header });
  }
  const dir = tempDir();
  for (const run of runs.values()) {
    const args = [...run.entries.map((e) => path.join(pagesRoot, e.header.page)), '--root', pagesRoot,
      '--out', path.join(dir, 'snapshots'), '--geometry', path.join(dir, 'expected'), ...run.conditions];
    if (run.name) args.push('--name', run.name);
    const results = await captureAll(parseArgs(args));
    run.entries.forEach(({ file, committed, header }, k) => {
      assert.equal(path.basename(results[k].geometryFile), file);
      assert.equal(fs.readFileSync(results[k].geometryFile, 'utf8'), committed, `${file} is stale; run tools/capture/regenerate.sh`);
      const snapshotFile = path.resolve(expectedDir, header.snapshot);
      assert.equal(fs.readFileSync(results[k].file, 'utf8'), fs.readFileSync(snapshotFile, 'utf8'),
        `${header.snapshot} does not match ${file}; run tools/capture/regenerate.sh`);
    });
  }
});
