// The XPath expectation files of tests/xpath-chromium: the rules that build
// them, and a fresh run of Chromium over every page that must answer exactly
// what the committed files say (so they cannot go stale silently). Needs
// Chromium (tools/capture/regenerate.sh installs it).

import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { buildExpectationFile, libraryAnswer, pageCases, serializeExpectations, staleCases }
  from '../lib/xpath-expectations.mjs';
import { expectationPath, recordExpectations } from '../xpath-expectations.mjs';

describe('expectation rules', () => {
  test('a page gets the common cases, then the common differences, then its own', () => {
    const cases = {
      common: ['count(//*)'],
      commonDifferences: [{ expression: 'name(/*)', transform: 'upper-case', reason: 'r' }],
    };
    const items = pageCases(cases, { page: 'p.html', extra: ['//A'], differences: [{ expression: '//a', library: { type: 'node-set', nodes: [] }, reason: 'q' }] });
    assert.deepEqual(items.map((i) => i.expression), ['count(//*)', 'name(/*)', '//A', '//a']);
    assert.throws(() => pageCases(cases, { page: 'p.html', extra: ['count(//*)'] }), /listed twice/);
  });

  test('a difference states the library answer, literally or by its rule', () => {
    assert.deepEqual(libraryAnswer({ transform: 'upper-case' }, { type: 'string', value: 'body' }),
      { type: 'string', value: 'BODY' });
    assert.deepEqual(libraryAnswer({ library: { type: 'number', value: '0' } }, { type: 'number', value: '18' }),
      { type: 'number', value: '0' });
    assert.throws(() => libraryAnswer({ expression: 'x', transform: 'upper-case' }, { type: 'number', value: '1' }));
    assert.throws(() => libraryAnswer({ expression: 'x', reason: 'no answer' }, { type: 'number', value: '1' }));
  });

  test('files round-trip and stale cases are listed', () => {
    const items = [{ expression: 'count(//A)' }, { expression: 'name(//BODY)', transform: 'upper-case', reason: 'r' }];
    const file = buildExpectationFile({ page: 'p.html', snapshot: 's.json' }, 'B/1', items,
      [{ type: 'number', value: '3' }, { type: 'string', value: 'body' }]);
    const reread = JSON.parse(serializeExpectations(file));
    assert.deepEqual(reread, file);
    assert.deepEqual(staleCases(reread, file), []);
    const changed = structuredClone(file);
    changed.cases[0].chromium.value = '4';
    changed.cases.push({ expression: 'new', chromium: { type: 'boolean', value: 'true' } });
    assert.deepEqual(staleCases(reread, changed).map((s) => s.expression), ['count(//A)', 'new']);
  });
});

test('the committed expectations are what Chromium answers now', { timeout: 120000 }, async () => {
  const files = await recordExpectations();
  assert.ok(files.length >= 5);
  for (const fresh of files) {
    const committed = JSON.parse(fs.readFileSync(expectationPath(fresh.page), 'utf8'));
    assert.deepEqual(staleCases(committed, fresh), [], `${fresh.page}: stale expectations; rerun tools/capture/xpath-expectations.mjs`);
    assert.ok(fresh.cases.every((c) => c.chromium.type !== 'error'), `${fresh.page}: Chromium refused a case`);
  }
  // The cases rely on Chromium matching upper-case HTML names.
  const links = files.find((f) => f.page === 'links-images.html');
  assert.ok(links.cases.find((c) => c.expression === '//A').chromium.nodes.length > 10);
});
