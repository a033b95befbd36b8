#!/usr/bin/env node
// Writes the hostile pages (pages whose scripts build DOMs of extreme depth,
// width, size or content) into OUT/html and captures each with the capture
// tool into OUT/snapshots. Pages are small HTML files whose script builds the
// DOM at load, so only this generator is committed; the snapshots are large
// and are made by the test run.
//
//   node make-pages.mjs OUT [--only NAME-PREFIX]
//
// A snapshot newer than this script is kept: a second run captures nothing.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync, statSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const capture = join(here, '../../../tools/capture/capture.mjs');

// Builds a chain of `depth` nested elements, top-down into a detached root
// (appending under a node that is not in the document keeps insertion cheap),
// and attaches it once. makeLevel(i) returns [outer, inner]: the element
// appended to the previous level and the one the next level goes into.
const chainBuilder = `
function buildChain(host, depth, makeLevel) {
  let root = null, into = null;
  for (let i = 0; i < depth; i++) {
    const [outer, inner] = makeLevel(i);
    if (into) into.appendChild(outer); else root = outer;
    into = inner;
  }
  into.appendChild(document.createTextNode('bottom'));
  host.appendChild(root);
  return into;
}
function el(tag, id) { const e = document.createElement(tag); if (id) e.id = id; return e; }
`;

function page(title, body, script) {
  return `<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>${title}</title>
<style>body { font-family: 'DejaVu Sans'; margin: 8px; } .none { display: none; }</style></head>
<body>${body}
<script>${chainBuilder}${script}</script>
</body></html>
`;
}

// Chromium lays out a visible chain of a few thousand nested blocks only
// slowly and computes styles of a hidden one in quadratic time, so deep
// chains live in a display:none host; a visible head of 200 levels keeps
// layout, hit tests and focus on deep elements real (its innermost element
// has the focus).
function deepDivs(depth) {
  return page(`deep divs ${depth}`, '<div id="visible"></div><div id="host" class="none"></div>', `
const innermost = buildChain(document.getElementById('visible'), 200, (i) => { const d = el('div', i % 50 === 0 ? 'v' + i : ''); return [d, d]; });
innermost.id = 'innermostVisible';
innermost.tabIndex = 0;
innermost.focus();
buildChain(document.getElementById('host'), ${depth}, (i) => { const d = el('div', i % 100 === 0 ? 'd' + i : ''); if (i % 1000 === 7) d.setAttribute('name', 'n' + i); return [d, d]; });
`);
}

// Nested tables, lists and inline SVG groups, a third of the depth each.
function deepStructures(depth) {
  const third = Math.floor(depth / 3);
  return page(`deep structures ${depth}`, '<div id="tables" class="none"></div><div id="lists" class="none"></div><div id="svg"></div>', `
buildChain(document.getElementById('tables'), ${Math.floor(third / 4)}, (i) => {
  const table = el('table', i % 100 === 0 ? 't' + i : ''), body = el('tbody'), row = el('tr'), cell = el('td');
  table.appendChild(body); body.appendChild(row); row.appendChild(cell); cell.appendChild(document.createTextNode('c' + i));
  return [table, cell];
});
buildChain(document.getElementById('lists'), ${Math.floor(third / 2)}, (i) => {
  const list = el('ul', i % 100 === 0 ? 'l' + i : ''), item = el('li');
  list.appendChild(item); item.appendChild(document.createTextNode('i' + i));
  return [list, item];
});
const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
svg.setAttribute('width', '100'); svg.setAttribute('height', '100');
document.getElementById('svg').appendChild(svg);
buildChain(svg, ${third}, (i) => { const g = document.createElementNS('http://www.w3.org/2000/svg', 'g'); if (i % 100 === 0) g.id = 'g' + i; return [g, g]; });
`);
}

// Same-origin frames nested inside each other, each given by srcdoc.
function nestedFrames(count) {
  return page(`nested frames ${count}`, '<div id="frames"></div>', `
let html = '<p id="innermost">innermost</p>';
for (let i = ${count} - 1; i >= 0; i--) {
  html = '<iframe id="f' + i + '" name="frame' + i + '" width="400" height="200" srcdoc="' +
    html.replace(/&/g, '&amp;').replace(/"/g, '&quot;') + '"></iframe>';
}
document.getElementById('frames').innerHTML = html;
`);
}

function wide(count) {
  return page(`wide ${count}`, '<div id="parent"></div>', `
const parent = document.getElementById('parent');
const fragment = document.createDocumentFragment();
for (let i = 0; i < ${count}; i++) {
  const s = el('span', i % 10 === 0 ? 's' + i : '');
  s.textContent = 'w' + i + ' ';
  fragment.appendChild(s);
}
parent.appendChild(fragment);
`);
}

const MB = 1024 * 1024;

// An id, a name, a class and an href of a megabyte each; an attribute map of
// 10,000 attributes; a text node of 10 MB.
function hugeValues() {
  return page('huge values', '<div id="holder"></div>', `
const big = (c) => c.repeat(${MB});
const link = el('a');
link.id = big('i'); link.setAttribute('name', big('n')); link.className = big('c');
link.href = 'http://fixtures.test/' + big('p') + '?q=' + big('%');
link.textContent = 'huge link';
const input = el('input'); input.name = big('m'); input.value = big('v');
const many = el('div', 'many');
for (let i = 0; i < 10000; i++) many.setAttribute('a' + i, 'v' + i);
many.textContent = 'ten thousand attributes';
const text = el('div', 'text');
text.appendChild(document.createTextNode('t'.repeat(${10 * MB})));
const holder = document.getElementById('holder');
holder.append(link, input, many, text);
`);
}

// Many elements under one id, so names need unique suffixes. They are
// blocks: Chromium hit-tests long runs of inline elements slowly.
function sameId(count) {
  return page(`same id ${count}`, '<div id="parent"></div>', `
const parent = document.getElementById('parent');
const fragment = document.createDocumentFragment();
for (let i = 0; i < ${count}; i++) { const d = el('div', 'same'); d.textContent = 'x'; fragment.appendChild(d); }
parent.appendChild(fragment);
`);
}

// Lone surrogates and U+0000 in ids, names, text and URLs, percent-escapes
// that decode to invalid UTF-8 at every position, names of punctuation only.
function badContent() {
  return page('bad content', '<div id="holder"></div>', `
const holder = document.getElementById('holder');
const odd = ['\\uD800', 'a\\uDC00b', '\\uDBFFx\\uD800', 'nul\\u0000in', '\\u0000', '!!!', '.-_*', '\\u00A0', '\\uFFFF'];
odd.forEach((value, i) => {
  const a = el('a');
  a.id = value; a.setAttribute('name', value);
  a.href = 'http://fixtures.test/dir/' + value + '/file' + i + '.html?' + value + '#' + value;
  a.textContent = value + ' link ' + i;
  const input = el('input'); input.name = value; input.value = value; input.title = value;
  const span = el('span'); span.textContent = value;
  holder.append(a, input, span);
});
// Escapes that are not UTF-8: a lone continuation byte, a cut sequence, an
// overlong form, a surrogate encoded as UTF-8, an invalid lead byte, at the
// start, middle and end of a segment and of the query.
const bad = ['%80', '%C3', '%E2%82', '%C0%AF', '%ED%A0%80', '%FF', '%F8%88%80%80%80'];
bad.forEach((escape, i) => {
  for (const [where, url] of [['start', escape + 'x'], ['middle', 'x' + escape + 'y'], ['end', 'x' + escape]]) {
    const a = el('a', 'bad' + i + where);
    a.setAttribute('href', '/' + url + '/' + url + '.html?' + url);
    a.textContent = 'escape ' + i + ' ' + where;
    const img = el('img'); img.setAttribute('src', url + '.png'); img.alt = '';
    holder.append(a, img);
  }
});
`);
}

// A page whose script keeps adding and removing elements while it is
// captured: the snapshot holds what the capture saw.
function mutatingAll() {
  return page('mutating all', '<div id="holder"></div>', `
const holder = document.getElementById('holder');
for (let i = 0; i < 500; i++) holder.appendChild(el('span', 'm' + i));
let n = 500;
setInterval(() => {
  for (let k = 0; k < 50; k++) {
    holder.appendChild(el('b', 'm' + n++));
    if (holder.firstChild) holder.firstChild.remove();
  }
}, 0);
`);
}

const pages = {
  'deep-divs-1000': () => deepDivs(1000),
  'deep-divs-10000': () => deepDivs(10000),
  'deep-structures-10000': () => deepStructures(10000),
  'nested-frames-50': () => nestedFrames(50),
  'wide-1000': () => wide(1000),
  'wide-10000': () => wide(10000),
  'wide-100000': () => wide(100000),
  'huge-values': hugeValues,
  'same-id-100000': () => sameId(100000),
  'bad-content': badContent,
  'mutating-all': mutatingAll,
};

function main(args) {
  const out = args[0];
  if (!out) {
    console.error('usage: make-pages.mjs OUT [--only NAME-PREFIX]');
    return 2;
  }
  const only = args[1] === '--only' ? args[2] : '';
  const htmlDir = join(out, 'html');
  const snapshots = join(out, 'snapshots');
  mkdirSync(htmlDir, { recursive: true });
  mkdirSync(snapshots, { recursive: true });
  mkdirSync(join(out, 'expected'), { recursive: true });
  const generator = statSync(fileURLToPath(import.meta.url)).mtimeMs;
  for (const [name, make] of Object.entries(pages)) {
    if (!name.startsWith(only)) continue;
    const snapshot = join(snapshots, `${name}.json`);
    if (existsSync(snapshot) && statSync(snapshot).mtimeMs > generator) continue;
    const html = join(htmlDir, `${name}.html`);
    writeFileSync(html, make());
    const started = Date.now();
    // Chromium's own boxes and hit tests through the nested frames, for the
    // point-search and geometry tests. Frames nest 10 px apart (body margin
    // and border), so a 10 px grid puts every top-level grid point on a grid
    // point of each frame's document too, where the snapshot's answers are
    // exact.
    const geometry = name.startsWith('nested-frames') ? ['--geometry', join(out, 'expected'), '--grid', '10'] : [];
    execFileSync('node', [capture, '--root', htmlDir, html, '--out', snapshots, '--timeout', '120000', ...geometry],
                 { stdio: ['ignore', 'inherit', 'inherit'] });
    console.error(`${name}: captured in ${((Date.now() - started) / 1000).toFixed(1)} s`);
  }
  return 0;
}

process.exitCode = main(process.argv.slice(2));
