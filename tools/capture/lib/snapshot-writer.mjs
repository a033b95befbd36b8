// Serialises a snapshot deterministically: fixed key order at the top level,
// one document, frame relation or node per line so that a changed page shows
// up as a readable diff.

const TOP_LEVEL_KEYS = [
  'format', 'page', 'url', 'browser', 'viewport', 'scroll', 'focus', 'native', 'innerTextLimit',
  'documents', 'frames', 'nodes',
];
const LINE_PER_ITEM = new Set(['documents', 'frames', 'nodes']);

export function serializeSnapshot(snapshot) {
  return serializeByLines(snapshot, TOP_LEVEL_KEYS, LINE_PER_ITEM);
}

// Writes the keys of `value` in the order of `keys` (refusing any other key),
// the arrays named in `linePerItem` with one item per line.
export function serializeByLines(value, keys, linePerItem) {
  const unknown = Object.keys(value).filter((k) => !keys.includes(k));
  if (unknown.length) throw new Error(`unexpected keys: ${unknown.join(', ')}`);
  const lines = keys.filter((k) => k in value).map((key) => {
    const item = value[key];
    if (linePerItem.has(key)) {
      const items = item.map((entry) => '    ' + JSON.stringify(entry));
      return `  ${JSON.stringify(key)}: [\n${items.join(',\n')}\n  ]`;
    }
    return `  ${JSON.stringify(key)}: ${JSON.stringify(item)}`;
  });
  return `{\n${lines.join(',\n')}\n}\n`;
}
