// The sidecar's protocol against live pages: values, handles, the plan,
// frames, callbacks, dialogs and navigation. One sidecar serves all tabs of
// this file.

import { test, before, after, describe } from 'node:test';
import assert from 'node:assert/strict';
import { Sidecar } from './helpers.mjs';

let sidecar;
before(async () => { sidecar = await Sidecar.start(); });
after(async () => { await sidecar?.stop(); });

const LIVE = 'http://fixtures.test/live.html';

// The handle numbers anywhere in a value.
function handlesIn(value, found = []) {
  if (Array.isArray(value)) value.forEach((v) => handlesIn(v, found));
  else if (value && typeof value === 'object') {
    if (typeof value.h === 'number') found.push(value.h);
    for (const [k, v] of Object.entries(value)) if (k !== 'h') handlesIn(v, found);
  }
  return found;
}

describe('values, handles and members', () => {
  let c;
  let win;
  before(async () => {
    c = await sidecar.connect({ open: LIVE, width: 800, height: 600 });
    win = (await c.op('window')).h;
  });
  after(() => c.close());

  test('the open answer names the loaded document', () => {
    assert.deepEqual(c.openAnswer, { ok: true, loaded: true, url: LIVE });
  });

  test('the viewport is exactly the size asked for', async () => {
    const [w, h] = await c.ops(['get', win, 'innerWidth'], ['get', win, 'innerHeight']);
    assert.deepEqual([w, h], [{ n: 800 }, { n: 600 }]);
  });

  test('values of each kind', async () => {
    const results = await c.ops(
      ['eval', '42'], ['eval', '-1.25'], ['get', win, 'bigValue'],
      ['eval', 'NaN'], ['eval', 'Infinity'], ['eval', '-Infinity'],
      ['get', win, 'niceText'], ['get', win, 'loneText'], ['eval', '"\\udc00"'],
      ['eval', 'true'], ['eval', 'null'], ['eval', 'undefined'], ['eval', '2n ** 70n'],
    );
    assert.deepEqual(results, [
      { n: 42 }, { n: -1.25 }, { n: 2 ** 40 + 0.5 },
      { n: 'NaN' }, { n: 'Infinity' }, { n: '-Infinity' },
      { s: 'h\u00e9llo \u{1F600}\nline' }, { u: [97, 0xd800, 98] }, { u: [0xdc00] },
      { b: true }, { null: 1 }, { undef: 1 }, { n: 2 ** 70 },
    ]);
    // Lines hold no lone-surrogate escape (a client's parser may refuse them)
    // and no raw line break; answers are ASCII, other characters escaped.
    for (const line of c.rawLines) {
      assert.doesNotMatch(line, /\\ud[89ab][0-9a-f]{2}(?!\\ud[c-f][0-9a-f]{2})/i);
      assert.doesNotMatch(line, /(?<!\\ud[89ab][0-9a-f]{2})\\ud[c-f][0-9a-f]{2}/i);
      assert.doesNotMatch(line, /\n/);
      assert.doesNotMatch(line, /[^\x00-\x7f]/);
    }
  });

  test('objects and functions come as handles, document.all too', async () => {
    const [doc, fn, all] = await c.ops(['get', win, 'document'], ['get', win, 'add'], ['eval', 'document.all']);
    for (const v of [doc, fn, all]) assert.ok(Number.isInteger(v.h) && v.h > 0, JSON.stringify(v));
    assert.deepEqual(await c.op('call', all.h, 'item', { s: 'button' }).then((v) => Object.keys(v)), ['h']);
    await c.ops(['release', doc.h], ['release', fn.h], ['release', all.h]);
  });

  test('a missing member differs from one that holds undefined', async () => {
    const results = await c.ops(
      ['get', win, 'undefinedMember'], ['get', win, 'noSuchMember'],
      ['has', win, 'undefinedMember'], ['has', win, 'noSuchMember'],
      ['call', win, 'noSuchMember'], ['get', win, 'toString'],
    );
    assert.deepEqual(results.slice(0, 5), [{ undef: 1 }, { missing: 1 }, { b: true }, { b: false }, { missing: 1 }]);
    // Inherited members are there (the "in" test, not own properties).
    assert.ok(results[5].h > 0);
    await c.op('release', results[5].h);
  });

  test('failures give their own result and the next ops still run', async () => {
    const results = await c.ops(
      ['get', win, 'throwingGetter'], ['call', win, 'notAFunction'], ['call', win, 'thrower'],
      ['eval', 'throw "\\ud800 plain"'], ['eval', '('], ['frobnicate'], ['get', 999999, 'x'], 'not an op',
      ['call', win, 'add', { n: 2 }, { n: 3 }],
    );
    assert.match(results[0].err, /getter failed/);
    assert.match(results[1].err, /notAFunction is not a function/);
    assert.equal(results[2].err, 'TypeError: thrown on purpose');
    assert.equal(results[3].err, '\ufffd plain');
    assert.match(results[4].err, /SyntaxError/);
    assert.match(results[5].err, /unknown op frobnicate/);
    assert.deepEqual(results[6], { bad: 1 });
    assert.ok(results[7].err);
    assert.deepEqual(results[8], { n: 5 });
  });

  test('arguments of each kind reach the page as sent', async () => {
    const doc = (await c.op('get', win, 'document')).h;
    const results = await c.ops(
      ['call', win, 'describe', { n: 'NaN' }], ['call', win, 'describe', { null: 1 }],
      ['call', win, 'describe', { undef: 1 }], ['call', win, 'describe', { b: false }],
      ['call', win, 'describe', { h: doc }], ['call', win, 'describe', { h: 987654 }],
      ['put', win, 'stored', { u: [0xd83d, 120] }],
      ['eval', 'stored.length === 2 && stored.charCodeAt(0) === 0xd83d && stored[1] === "x"'],
      ['put', win, 'storedDoc', { h: doc }], ['eval', 'storedDoc === document'],
      ['call', win, 'add', { s: 'a' }, { n: 'Infinity' }],
      ['call', win, 'describe', { weird: 1 }],
    );
    assert.deepEqual(results.slice(0, 6), [{ s: 'number' }, { s: 'null' }, { s: 'undefined' }, { s: 'boolean' },
      { s: 'object' }, { bad: 1 }]);
    assert.deepEqual(results.slice(6, 11), [{ ok: 1 }, { b: true }, { ok: 1 }, { b: true }, { s: 'aInfinity' }]);
    assert.match(results[11].err, /bad argument/);
    await c.ops(['release', doc], ['eval', 'delete window.storedDoc']);
  });

  test('an answer larger than one slice arrives whole, also with slice boundaries inside surrogate pairs', async () => {
    // One letter more or less moves every slice boundary by one unit, so
    // one of the two puts a boundary inside a pair whatever the slice size.
    const source = (n) => `"a".repeat(${n}) + "\u{1F600}".repeat(40000)`;
    const [odd, even] = await c.ops(['eval', source(1)], ['eval', source(2)]);
    assert.ok(odd.s === 'a' + '\u{1F600}'.repeat(40000), 'an odd run of letters');
    assert.ok(even.s === 'aa' + '\u{1F600}'.repeat(40000), 'an even run of letters');
  });

  test('every answer gives new handles, and releasing them brings the count back', async () => {
    const [start] = await c.ops(['count']);
    const [a, b, n] = await c.ops(['get', win, 'document'], ['get', win, 'document'], ['count']);
    assert.notEqual(a.h, b.h);
    assert.equal(n.n, start.n + 2);
    const clone = await c.op('clone', a.h);
    assert.ok(![a.h, b.h, win].includes(clone.h));
    const ids = await c.ops(['nodeid', a.h], ['nodeid', b.h], ['nodeid', clone.h]);
    assert.ok(ids.every((v) => v.n === ids[0].n), 'handles of one object give one node id');
    const releases = await c.ops(['release', a.h], ['release', b.h], ['release', clone.h], ['release', a.h], ['count']);
    assert.deepEqual(releases, [{ ok: 1 }, { ok: 1 }, { ok: 1 }, { bad: 1 }, start]);
    assert.deepEqual(await c.op('get', a.h, 'title'), { bad: 1 });
    assert.deepEqual(await c.op('clone', 0), { bad: 1 });
    // One release op may carry many handles; an unknown one among them
    // makes it answer bad, and the known ones go all the same.
    const many = await c.ops(['get', win, 'document'], ['get', win, 'document'], ['get', win, 'document']);
    const [together, twice, after] = await c.ops(['release', many[0].h, many[1].h], ['release', many[1].h, many[2].h], ['count']);
    assert.deepEqual([together, twice, after], [{ ok: 1 }, { bad: 1 }, start]);
  });

  test('an op that fails part way keeps none of the handles it made', async () => {
    const [start] = await c.ops(['count']);
    const list = await c.op('eval', '({ length: 5, item(i) { if (i === 3) throw new Error("item 3"); return { i }; } })');
    const [items, after] = await c.ops(['items', list.h, 0, 5], ['count']);
    assert.deepEqual(items, { err: 'Error: item 3' });
    assert.equal(after.n, start.n + 1, 'only the list itself has a handle');
    await c.op('release', list.h);
  });

  test('a run of handles is released as [first, last]; a run with an unknown handle or past the last handle is bad', async () => {
    const [start] = await c.ops(['count']);
    const docs = await c.ops(...Array.from({ length: 6 }, () => ['get', win, 'document']));
    const h = docs.map((d) => d.h);
    assert.deepEqual(h, h.map((_, i) => h[0] + i), 'handles of one answer are numbered in a run');
    const [first, count] = await c.ops(['release', [h[0], h[2]], h[4]], ['count']);
    assert.deepEqual(first, { ok: 1 });
    assert.equal(count.n, start.n + 2, 'the run and the single handle went');
    assert.deepEqual(await c.op('get', h[1], 'title'), { bad: 1 });
    assert.equal(typeof (await c.op('get', h[3], 'title')).s, 'string', 'a handle between them stays');
    // h[4] is gone: the run answers bad, and h[3] and h[5] go all the same.
    const [overlap, after] = await c.ops(['release', [h[3], h[5]]], ['count']);
    assert.deepEqual([overlap, after], [{ bad: 1 }, start]);
    // A run that is reversed, not two whole numbers, or reaches past the
    // last handle given names no handle the page made.
    const [reversed, open, huge, kept] = await c.ops(['release', [5, 4]], ['release', [1]], ['release', [1, 1e15]], ['count']);
    assert.deepEqual([reversed, open, huge], [{ bad: 1 }, { bad: 1 }, { bad: 1 }]);
    assert.deepEqual(kept, start, 'a refused run releases nothing');
  });

  test('node ids are fixed per object and numbered in order of first use', async () => {
    const [x, y] = await c.ops(['eval', 'document.getElementById("i0")'], ['eval', 'document.getElementById("i1")']);
    const [ix1, iy1] = await c.ops(['nodeid', x.h], ['nodeid', y.h]);
    const [z] = await c.ops(['eval', 'document.getElementById("i2")']);
    const [ix2, iz, iy2] = await c.ops(['nodeid', x.h], ['nodeid', z.h], ['nodeid', y.h]);
    assert.deepEqual([ix2, iy2], [ix1, iy1]);
    assert.equal(iy1.n, ix1.n + 1);
    assert.equal(iz.n, iy1.n + 1);
    await c.ops(['release', x.h], ['release', y.h], ['release', z.h]);
  });

  test('items stop before length and chain stops after the first non-object', async () => {
    const list = (await c.op('eval', 'document.getElementById("list").children')).h;
    const [some, rest, none] = await c.ops(['items', list, 1, 2], ['items', list, 2, 100], ['items', list, 4, 5]);
    assert.equal(some.list.length, 2);
    assert.equal(rest.list.length, 2);
    assert.deepEqual(none, { list: [] });
    const ids = await c.ops(...[...some.list, ...rest.list].map((v) => ['get', v.h, 'id']));
    assert.deepEqual(ids, [{ s: 'i1' }, { s: 'i2' }, { s: 'i2' }, { s: 'i3' }]);
    const deepest = (await c.op('eval', 'document.getElementById("deepest")')).h;
    const [chain, short] = await c.ops(['chain', deepest, 'parentNode', 20], ['chain', deepest, 'parentNode', 2]);
    // span <- p <- div <- div <- body <- html <- document <- null
    assert.equal(chain.list.length, 7);
    assert.deepEqual(chain.list.at(-1), { null: 1 });
    const names = await c.ops(...chain.list.slice(0, 6).map((v) => ['get', v.h, 'nodeName']));
    assert.deepEqual(names.map((v) => v.s), ['P', 'DIV', 'DIV', 'BODY', 'HTML', '#document']);
    assert.equal(short.list.length, 2);
    const [missingChain] = await c.ops(['chain', deepest, 'noSuchLink', 3]);
    assert.deepEqual(missingChain, { list: [{ missing: 1 }] });
    const made = handlesIn([some, rest, chain, short]);
    await c.ops(...made.map((h) => ['release', h]), ['release', list], ['release', deepest]);
  });

  test('subtree lists the nodes below in document order with their depths, and says when it was cut', async () => {
    // <div id="outer"><div id="middle"><p id="deep"><span id="deepest">deep</span></p></div></div>
    const outer = (await c.op('eval', 'document.getElementById("outer")')).h;
    const [whole, cut, none] = await c.ops(['subtree', outer, 100], ['subtree', outer, 2], ['subtree', outer, 0]);
    assert.deepEqual(whole.depths, [1, 2, 3, 4]);
    assert.equal(whole.complete, true);
    const names = await c.ops(...whole.list.map((v) => ['get', v.h, 'nodeName']));
    assert.deepEqual(names.map((v) => v.s), ['DIV', 'P', 'SPAN', '#text']);
    assert.deepEqual(cut.depths, [1, 2]);
    assert.equal(cut.complete, false);
    assert.deepEqual(none, { list: [], depths: [], complete: false });
    // Siblings after a deeper run come back to their own depth.
    const list = (await c.op('eval', 'document.getElementById("list")')).h;
    const items = await c.op('subtree', list, 100);
    assert.deepEqual(items.depths, [1, 2, 1, 2, 1, 2, 1, 2]);
    assert.equal(items.complete, true);
    const made = handlesIn([whole, cut, items]);
    await c.ops(...made.map((h) => ['release', h]), ['release', outer], ['release', list]);
  });

  test('a node is alive while connected; other objects while they have a handle', async () => {
    const [el, obj] = await c.ops(['eval', 'document.getElementById("i3")'], ['eval', '({})']);
    assert.deepEqual(await c.ops(['alive', el.h], ['alive', obj.h], ['alive', win]), [{ b: true }, { b: true }, { b: true }]);
    await c.op('call', el.h, 'remove');
    assert.deepEqual(await c.op('alive', el.h), { b: false });
    await c.ops(['release', obj.h]);
    assert.deepEqual(await c.op('alive', obj.h), { bad: 1 });
    await c.op('release', el.h);
  });

  test('the registry leaves no globals in the page', async () => {
    const names = await c.op('eval', 'Object.getOwnPropertyNames(window).filter((n) => /vx/i.test(n)).join()');
    assert.deepEqual(names, { s: '' });
  });

  test('requests are answered in order, also when sent at once', async () => {
    const ids = [101, 102, 103, 104, 105];
    for (const id of ids) c.write({ id, ops: [['eval', `${id}`]] });
    const answers = [];
    for (let k = 0; k < ids.length; k++) answers.push(await c.next((m) => ids.includes(m.id)));
    assert.deepEqual(answers.map((a) => a.id), ids);
    assert.deepEqual(answers.map((a) => a.results[0].n), ids);
  });

  test('lines that are not requests get an error answer and the tab goes on', async () => {
    c.write('{not json');
    assert.deepEqual(await c.next((m) => m.id === null), { id: null, error: 'not JSON' });
    assert.match((await c.send({ ops: 'nope' })).error, /must be a list/);
    assert.match((await c.send({ control: 'fly' })).error, /unknown control/);
    assert.deepEqual(await c.ops(['eval', '1']), [{ n: 1 }]);
  });
});

describe('fetching ahead with the plan', () => {
  const plan = {
    Node: { get: ['nodeType', 'nodeName', 'id', 'name', 'parentNode', 'noSuchMember'], objects: ['attributes'] },
    NamedNodeMap: { calls: [['getNamedItem', 'id'], ['getNamedItem', 'name'], ['getNamedItem', 'nothing']] },
    Attr: { get: ['name', 'value'] },
    HTMLDivElement: {
      get: ['gamma', 'alpha', 'beta', 'broken'], objects: ['parentNode'], calls: [['noSuchMethod', 1], ['getAttribute', 'id']],
    },
    HTMLSpanElement: { objects: ['parentNode'] },
    HTMLParagraphElement: { objects: ['parentNode'] },
    Text: { get: ['data', 'nodeValue', 'length', 'data'] },
  };
  const keys = Object.keys(plan);
  // Reads ahead come under the plan key's place as a capital letter (A for
  // the first); this plan has fewer than 27 keys.
  const nameOf = (key) => String.fromCharCode(65 + keys.indexOf(key));
  let c;
  before(async () => { c = await sidecar.connect({ open: LIVE, plan }); });
  after(() => c.close());

  // A value fetched ahead in the form ops answer ({"s": ...}).
  function tagged(v) {
    switch (typeof v) {
      case 'string': return { s: v };
      case 'number': return { n: v };
      case 'boolean': return { b: v };
      default:
        if (v === null) return { null: 1 };
        return Array.isArray(v) && v.length === 0 ? { missing: 1 } : expand(v);
    }
  }

  // A handle value with what the plan sent along by position, as names:
  // p (get members), o (objects) and c (calls, keyed by name and arguments).
  function expand(value) {
    if (!value || typeof value.h !== 'number') return value;
    const result = { h: value.h };
    if (value.i !== undefined) result.i = value.i;
    keys.forEach((key) => {
      const values = value[nameOf(key)];
      if (!values) return;
      const entry = plan[key];
      const get = entry.get ?? [];
      const objects = entry.objects ?? [];
      const calls = entry.calls ?? [];
      // Reads left off the end of the list: members that do not exist and
      // calls that answered null; {} was not sent.
      for (let n = 0; n < get.length + objects.length + calls.length; n++) {
        const value = n < values.length ? values[n] : n < get.length + objects.length ? [] : null;
        const v = value && typeof value === 'object' && 'same' in value ? values[value.same] : value;
        if (v && typeof v === 'object' && !Array.isArray(v) && Object.keys(v).length === 0) continue;
        if (n < get.length) {
          (result.p ??= {})[get[n]] = tagged(v);
        } else if (n < get.length + objects.length) {
          (result.o ??= {})[objects[n - get.length]] = tagged(v);
        } else {
          const [name, ...args] = calls[n - get.length - objects.length];
          (result.c ??= {})[[name, ...args.map(String)].join('\u0001')] = tagged(v);
        }
      }
    });
    return result;
  }

  test('fetched reads come by position, plain values as they are', async () => {
    const field = await c.op('eval', 'document.getElementById("field")');
    // Each matching key's reads come under the key's name.
    const node = nameOf('Node');
    assert.deepEqual(Object.keys(field), ['h', node]);
    // get members (an object left out as {}), then objects.
    assert.deepEqual(field[node].slice(0, 6), [1, 'INPUT', 'field', 'fieldName', {}, []]);
    const attrs = field[node][6];
    assert.deepEqual(Object.keys(attrs), ['h', nameOf('NamedNodeMap')]);
    // The call that answered null (getNamedItem("nothing")) is left off the end.
    assert.equal(attrs[nameOf('NamedNodeMap')].length, 2);
    assert.deepEqual(expand(attrs).c['getNamedItem\u0001nothing'], { null: 1 });
    await c.ops(...handlesIn(field).map((h) => ['release', h]));
  });

  test('members that do not exist are left off the end of a list, and only those', async () => {
    // A text node has a parent (an object: not sent), then no noSuchMember
    // and no attributes: the list ends at the parent.
    const reads = (value, key) => value[nameOf(key)];
    const text = await c.op('eval', 'document.getElementById("deepest").firstChild');
    assert.deepEqual(reads(text, 'Node'), [3, '#text', [], [], {}]);
    assert.deepEqual(expand(text).p.noSuchMember, { missing: 1 });
    assert.deepEqual(expand(text).o, { attributes: { missing: 1 } });
    // Too deep for objects and calls (span -> p -> div#middle -> div#outer,
    // each through parentNode): they end the list as not sent, so that they
    // are not taken for members that do not exist.
    const span = await c.op('eval', 'document.getElementById("deepest")');
    const middle = reads(reads(span, 'HTMLSpanElement')[0], 'HTMLParagraphElement')[0];
    const outer = reads(middle, 'HTMLDivElement')[4];
    assert.deepEqual(reads(outer, 'Node'), [1, 'DIV', 'outer', [], {}, [], {}]);
    assert.deepEqual(reads(outer, 'HTMLDivElement').slice(4), [{}, {}, {}]);
    assert.equal(expand(outer).o, undefined);
    assert.equal(expand(outer).c, undefined);
    await c.ops(...handlesIn([text, span]).map((h) => ['release', h]));
  });

  test('keys past the 26th are named by two letters', async () => {
    // 27 keys no object matches, then Text (the 28th key: AB).
    const long = Object.fromEntries(Array.from({ length: 27 }, (_, n) => [`NoSuchClass${n}`, { get: ['length'] }]));
    long.Text = { get: ['data'] };
    const other = await sidecar.connect({ open: LIVE, plan: long });
    try {
      const text = await other.op('eval', 'document.createTextNode("abc")');
      assert.deepEqual(text.AB, ['abc']);
      assert.deepEqual(Object.keys(text), ['h', 'AB']);
    } finally {
      other.close();
    }
  });

  test('a long string read twice in a list is sent once', async () => {
    const long = 'a text of more than sixteen characters';
    const [longText, shortText] = await c.ops(
      ['eval', `document.createTextNode(${JSON.stringify(long)})`],
      ['eval', 'document.createTextNode("short")'],
    );
    const at = (value) => value[nameOf('Text')];
    assert.deepEqual(at(longText), [long, { same: 0 }, long.length, { same: 0 }]);
    assert.deepEqual(at(shortText), ['short', 'short', 5, 'short']);
    assert.deepEqual(expand(longText).p.nodeValue, { s: long });
    await c.ops(...handlesIn([longText, shortText]).map((h) => ['release', h]));
  });

  test('p, o and c are sent with a handle', async () => {
    const [start] = await c.ops(['count']);
    const field = expand(await c.op('eval', 'document.getElementById("field")'));
    assert.deepEqual(field.p, {
      nodeType: { n: 1 }, nodeName: { s: 'INPUT' }, id: { s: 'field' }, name: { s: 'fieldName' }, noSuchMember: { missing: 1 },
    }, 'objects (parentNode) are left out of p');
    const attrs = field.o.attributes;
    assert.ok(attrs.h > 0);
    assert.equal(attrs.p, undefined, 'NamedNodeMap is no Node');
    assert.deepEqual(Object.keys(attrs.c), ['getNamedItem\u0001id', 'getNamedItem\u0001name', 'getNamedItem\u0001nothing']);
    assert.deepEqual(attrs.c['getNamedItem\u0001nothing'], { null: 1 });
    const idAttr = attrs.c['getNamedItem\u0001id'];
    assert.deepEqual([idAttr.p.name, idAttr.p.value, idAttr.p.nodeType], [{ s: 'id' }, { s: 'field' }, { n: 2 }]);
    // Every handle made ahead is a real one, counted until released.
    const made = handlesIn(field);
    assert.equal(made.length, 4);
    assert.deepEqual(await c.op('count'), { n: start.n + 4 });
    assert.deepEqual(await c.op('get', idAttr.h, 'value'), { s: 'field' });
    await c.ops(...made.map((h) => ['release', h]));
    assert.deepEqual(await c.op('count'), start);
  });

  test('getters are read in the same order each time; one that throws gives err', async () => {
    await c.op('eval', 'readLog.length = 0');
    const first = expand(await c.op('eval', 'document.getElementById("getters")'));
    const second = await c.op('clone', first.h);
    const log = await c.op('eval', 'readLog.join()');
    assert.deepEqual(log, { s: 'gamma,alpha,beta,gamma,alpha,beta' });
    assert.deepEqual(Object.keys(first.p).filter((k) => ['gamma', 'alpha', 'beta'].includes(k)), ['gamma', 'alpha', 'beta']);
    assert.deepEqual(first.p.alpha, { s: 'ALPHA' });
    assert.equal(first.p.broken.err, 'RangeError: broken getter');
    assert.deepEqual(first.c['noSuchMethod\u00011'], { missing: 1 });
    assert.deepEqual(first.c['getAttribute\u0001id'], { s: 'getters' });
    await c.ops(...handlesIn([first, second]).map((h) => ['release', h]));
  });

  test('values carry their own plan at most three levels below the first handle', async () => {
    const [start] = await c.ops(['count']);
    // span -> p -> div#middle -> div#outer, each through "objects": parentNode.
    const span = expand(await c.op('eval', 'document.getElementById("deepest")'));
    const p1 = span.o.parentNode;
    const div2 = p1.o.parentNode;
    const div3 = div2.o.parentNode;
    assert.deepEqual([p1.p.id, div2.p.id, div3.p.id], [{ s: 'deep' }, { s: 'middle' }, { s: 'outer' }]);
    // Level 2 still has objects and calls; level 3 has its p only.
    assert.ok(p1.o.attributes.c, 'a NamedNodeMap two levels down has its calls');
    assert.ok(div2.c['getAttribute\u0001id']);
    assert.deepEqual(div3.p.nodeName, { s: 'DIV' });
    assert.equal(div3.o, undefined);
    assert.equal(div3.c, undefined);
    assert.ok(div2.o.attributes.h > 0);
    assert.equal(div2.o.attributes.c, undefined, 'a NamedNodeMap three levels down has no calls');
    const attr3 = p1.o.attributes.c['getNamedItem\u0001id'];
    assert.deepEqual(attr3.p.value, { s: 'deep' });
    assert.equal(attr3.o, undefined, 'an Attr three levels down has no objects');
    const made = handlesIn(span);
    assert.equal(new Set(made).size, made.length, 'handles are all different');
    assert.deepEqual(await c.op('count'), { n: start.n + made.length });
    await c.ops(...made.map((h) => ['release', h]));
    assert.deepEqual(await c.op('count'), start);
  });
});

describe('frames', () => {
  let c;
  let win;
  before(async () => {
    c = await sidecar.connect({ open: 'http://fixtures.test/iframes.html' });
    win = (await c.op('window')).h;
  });
  after(() => c.close());

  test('the documents of same-origin frames are reachable, also nested ones', async () => {
    const outer = (await c.op('eval', 'document.getElementById("outerFrame")')).h;
    const outerDoc = await c.op('get', outer, 'contentDocument');
    const [box, inner] = await c.ops(
      ['call', outerDoc.h, 'getElementById', { s: 'outerBox' }],
      ['call', outerDoc.h, 'getElementById', { s: 'innerFrame' }],
    );
    assert.deepEqual(await c.op('get', box.h, 'textContent'), { s: 'outer' });
    const innerDoc = await c.op('get', inner.h, 'contentDocument');
    const [url, alive] = await c.ops(['get', innerDoc.h, 'URL'], ['alive', box.h]);
    assert.deepEqual(url, { s: 'http://fixtures.test/frames/inner.html' });
    assert.deepEqual(alive, { b: true });
    const srcdoc = (await c.op('eval', 'document.getElementById("srcdocFrame").contentDocument')).h;
    assert.ok((await c.op('call', srcdoc, 'getElementById', { s: 'fromSrcdoc' })).h > 0);
  });

  test('a cross-origin frame has no contentDocument, and its window keeps its members', async () => {
    const foreign = (await c.op('eval', 'document.getElementById("foreignFrame")')).h;
    const [doc, fwin] = await c.ops(['get', foreign, 'contentDocument'], ['get', foreign, 'contentWindow']);
    assert.deepEqual(doc, { null: 1 });
    assert.ok(fwin.h > 0);
    assert.match((await c.op('get', fwin.h, 'document')).err, /SecurityError|cross-origin/i);
  });

  test('only the registry\'s callbacks make callback events, not the page calling the binding', async () => {
    const cb = await c.op('callback', '7');
    await c.ops(['put', win, 'realCallback', { h: cb.h }]);
    // The frame's window still has the binding; calling it must not pass for a callback.
    const forged = await c.ops(
      ['eval', 'typeof frames[1].__vxLiveEvent === "function" ? (frames[1].__vxLiveEvent("7"), frames[1].__vxLiveEvent(":7"), "called") : "none"'],
      ['eval', 'realCallback()'],
    );
    assert.deepEqual(forged, [{ s: 'called' }, { undef: 1 }]);
    await c.event((e) => e.event === 'callback');
    await c.ops(['eval', '1']);
    assert.deepEqual(c.events.filter((e) => e.event === 'callback'), [{ event: 'callback', cookie: '7' }],
      `after ${JSON.stringify(forged[0])}`);
  });
});

describe('callbacks, input and dialogs', () => {
  let c;
  let win;
  before(async () => {
    c = await sidecar.connect({ open: LIVE });
    win = (await c.op('window')).h;
  });
  after(() => c.close());

  const callbacks = (cookie) => c.events.filter((e) => e.event === 'callback' && e.cookie === cookie).length;
  const ok = async (answer) => assert.equal((await answer).ok, true, JSON.stringify(await answer));

  test('a real click calls the callback; after dropcallback it does nothing', async () => {
    const big = '18446744073709551615';
    const button = (await c.op('eval', 'document.getElementById("button")')).h;
    const cb = await c.op('callback', big);
    assert.deepEqual(await c.op('call', button, 'addEventListener', { s: 'click' }, { h: cb.h }), { undef: 1 });
    await ok(c.control('click', { x: 60, y: 30 }));
    await c.event((e) => e.event === 'callback' && e.cookie === big);
    assert.deepEqual(await c.op('dropcallback', big), { ok: 1 });
    // A second listener on the same button shows when the click has been handled.
    const witness = await c.op('callback', '2');
    await c.op('call', button, 'addEventListener', { s: 'click' }, { h: witness.h });
    await ok(c.control('click', { x: 60, y: 30 }));
    await c.event((e) => e.event === 'callback' && e.cookie === '2');
    assert.equal(callbacks(big), 1);
    // Dropping a cookie leaves the others working.
    assert.deepEqual(await c.op('call', cb.h, 'call', { null: 1 }), { undef: 1 });
    assert.equal(callbacks(big), 1);
  });

  test('a callback survives being called with any arguments, also as a constructor', async () => {
    const cb = await c.op('callback', 31);
    await c.op('put', win, 'oddCallback', { h: cb.h });
    const results = await c.ops(
      ['eval', 'oddCallback.call(42, Symbol("s"), undefined, {}, () => 1)'],
      ['eval', 'typeof new oddCallback(1)'],
    );
    assert.deepEqual(results, [{ undef: 1 }, { s: 'object' }]);
    await c.ops(['eval', '0']);
    await c.event((e) => e.event === 'callback' && e.cookie === '31' && callbacks('31') === 2);
    assert.match((await c.op('callback', 'not a number')).err, /decimal/);
  });

  test('typing and keys reach the focused field', async () => {
    const field = (await c.op('eval', 'document.getElementById("field")')).h;
    await c.ops(['put', field, 'value', { s: '' }], ['call', field, 'focus']);
    await ok(c.control('type', { text: 'héllo' }));
    await ok(c.control('key', { key: 'Backspace' }));
    await ok(c.control('key', { key: '!' }));
    assert.deepEqual(await c.op('get', field, 'value'), { s: 'héll!' });
    assert.match((await c.control('key', { key: 'NoSuchKey' })).error, /unknown key/);
  });

  test('dialogs are accepted at once and reported, also from inside a request', async () => {
    const results = await c.ops(
      ['eval', 'alert("from an op"), 7'],
      ['eval', 'confirm("sure?")'],
      ['eval', 'prompt("name?", "given")'],
    );
    assert.deepEqual(results, [{ n: 7 }, { b: true }, { s: 'given' }]);
    await ok(c.control('click', { x: 60, y: 80 }));
    await c.event((e) => e.event === 'dialog' && e.message === 'from a click');
    const dialogs = c.events.filter((e) => e.event === 'dialog').map((e) => [e.type, e.message]);
    assert.deepEqual(dialogs, [['alert', 'from an op'], ['confirm', 'sure?'], ['prompt', 'name?'], ['alert', 'from a click']]);
  });
});

describe('a cross-origin frame that opens a dialog while loading', () => {
  test('the dialog is accepted and reported, and the page loads', async () => {
    const c = await sidecar.connect({ open: 'http://fixtures.test/foreign-alert.html', loadTimeoutMs: 5000 });
    try {
      assert.equal(c.openAnswer.loaded, true);
      assert.deepEqual(c.events, [{ event: 'dialog', type: 'alert', message: 'from a frame' }]);
    } finally {
      c.close();
    }
  });
});

describe('navigation', () => {
  test('after the page navigates, old handles are unknown and new ones are new numbers', async () => {
    const c = await sidecar.connect({ open: LIVE });
    try {
      const [win, doc] = await c.ops(['window'], ['eval', 'document']);
      const answer = await c.control('navigate', { url: 'http://fixtures.test/geometry.html' });
      assert.equal(answer.ok, true, JSON.stringify(answer));
      const after = await c.ops(['get', doc.h, 'title'], ['get', win.h, 'document'], ['window'], ['count']);
      assert.deepEqual(after.slice(0, 2), [{ bad: 1 }, { bad: 1 }]);
      assert.ok(after[2].h > doc.h, 'handle numbers go on after the old document\'s');
      assert.deepEqual(after[3], { n: 1 });
      assert.deepEqual(await c.op('eval', 'document.title'), { s: 'Geometry' });
      // The page navigating by itself: the next request runs on the new document.
      const newDoc = (await c.op('eval', 'document')).h;
      await c.op('eval', 'setTimeout(() => { location.href = "/naming.html"; }, 0), 0');
      let title;
      for (let k = 0; k < 50; k++) {
        title = await c.op('eval', 'document.readyState === "complete" && document.title !== "Geometry" && document.title');
        if (title.s) break;
        await new Promise((r) => setTimeout(r, 50));
      }
      assert.deepEqual(title, { s: 'Naming: ids and names' });
      assert.deepEqual(await c.op('get', newDoc, 'title'), { bad: 1 });
      assert.match((await c.control('navigate', { url: 'file:///etc/passwd' })).error, /not opened/);
    } finally {
      c.close();
    }
  });
});
