// Command-line parsing for capture.mjs.

import fs from 'node:fs';
import path from 'node:path';

export const USAGE = `usage: node tools/capture/capture.mjs [options] <page.html | dir | http(s)://URL> ... --out <dir>
  --width W --height H     viewport size in CSS pixels (default 1024x768)
  --scroll X,Y             scroll the top window to X,Y before capturing
  --focus SELECTOR         focus the first element matching SELECTOR in the top document
  --root DIR               directory served as the site root (default: directory of the first page)
  --name NAME              output name (without .json) when exactly one page is captured
  --geometry DIR           also write each page's element boxes on the top-level viewport and
                           its hit tests to DIR/<name>.geometry.json
  --screenshot FILE        also write a PNG of the viewport (one page only)
  --grid STEP              spacing of the elementFromPoint grid in pixels (default 50)
  --inner-text-limit N     innerText longer than N characters is truncated (default 4096)
  --exclusion-attribute A  attribute name the native object reports as the exclusion attribute
  --call-globals PATTERN   call the page's global functions whose names match PATTERN (a
                           regular expression) with each element id and record the answers
  --timeout MS             time-out for every wait (default 30000)
  --browser PATH           browser binary (default: headless shell, else chromium)`;

const DEFAULTS = {
  width: 1024,
  height: 768,
  scroll: null,
  focus: null,
  root: null,
  name: null,
  geometry: null,
  screenshot: null,
  grid: 50,
  innerTextLimit: 4096,
  exclusionAttribute: 'data-vxcr-exclude',
  timeout: 30000,
  browser: null,
  callGlobals: null,
  out: null,
};

function positiveInt(flag, text) {
  const n = Number(text);
  if (!Number.isInteger(n) || n <= 0) throw new Error(`${flag} needs a positive integer, got "${text}"`);
  return n;
}

export function parseArgs(argv) {
  const options = { ...DEFAULTS, inputs: [] };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    if (!arg.startsWith('--')) {
      options.inputs.push(arg);
      continue;
    }
    if (arg === '--help') throw new Error(USAGE);
    const value = argv[++i];
    if (value === undefined) throw new Error(`${arg} needs a value`);
    switch (arg) {
      case '--width': options.width = positiveInt(arg, value); break;
      case '--height': options.height = positiveInt(arg, value); break;
      case '--grid': options.grid = positiveInt(arg, value); break;
      case '--inner-text-limit': options.innerTextLimit = positiveInt(arg, value); break;
      case '--timeout': options.timeout = positiveInt(arg, value); break;
      case '--scroll': {
        const m = /^(\d+),(\d+)$/.exec(value);
        if (!m) throw new Error(`--scroll needs X,Y, got "${value}"`);
        options.scroll = [Number(m[1]), Number(m[2])];
        break;
      }
      case '--focus': options.focus = value; break;
      case '--root': options.root = value; break;
      case '--name': options.name = value; break;
      case '--geometry': options.geometry = value; break;
      case '--screenshot': options.screenshot = value; break;
      case '--exclusion-attribute': options.exclusionAttribute = value; break;
      case '--browser': options.browser = value; break;
      case '--call-globals': {
        try {
          new RegExp(value);
        } catch {
          throw new Error(`--call-globals needs a regular expression, got "${value}"`);
        }
        options.callGlobals = value;
        break;
      }
      case '--out': options.out = value; break;
      default: throw new Error(`unknown option ${arg}\n${USAGE}`);
    }
  }
  if (!options.out) throw new Error(`--out is required\n${USAGE}`);
  options.pages = expandInputs(options.inputs);
  if (options.pages.length === 0) throw new Error(`no pages given\n${USAGE}`);
  if ((options.name || options.screenshot) && options.pages.length !== 1) {
    throw new Error('--name and --screenshot need exactly one page');
  }
  const files = options.pages.filter((page) => !isUrl(page));
  options.root = path.resolve(options.root ?? (files.length ? path.dirname(files[0]) : '.'));
  for (const page of files) {
    if (!page.startsWith(options.root + path.sep)) throw new Error(`${page} is outside the served root ${options.root}`);
  }
  return options;
}

// A page given by its address is loaded from there, not from the served root.
export function isUrl(input) {
  return /^https?:\/\//i.test(input);
}

// Files are taken as given; a directory contributes its own *.html files
// (not those of its subdirectories), sorted by name.
function expandInputs(inputs) {
  const pages = [];
  for (const input of inputs) {
    if (isUrl(input)) {
      pages.push(input);
      continue;
    }
    const full = path.resolve(input);
    const stat = fs.statSync(full, { throwIfNoEntry: false });
    if (!stat) throw new Error(`no such file or directory: ${input}`);
    if (stat.isDirectory()) {
      const names = fs.readdirSync(full).filter((n) => /\.html?$/i.test(n)).sort();
      for (const name of names) pages.push(path.join(full, name));
    } else {
      pages.push(full);
    }
  }
  return pages;
}
