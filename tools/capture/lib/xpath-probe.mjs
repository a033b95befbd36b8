// The script that evaluates XPath expressions with the page's own
// document.evaluate. probeXPath is serialised with Function.prototype.toString
// and run in the top document, so it must not refer to anything outside its
// own body. Nodes are named by their snapshot node ids (numbered exactly as
// pass 1 of page-walker.mjs numbers them), attributes by their owner's id and
// their name: "#12", "#12@href". Numbers are given in XPath's string form.

export function probeXPath(expressions) {
  const ids = new Map();
  let next = 1;
  // Same order as the page walker: each document's nodes in tree order, then
  // the documents of its frames, depth first, in frame element order.
  function collect(doc) {
    const frameElements = [];
    const walker = doc.createTreeWalker(doc, NodeFilter.SHOW_ALL);
    for (let node = walker.currentNode; node; node = walker.nextNode()) {
      ids.set(node, next++);
      if (node.nodeType === 1 && (node.localName === 'iframe' || node.localName === 'frame') &&
          node.namespaceURI === 'http://www.w3.org/1999/xhtml') {
        frameElements.push(node);
      }
    }
    for (const element of frameElements) {
      let child = null;
      try { child = element.contentDocument; } catch { child = null; }
      if (child) collect(child);
    }
  }
  collect(document);

  function xpathNumber(n) {
    if (Number.isNaN(n)) return 'NaN';
    if (n === Infinity) return 'Infinity';
    if (n === -Infinity) return '-Infinity';
    if (n === 0) return '0';
    const text = String(n);
    const match = /^(-?)(\d)(?:\.(\d+))?e([+-]\d+)$/.exec(text);
    if (!match) return text;
    // Spell the exponent form out: XPath numbers have no exponent.
    const [, sign, lead, fraction = '', exponentText] = match;
    const digits = lead + fraction;
    const point = 1 + Number(exponentText);
    if (point <= 0) return `${sign}0.${'0'.repeat(-point)}${digits}`;
    if (point >= digits.length) return sign + digits + '0'.repeat(point - digits.length);
    return `${sign}${digits.slice(0, point)}.${digits.slice(point)}`;
  }

  function nodeName(node) {
    if (node.nodeType === 2) return `#${ids.get(node.ownerElement)}@${node.name}`;
    const id = ids.get(node);
    return id === undefined ? '#?' : `#${id}`;
  }

  return expressions.map((expression) => {
    try {
      const any = document.evaluate(expression, document, null, XPathResult.ANY_TYPE, null);
      switch (any.resultType) {
        case XPathResult.NUMBER_TYPE: return { type: 'number', value: xpathNumber(any.numberValue) };
        case XPathResult.STRING_TYPE: return { type: 'string', value: any.stringValue };
        case XPathResult.BOOLEAN_TYPE: return { type: 'boolean', value: String(any.booleanValue) };
        default: {
          const ordered = document.evaluate(expression, document, null,
            XPathResult.ORDERED_NODE_SNAPSHOT_TYPE, null);
          const nodes = [];
          for (let i = 0; i < ordered.snapshotLength; i++) nodes.push(nodeName(ordered.snapshotItem(i)));
          return { type: 'node-set', nodes };
        }
      }
    } catch (err) {
      return { type: 'error', value: String(err.name) };
    }
  });
}
