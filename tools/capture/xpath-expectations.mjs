#!/usr/bin/env node
// Records what Chromium's document.evaluate answers for the XPath cases of
// tests/xpath-chromium/cases.json on the fixture pages, into
// tests/xpath-chromium/expected/ (one file per page). With --check nothing is
// written: the committed files are compared with Chromium's answers now and
// every stale case is listed (exit status 1).
//
// Usage: xpath-expectations.mjs [--check] [--browser PATH]

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { evaluateOnPages } from './lib/xpath-session.mjs';
import { buildExpectationFile, pageCases, serializeExpectations, staleCases } from './lib/xpath-expectations.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '../..');
const pagesRoot = path.join(repo, 'tests/pages');
const casesFile = path.join(repo, 'tests/xpath-chromium/cases.json');
const expectedDir = path.join(repo, 'tests/xpath-chromium/expected');

export function expectationPath(page) {
  return path.join(expectedDir, page.replace(/\//g, '_').replace(/\.html?$/i, '.json'));
}

export async function recordExpectations({ browserBinary } = {}) {
  const cases = JSON.parse(fs.readFileSync(casesFile, 'utf8'));
  const items = cases.pages.map((entry) => pageCases(cases, entry));
  const jobs = cases.pages.map((entry, i) => ({
    page: entry.page, expressions: items[i].map((item) => item.expression),
  }));
  const answers = await evaluateOnPages({ root: pagesRoot, jobs, browserBinary });
  return cases.pages.map((entry, i) => buildExpectationFile(entry, answers[i].browser, items[i], answers[i].results));
}

async function main(argv) {
  const check = argv.includes('--check');
  const browserAt = argv.indexOf('--browser');
  const browserBinary = browserAt >= 0 ? argv[browserAt + 1] : undefined;
  const files = await recordExpectations({ browserBinary });
  let stale = 0;
  for (const file of files) {
    const target = expectationPath(file.page);
    if (!check) {
      fs.mkdirSync(path.dirname(target), { recursive: true });
      fs.writeFileSync(target, serializeExpectations(file));
      console.error(`${path.relative(process.cwd(), target)}: ${file.cases.length} cases`);
      continue;
    }
    const committed = fs.existsSync(target) ? JSON.parse(fs.readFileSync(target, 'utf8')) : { cases: [] };
    for (const c of staleCases(committed, file)) {
      ++stale;
      console.error(`${file.page}: ${c.expression}: committed ${JSON.stringify(c.committed)}, now ${JSON.stringify(c.now)}`);
    }
  }
  if (check) console.error(stale ? `${stale} stale cases` : 'expectations are current');
  return stale ? 1 : 0;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => process.exit(130));
  try {
    process.exitCode = await main(process.argv.slice(2));
  } catch (err) {
    console.error(`xpath expectations failed: ${err.message}`);
    process.exitCode = 2;
  }
}
