// One capture run: serve the root directory, start the browser, capture each
// page in a fresh tab, and always tear down server, browser and profile.

import fs from 'node:fs';
import path from 'node:path';
import { Browser, findBrowserBinary } from './browser.mjs';
import { startStaticServer } from './static-server.mjs';
import { walkPage } from './page-walker.mjs';
import { serializeSnapshot } from './snapshot-writer.mjs';
import { isUrl } from './options.mjs';
import { GEOMETRY_FORMAT, NODE_TABLE, captureGeometry, serializeGeometry } from './geometry.mjs';

// Pages are addressed under a fixed host that the browser maps to the local
// server, so URLs in snapshots do not depend on the port. A second host is
// mapped to the same server so that pages can hold genuinely cross-origin
// frames.
export const PAGE_ORIGIN = 'http://fixtures.test';
export const OTHER_ORIGIN = 'http://other.test';
export const SNAPSHOT_FORMAT = 'page-snapshot/1';

export function pageUrl(root, page) {
  if (isUrl(page)) return page;
  const relative = path.relative(root, page).split(path.sep).map(encodeURIComponent).join('/');
  return `${PAGE_ORIGIN}/${relative}`;
}

// Output name without extension: --name, or the page's path below the root
// (of an address: its host and path, with every other character made "_").
function outputName(options, page) {
  if (options.name) return options.name;
  if (isUrl(page)) return page.replace(/^https?:\/\//i, '').replace(/\.html?$/i, '').replace(/[^A-Za-z0-9._-]/g, '_');
  return path.relative(options.root, page).replace(/\.html?$/i, '');
}

export function outputPath(options, page) {
  return path.join(options.out, `${outputName(options, page)}.json`);
}

export function geometryPath(options, page) {
  return path.join(options.geometry, `${outputName(options, page)}.geometry.json`);
}

export async function captureAll(options, log = () => {}) {
  const server = await startStaticServer(options.root);
  let browser;
  const killOnExit = () => browser?.killNow();
  process.once('exit', killOnExit);
  try {
    const hostRules = ['fixtures.test', 'other.test']
      .map((host) => `MAP ${host} 127.0.0.1:${server.port}`).join(',');
    browser = await Browser.launch({
      binary: findBrowserBinary(options.browser),
      hostRules,
      timeoutMs: options.timeout,
    });
    const results = [];
    for (const page of options.pages) {
      const started = process.hrtime.bigint();
      const { snapshot, geometry } = await capturePage(browser, options, page);
      const text = serializeSnapshot(snapshot);
      const file = outputPath(options, page);
      fs.mkdirSync(path.dirname(file), { recursive: true });
      fs.writeFileSync(file, text);
      const result = { page, file, bytes: Buffer.byteLength(text), nodes: snapshot.nodes.length };
      if (geometry) {
        result.geometryFile = geometryPath(options, page);
        geometry.snapshot = path.relative(path.dirname(result.geometryFile), file).split(path.sep).join('/');
        const geometryText = serializeGeometry(geometry);
        fs.mkdirSync(path.dirname(result.geometryFile), { recursive: true });
        fs.writeFileSync(result.geometryFile, geometryText);
        result.geometryBytes = Buffer.byteLength(geometryText);
      }
      result.ms = Number(process.hrtime.bigint() - started) / 1e6;
      results.push(result);
      log(`${path.relative(process.cwd(), file)}: ${snapshot.nodes.length} nodes, ${result.bytes} bytes, ${result.ms.toFixed(0)} ms`);
      if (geometry) {
        log(`${path.relative(process.cwd(), result.geometryFile)}: ${geometry.elements.length} elements, ${geometry.hits.length} grid hits, ${result.geometryBytes} bytes`);
      }
    }
    return results;
  } finally {
    await browser?.close();
    process.removeListener('exit', killOnExit);
    await server.close();
  }
}

async function capturePage(browser, options, page) {
  const { cdp } = browser;
  const { targetId } = await cdp.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await cdp.send('Target.attachToTarget', { targetId, flatten: true });
  // A blocking dialog would freeze the page: accept every one.
  const stopDialogs = cdp.onEvent((method, params, s) => {
    if (method === 'Page.javascriptDialogOpening' && s === sessionId) {
      cdp.send('Page.handleJavaScriptDialog', { accept: true }, sessionId).catch(() => {});
    }
  });
  const send = (method, params) => cdp.send(method, params, sessionId);
  try {
    await send('Page.enable');
    await send('Emulation.setDeviceMetricsOverride', {
      width: options.width, height: options.height, deviceScaleFactor: 1, mobile: false,
    });
    await send('Emulation.setFocusEmulationEnabled', { enabled: true });
    // What a blank page's window has of its own: the rest of a page's
    // window members were defined by its scripts.
    const blankGlobals = await evaluate(send, 'Object.getOwnPropertyNames(window)');
    const url = pageUrl(options.root, page);
    const loaded = cdp.waitForEvent('Page.loadEventFired', sessionId);
    const navigation = await send('Page.navigate', { url });
    if (navigation.errorText) throw new Error(`loading ${url} failed: ${navigation.errorText}`);
    await loaded;
    await evaluate(send, settleExpression());
    if (options.focus) await evaluate(send, focusExpression(options.focus));
    if (options.scroll) {
      await evaluate(send, `window.scrollTo(${options.scroll[0]}, ${options.scroll[1]})`);
      await evaluate(send, settleExpression());
    }
    if (options.screenshot) {
      const { data } = await send('Page.captureScreenshot', { format: 'png' });
      fs.mkdirSync(path.dirname(path.resolve(options.screenshot)), { recursive: true });
      fs.writeFileSync(options.screenshot, Buffer.from(data, 'base64'));
    }
    const walkOptions = {
      gridStep: options.grid, innerTextLimit: options.innerTextLimit, blankGlobals, callGlobals: options.callGlobals,
    };
    if (options.geometry) walkOptions.keepAs = NODE_TABLE;
    const walked = await evaluate(send, `(${walkPage.toString()})(${JSON.stringify(walkOptions)})`);
    const version = browser.version;
    const pagePath = isUrl(page) ? page : path.relative(options.root, page).split(path.sep).join('/');
    const viewport = { width: options.width, height: options.height };
    const snapshot = {
      format: SNAPSHOT_FORMAT,
      page: pagePath,
      url,
      browser: version.product,
      viewport,
      scroll: options.scroll,
      focus: options.focus,
      native: { exclusionAttributeName: options.exclusionAttribute },
      innerTextLimit: options.innerTextLimit,
      ...walked,
    };
    if (!options.geometry) return { snapshot, geometry: null };
    const measured = await captureGeometry(send, (expression) => evaluate(send, expression),
      { viewport, gridStep: options.grid });
    const geometry = {
      format: GEOMETRY_FORMAT,
      page: pagePath,
      snapshot: null, // the snapshot file relative to this one, set where both are written
      browser: version.product,
      viewport,
      scroll: options.scroll,
      ...measured,
    };
    return { snapshot, geometry };
  } finally {
    stopDialogs();
    await cdp.send('Target.closeTarget', { targetId }).catch(() => {});
  }
}

// Waits for web fonts and two animation frames, so that layout is final.
function settleExpression() {
  return `document.fonts.ready.then(() => new Promise((resolve) =>
    requestAnimationFrame(() => requestAnimationFrame(() => resolve(true)))))`;
}

function focusExpression(selector) {
  return `(() => {
    const element = document.querySelector(${JSON.stringify(selector)});
    if (!element) throw new Error('no element matches ' + ${JSON.stringify(selector)});
    element.focus();
    return true;
  })()`;
}

async function evaluate(send, expression) {
  const { result, exceptionDetails } = await send('Runtime.evaluate', {
    expression, returnByValue: true, awaitPromise: true,
  });
  if (exceptionDetails) {
    const text = exceptionDetails.exception?.description ?? exceptionDetails.text;
    throw new Error(`script failed in page: ${text}`);
  }
  return result.value;
}
