// The XPath expectation files: what Chromium's document.evaluate answers for
// each case of tests/xpath-chromium/cases.json on each page, and, for the
// listed deliberate differences, the answer the library gives instead with
// the reason.

export const EXPECTATIONS_FORMAT = 'xpath-expectations/1';

// The expressions of one page entry, in file order: common, common
// differences, the page's own, the page's differences.
export function pageCases(cases, entry) {
  const list = [];
  for (const expression of cases.common ?? []) list.push({ expression });
  for (const difference of cases.commonDifferences ?? []) list.push(difference);
  for (const expression of entry.extra ?? []) list.push({ expression });
  for (const difference of entry.differences ?? []) list.push(difference);
  const seen = new Set();
  for (const item of list) {
    if (seen.has(item.expression)) throw new Error(`${entry.page}: expression listed twice: ${item.expression}`);
    seen.add(item.expression);
  }
  return list;
}

// The library's answer for a difference, derived from Chromium's where the
// difference is a rule.
export function libraryAnswer(item, chromium) {
  if (item.library) return item.library;
  if (item.transform === 'upper-case') {
    if (chromium.type !== 'string') throw new Error(`upper-case applies to strings: ${item.expression}`);
    return { type: 'string', value: chromium.value.toUpperCase() };
  }
  throw new Error(`difference without library answer: ${item.expression}`);
}

export function buildExpectationFile(entry, browser, items, results) {
  return {
    format: EXPECTATIONS_FORMAT,
    page: entry.page,
    snapshot: entry.snapshot,
    browser,
    cases: items.map((item, i) => {
      const out = { expression: item.expression, chromium: results[i] };
      if (item.library || item.transform) {
        out.library = libraryAnswer(item, results[i]);
        out.reason = item.reason;
      }
      return out;
    }),
  };
}

export function serializeExpectations(file) {
  // One case per line keeps diffs of regenerated files readable.
  const head = { ...file };
  delete head.cases;
  const lines = file.cases.map((c) => '    ' + JSON.stringify(c));
  const headText = JSON.stringify(head, null, 2).replace(/\n}$/, '');
  return `${headText},\n  "cases": [\n${lines.join(',\n')}\n  ]\n}\n`;
}

// Cases whose Chromium answer differs between two files of the same page.
export function staleCases(committed, fresh) {
  const stale = [];
  const byExpression = new Map(fresh.cases.map((c) => [c.expression, c]));
  for (const c of committed.cases) {
    const now = byExpression.get(c.expression);
    if (!now) stale.push({ expression: c.expression, committed: c.chromium, now: 'not evaluated' });
    else if (JSON.stringify(now.chromium) !== JSON.stringify(c.chromium) ||
             JSON.stringify(now.library) !== JSON.stringify(c.library)) {
      stale.push({ expression: c.expression, committed: c.chromium, now: now.chromium });
    }
  }
  for (const c of fresh.cases) {
    if (!committed.cases.some((old) => old.expression === c.expression)) {
      stale.push({ expression: c.expression, committed: 'missing', now: c.chromium });
    }
  }
  return stale;
}
