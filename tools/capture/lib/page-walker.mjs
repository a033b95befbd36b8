// The script that runs inside the captured page. walkPage is serialised with
// Function.prototype.toString and evaluated in the top document, so it must
// not refer to anything outside its own body. It returns a plain object that
// the capture tool writes as the snapshot (see FORMAT.md).

export function walkPage(options) {
  const { gridStep, innerTextLimit, keepAs } = options;
  // Window members that a blank page has too (not the page's own), and the
  // names of the page's global functions to call (a pattern), if any.
  const blankGlobals = new Set(options.blankGlobals ?? []);
  const callPattern = options.callGlobals ? new RegExp(options.callGlobals) : null;
  const GLOBAL_DEPTH = 3;   // levels of members recorded below a global (the global's own is 1)
  const MEMBER_LIMIT = 200; // members recorded per object

  // Scalar members read from every node that has them ('name' in node).
  const NODE_MEMBERS = ['nodeType', 'nodeName', 'nodeValue', 'data', 'target', 'name', 'publicId', 'systemId'];
  const DOCUMENT_MEMBERS = [
    'nodeType', 'nodeName', 'nodeValue', 'URL', 'documentURI', 'title', 'readyState', 'compatMode',
    'contentType', 'characterSet', 'documentElement', 'head', 'body', 'activeElement', 'defaultView',
    'all', 'forms', 'images', 'links', 'anchors',
  ];
  const ELEMENT_MEMBERS = [
    'nodeType', 'nodeName', 'nodeValue', 'tagName', 'localName', 'namespaceURI', 'id', 'name', 'className',
    'type', 'value', 'checked', 'selected', 'selectedIndex', 'index', 'size', 'multiple', 'href', 'src', 'useMap', 'hidden', 'disabled',
    'readOnly', 'cellIndex', 'rowIndex', 'text', 'title', 'alt', 'form', 'rows', 'cells', 'options',
    'contentDocument', 'contentWindow', 'offsetParent', 'offsetLeft', 'offsetTop', 'offsetWidth',
    'offsetHeight', 'clientLeft', 'clientTop', 'clientWidth', 'clientHeight', 'scrollLeft', 'scrollTop',
    'scrollWidth', 'scrollHeight', 'innerText',
  ];
  const LIST_MEMBERS = new Set(['all', 'forms', 'images', 'links', 'anchors', 'rows', 'cells', 'options']);

  const nodeIds = new Map();     // Node -> id (1-based, in snapshot order)
  const orderedNodes = [];       // [node, documentIndex]
  const documents = [];          // { doc, win, frameElement, parentDocument }
  const windowIndex = new Map(); // Window -> document index
  const frames = [];             // frame element relations

  // Pass 1: give every node of every reachable document an id. A document's
  // nodes are contiguous; the documents of its frames follow it, depth first,
  // in the DOM order of their frame elements.
  function collectDocument(doc, frameElement, parentDocument) {
    const index = documents.length;
    documents.push({ doc, win: doc.defaultView, frameElement, parentDocument });
    if (doc.defaultView) windowIndex.set(doc.defaultView, index);
    const frameElements = [];
    const walker = doc.createTreeWalker(doc, NodeFilter.SHOW_ALL);
    for (let node = walker.currentNode; node; node = walker.nextNode()) {
      nodeIds.set(node, orderedNodes.length + 1);
      orderedNodes.push([node, index]);
      if (node.nodeType === 1 && (node.localName === 'iframe' || node.localName === 'frame') &&
          node.namespaceURI === 'http://www.w3.org/1999/xhtml') {
        frameElements.push(node);
      }
    }
    for (const element of frameElements) {
      let child = null;
      let win = null;
      try { child = element.contentDocument; } catch { child = null; }
      try { win = element.contentWindow; } catch { win = null; }
      const relation = { element, ownerDocument: index, document: null, reachable: false, reason: null };
      frames.push(relation);
      if (child) {
        relation.document = collectDocument(child, element, index);
        relation.reachable = true;
      } else {
        relation.reason = win ? 'cross-origin' : 'no-window';
      }
    }
    return index;
  }
  collectDocument(document, null, null);

  function isWindow(value) {
    try {
      return value !== null && typeof value === 'object' && value.window === value;
    } catch {
      return false;
    }
  }

  function encode(value, member) {
    if (value === undefined) return undefined;
    if (value === null || typeof value === 'string' || typeof value === 'boolean') return value;
    if (typeof value === 'number') return Number.isFinite(value) ? value : { $number: String(value) };
    if (typeof value === 'function') return { $object: 'Function' };
    if (isWindow(value)) {
      return windowIndex.has(value) ? { $window: windowIndex.get(value) } : { $object: 'Window', crossOrigin: true };
    }
    if (value instanceof Node || (value && typeof value.nodeType === 'number' && nodeIds.has(value))) {
      return nodeIds.has(value) ? { $node: nodeIds.get(value) } : { $object: 'Node', outside: true };
    }
    // document.all is falsy and typeof 'undefined' by design, so test its length only.
    if (LIST_MEMBERS.has(member) && typeof value.length === 'number') {
      const ids = [];
      for (let i = 0; i < value.length; i++) ids.push(nodeIds.get(value[i]) ?? null);
      return { $list: ids };
    }
    const kind = Object.prototype.toString.call(value).slice(8, -1);
    if (kind === 'SVGAnimatedString') return { $object: kind, baseVal: value.baseVal };
    return { $object: kind };
  }

  function readMembers(node, members) {
    const props = {};
    for (const member of members) {
      if (!(member in node)) continue;
      let value;
      try {
        value = node[member];
      } catch (err) {
        props[member] = { $error: String(err && err.name) };
        continue;
      }
      const encoded = encode(value, member);
      if (encoded !== undefined) props[member] = encoded;
    }
    return props;
  }

  // Pass 2: describe every node.
  const nodes = orderedNodes.map(([node, docIndex]) => {
    const entry = { id: nodeIds.get(node), parent: node.parentNode ? nodeIds.get(node.parentNode) : null, doc: docIndex };
    if (node.nodeType === 9) {
      entry.props = readMembers(node, DOCUMENT_MEMBERS);
      return entry;
    }
    if (node.nodeType !== 1) {
      entry.props = readMembers(node, NODE_MEMBERS);
      return entry;
    }
    entry.props = readMembers(node, ELEMENT_MEMBERS);
    const innerText = entry.props.innerText;
    if (typeof innerText === 'string' && innerText.length > innerTextLimit) {
      entry.props.innerText = innerText.slice(0, innerTextLimit);
      entry.innerTextLength = innerText.length;
    }
    entry.attrs = Array.from(node.attributes, (a) => [a.name, a.value]);
    const r = node.getBoundingClientRect();
    entry.rect = { x: r.x, y: r.y, width: r.width, height: r.height };
    const win = documents[docIndex].win;
    if (win) {
      const s = win.getComputedStyle(node, '');
      entry.style = { display: s.display, visibility: s.visibility, position: s.position };
      // A frame's document starts inside the frame's border and padding.
      if (node.localName === 'iframe' || node.localName === 'frame') {
        entry.style['padding-left'] = s.paddingLeft;
        entry.style['padding-top'] = s.paddingTop;
      }
    }
    return entry;
  });

  function hitGrid(doc, win) {
    const offset = Math.floor(gridStep / 2);
    const columns = Math.max(0, Math.ceil((win.innerWidth - offset) / gridStep));
    const rows = Math.max(0, Math.ceil((win.innerHeight - offset) / gridStep));
    const ids = [];
    for (let row = 0; row < rows; row++) {
      for (let column = 0; column < columns; column++) {
        const hit = doc.elementFromPoint(offset + column * gridStep, offset + row * gridStep);
        ids.push(hit ? (nodeIds.get(hit) ?? null) : null);
      }
    }
    return { step: gridStep, offset, columns, rows, ids };
  }


  // The globals the page's own scripts defined: own members of the window
  // that a blank page does not have. Objects are recorded with their member
  // names and values down to GLOBAL_DEPTH levels (members inherited from
  // Object.prototype, Function.prototype and Array.prototype are left out,
  // as every object of their kind has them); functions are marked as
  // functions.
  function globalMemberNames(value) {
    const names = [];
    const seen = new Set(['constructor', '__proto__']);
    const stops = new Set([Object.prototype, Function.prototype, Array.prototype]);
    for (let o = value; o && !stops.has(o) && names.length < MEMBER_LIMIT; o = Object.getPrototypeOf(o)) {
      for (const name of Object.getOwnPropertyNames(o)) {
        if (seen.has(name)) continue;
        seen.add(name);
        names.push(name);
        if (names.length >= MEMBER_LIMIT) break;
      }
    }
    return names;
  }

  function encodeGlobal(value, depth) {
    if (value === undefined) return { $undefined: true };
    if (typeof value === 'function') return { $object: 'Function' };
    if (value === null || typeof value !== 'object') return encode(value, '');
    if (isWindow(value) || value instanceof Node) return encode(value, '');
    const record = { $object: Object.prototype.toString.call(value).slice(8, -1) };
    if (depth <= 1) return record;
    const members = {};
    for (const name of globalMemberNames(value)) {
      let member;
      try {
        member = value[name];
      } catch (err) {
        members[name] = { $error: String(err && err.name) };
        continue;
      }
      members[name] = encodeGlobal(member, depth - 1);
    }
    record.$members = members;
    return record;
  }

  function pageGlobals(win) {
    const globals = {};
    let names;
    try {
      names = Object.getOwnPropertyNames(win);
    } catch {
      return globals;
    }
    for (const name of names.filter((n) => !blankGlobals.has(n) && !/^\d+$/.test(n)).sort()) {
      let value;
      try {
        value = win[name];
      } catch (err) {
        globals[name] = { $error: String(err && err.name) };
        continue;
      }
      globals[name] = encodeGlobal(value, GLOBAL_DEPTH);
    }
    return globals;
  }

  // Answers of the page's global functions whose names match callPattern,
  // called with one argument: every element id of the document, and each id
  // without its first 2 or its last 5 characters.
  function globalCalls(doc, win, globals) {
    const calls = {};
    if (!callPattern) return calls;
    const candidates = [];
    const seen = new Set();
    for (const element of doc.querySelectorAll('[id]')) {
      const id = element.id;
      for (const candidate of [id, id.slice(2), id.slice(0, -5)]) {
        if (candidate && !seen.has(candidate)) {
          seen.add(candidate);
          candidates.push(candidate);
        }
      }
    }
    for (const name of Object.keys(globals)) {
      if (globals[name]?.$object !== 'Function' || !callPattern.test(name)) continue;
      const answers = {};
      for (const argument of candidates) {
        try {
          answers[argument] = encodeGlobal(win[name](argument), 1);
        } catch (err) {
          answers[argument] = { $error: String(err && err.name) };
        }
      }
      calls[name] = answers;
    }
    return calls;
  }

  const documentRecords = documents.map(({ doc, win, frameElement, parentDocument }, index) => ({
    index,
    node: nodeIds.get(doc),
    frameElement: frameElement ? nodeIds.get(frameElement) : null,
    parentDocument,
    window: win ? {
      innerWidth: win.innerWidth,
      innerHeight: win.innerHeight,
      scrollX: win.scrollX,
      scrollY: win.scrollY,
      devicePixelRatio: win.devicePixelRatio,
    } : null,
    hitGrid: win ? hitGrid(doc, win) : null,
  }));

  // After everything else was read: a called function may change the page.
  documents.forEach(({ doc, win }, index) => {
    if (!win) return;
    const globals = pageGlobals(win);
    if (Object.keys(globals).length === 0) return;
    documentRecords[index].globals = globals;
    const calls = globalCalls(doc, win, globals);
    if (Object.keys(calls).length) documentRecords[index].calls = calls;
  });

  // Leaves the node numbering in the page for the geometry pass, which runs
  // after everything above has been read.
  if (keepAs) {
    window[keepAs] = {
      nodeIds,
      nodes: orderedNodes.map(([node]) => node),
      documents: documents.map(({ doc, frameElement, parentDocument }) => ({ doc, frameElement, parentDocument })),
    };
  }

  return {
    documents: documentRecords,
    frames: frames.sort((a, b) => nodeIds.get(a.element) - nodeIds.get(b.element)).map((f) => ({
      element: nodeIds.get(f.element),
      ownerDocument: f.ownerDocument,
      document: f.document,
      reachable: f.reachable,
      reason: f.reason,
    })),
    nodes,
  };
}
