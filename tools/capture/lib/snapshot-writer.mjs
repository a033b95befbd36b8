// Serialises a snapshot deterministically: fixed key order at the top level,
// one document, frame relation or node per line so that a changed page shows
// up as a readable diff.

const TOP_LEVEL_KEYS = [
  'format', 'page', 'url', 'browser', 'viewport', 'scroll', 'focus', 'native', 'innerTextLimit',
  'documents', 'frames', 'nodes',
];
const LINE_PER_ITEM = new Set(['documents', 'frames', 'nodes']);

export function serializeSnapshot(snapshot) {
  const unknown = Object.keys(snapshot).filter((k) => !TOP_LEVEL_KEYS.includes(k));
  if (unknown.length) throw new Error(`unexpected snapshot keys: ${unknown.join(', ')}`);
  const lines = TOP_LEVEL_KEYS.filter((k) => k in snapshot).map((key) => {
    const value = snapshot[key];
    if (LINE_PER_ITEM.has(key)) {
      const items = value.map((item) => '    ' + JSON.stringify(item));
      return `  ${JSON.stringify(key)}: [\n${items.join(',\n')}\n  ]`;
    }
    return `  ${JSON.stringify(key)}: ${JSON.stringify(value)}`;
  });
  return `{\n${lines.join(',\n')}\n}\n`;
}
