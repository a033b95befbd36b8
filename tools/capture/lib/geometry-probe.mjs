// Scripts that run inside the captured page for the geometry pass. Each is
// serialised with Function.prototype.toString, so none may refer to anything
// outside its own body. They read the node numbering that walkPage left in
// the top window under the name `keep`.

// Evaluated in the top document. Lists every element whose id attribute is
// not empty, in snapshot node order, with its getBoundingClientRect, and
// names every captured document and every frame element by its frame path.
export function listIdentified(keep) {
  const table = window[keep];
  const XHTML = 'http://www.w3.org/1999/xhtml';
  const docIndex = new Map(table.documents.map((d, index) => [d.doc, index]));

  // A frame element is named by its id, or by [k] when it has none: its
  // position among the FRAME and IFRAME elements of its document.
  const framesOf = new Map();
  function frameComponent(element) {
    const id = element.getAttribute('id');
    if (id) return id;
    const doc = element.ownerDocument;
    if (!framesOf.has(doc)) {
      framesOf.set(doc, Array.from(doc.getElementsByTagName('*')).filter((e) =>
        (e.localName === 'iframe' || e.localName === 'frame') && e.namespaceURI === XHTML));
    }
    return `[${framesOf.get(doc).indexOf(element)}]`;
  }

  const documentPaths = [];
  table.documents.forEach(({ frameElement, parentDocument }, index) => {
    if (frameElement === null) {
      documentPaths[index] = '';
      return;
    }
    const above = documentPaths[parentDocument];
    documentPaths[index] = (above ? above + '!' : '') + frameComponent(frameElement);
  });

  // Also frames whose documents are out of reach, for hits inside them.
  const framePaths = [];
  const elements = [];
  table.nodes.forEach((node, k) => {
    if (node.nodeType !== 1) return;
    const doc = docIndex.get(node.ownerDocument);
    if ((node.localName === 'iframe' || node.localName === 'frame') && node.namespaceURI === XHTML) {
      const above = documentPaths[doc];
      framePaths.push([k + 1, (above ? above + '!' : '') + frameComponent(node)]);
    }
    const id = node.getAttribute('id');
    if (!id) return;
    const r = node.getBoundingClientRect();
    elements.push({
      doc,
      node: k + 1,
      frame: documentPaths[doc],
      id,
      clientRect: { left: r.left, top: r.top, width: r.width, height: r.height },
    });
  });
  return { documentPaths, framePaths, elements };
}

// Called on a node that a hit test answered, in that node's own window.
// Answers its snapshot node id and document index (null when its document is
// not in the snapshot, e.g. a cross-origin frame's) and the id of the nearest
// element at or above it in its own document that has a non-empty id.
export function describeHit(keep) {
  let named = this;
  while (named && !(named.nodeType === 1 && named.getAttribute('id'))) named = named.parentNode;
  let table = null;
  try {
    table = window.top[keep] ?? null;
  } catch {
    table = null; // the top window is of another origin
  }
  const node = table ? table.nodeIds.get(this) ?? null : null;
  const doc = node === null ? null : table.documents.findIndex((d) => d.doc === this.ownerDocument);
  return { node, doc, id: named ? named.getAttribute('id') : null };
}
