// The geometry pass of a capture (FORMAT.md, "Geometry files"): for every
// element with an id, its border box on the top-level viewport as the
// browser's DevTools box model gives it, next to its own
// getBoundingClientRect; and where a click at given points of the top-level
// viewport lands, frames included. It runs after the snapshot walk, on the
// same loaded page, so both files describe one layout.

import { serializeByLines } from './snapshot-writer.mjs';
import { describeHit, listIdentified } from './geometry-probe.mjs';

export const GEOMETRY_FORMAT = 'page-geometry/1';

// Name of the top-window property under which walkPage leaves its node
// numbering for this pass; removed again at the end.
export const NODE_TABLE = '__pageCaptureNodes';

const OBJECT_GROUP = 'page-capture-geometry';

const TOP_LEVEL_KEYS = ['format', 'page', 'snapshot', 'browser', 'viewport', 'scroll', 'grid', 'elements', 'hits'];
const LINE_PER_ITEM = new Set(['elements', 'hits']);

export function serializeGeometry(geometry) {
  return serializeByLines(geometry, TOP_LEVEL_KEYS, LINE_PER_ITEM);
}

// The smallest axis-aligned box around a DOM.getBoxModel quad
// [x1, y1, x2, y2, x3, y3, x4, y4].
export function quadBounds(quad) {
  if (!Array.isArray(quad) || quad.length !== 8) throw new Error(`not a quad: ${JSON.stringify(quad)}`);
  const xs = [quad[0], quad[2], quad[4], quad[6]];
  const ys = [quad[1], quad[3], quad[5], quad[7]];
  const left = Math.min(...xs);
  const top = Math.min(...ys);
  return { left, top, width: Math.max(...xs) - left, height: Math.max(...ys) - top };
}

// Points on cell centres of a `step` grid over the viewport, row by row (the
// same points as a snapshot's hitGrid).
export function gridPoints(viewport, step) {
  const offset = Math.floor(step / 2);
  const columns = Math.max(0, Math.ceil((viewport.width - offset) / step));
  const rows = Math.max(0, Math.ceil((viewport.height - offset) / step));
  const points = [];
  for (let row = 0; row < rows; row++) {
    for (let column = 0; column < columns; column++) points.push({ x: offset + column * step, y: offset + row * step });
  }
  return { grid: { step, offset, columns, rows }, points };
}

// The whole-pixel point at the centre of a box, or null when the box is
// empty or that point lies outside the viewport.
export function centrePoint(box, viewport) {
  if (!box || !(box.width > 0) || !(box.height > 0)) return null;
  const x = Math.floor(box.left + box.width / 2);
  const y = Math.floor(box.top + box.height / 2);
  if (x < 0 || y < 0 || x >= viewport.width || y >= viewport.height) return null;
  return { x, y };
}

// send: a CDP command sender bound to the page's session; evaluate: runs an
// expression in the top document and returns its value. walkPage must have
// left its node numbering under NODE_TABLE.
export async function captureGeometry(send, evaluate, { viewport, gridStep }) {
  const listed = await evaluate(`(${listIdentified.toString()})(${JSON.stringify(NODE_TABLE)})`);
  const framePaths = new Map(listed.framePaths);
  // DOM.getNodeForLocation takes the point in the top document's
  // coordinates, not the viewport's: a scrolled top window shifts it.
  const [scrollX, scrollY] = await evaluate('[window.scrollX, window.scrollY]');
  if (!Number.isInteger(scrollX) || !Number.isInteger(scrollY)) {
    throw new Error(`the top window is scrolled by a fraction of a pixel (${scrollX}, ${scrollY})`);
  }

  async function borderBox(node) {
    const { result, exceptionDetails } = await send('Runtime.evaluate', {
      expression: `window[${JSON.stringify(NODE_TABLE)}].nodes[${node - 1}]`, objectGroup: OBJECT_GROUP,
    });
    if (exceptionDetails || !result.objectId) throw new Error(`node ${node} is not in the page's node table`);
    try {
      const { model } = await send('DOM.getBoxModel', { objectId: result.objectId });
      return quadBounds(model.border);
    } catch (err) {
      // Elements without a layout box (display: none, inside a frame that is
      // not rendered) have no box model.
      if (/Could not compute box model/.test(err.message)) return null;
      throw err;
    }
  }

  async function describe(backendNodeId) {
    const { object } = await send('DOM.resolveNode', { backendNodeId, objectGroup: OBJECT_GROUP });
    const { result, exceptionDetails } = await send('Runtime.callFunctionOn', {
      objectId: object.objectId,
      functionDeclaration: describeHit.toString(),
      arguments: [{ value: NODE_TABLE }],
      returnByValue: true,
    });
    if (exceptionDetails) throw new Error(`describing a hit failed: ${exceptionDetails.exception?.description ?? exceptionDetails.text}`);
    return result.value;
  }

  // Where a click at (x, y) of the top-level viewport lands: the deepest
  // node across frames, as the browser's own hit test finds it.
  async function hitAt({ x, y }) {
    let located;
    try {
      located = await send('DOM.getNodeForLocation', {
        x: x + scrollX, y: y + scrollY, includeUserAgentShadowDOM: false, ignorePointerEventsNone: false,
      });
    } catch (err) {
      if (/No node found/.test(err.message)) return { x, y, node: null, frame: null, id: null };
      throw err;
    }
    const hit = await describe(located.backendNodeId);
    let frame = hit.doc === null ? null : listed.documentPaths[hit.doc];
    if (hit.node === null && located.frameId) {
      // A document the snapshot does not hold: name the frame element that
      // holds it, when that element is in the snapshot.
      const owner = await send('DOM.getFrameOwner', { frameId: located.frameId }).catch(() => null);
      if (owner) {
        const holder = await describe(owner.backendNodeId);
        frame = holder.node === null ? null : framePaths.get(holder.node) ?? null;
      }
    }
    return { x, y, node: hit.node, frame, id: hit.id };
  }

  // The commands are independent reads of a page that no longer changes, so
  // they are all sent at once; answers keep their request order.
  try {
    const elements = await Promise.all(listed.elements.map(async (entry) => {
      const topViewport = await borderBox(entry.node);
      const centre = centrePoint(topViewport, viewport);
      return {
        doc: entry.doc,
        node: entry.node,
        frame: entry.frame,
        id: entry.id,
        topViewport,
        clientRect: entry.clientRect,
        centreHit: centre ? await hitAt(centre) : null,
      };
    }));
    const { grid, points } = gridPoints(viewport, gridStep);
    const hits = await Promise.all(points.map(hitAt));
    return { grid, elements, hits };
  } finally {
    await send('Runtime.releaseObjectGroup', { objectGroup: OBJECT_GROUP }).catch(() => {});
    await evaluate(`delete window[${JSON.stringify(NODE_TABLE)}]`).catch(() => {});
  }
}
