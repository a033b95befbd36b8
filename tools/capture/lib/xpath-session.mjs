// Loads pages in headless Chromium, as the capture does (same server, hosts,
// viewport and settling), and evaluates XPath expressions in each with the
// page's own document.evaluate (see xpath-probe.mjs).

import path from 'node:path';
import { Browser, findBrowserBinary } from './browser.mjs';
import { startStaticServer } from './static-server.mjs';
import { pageUrl } from './session.mjs';
import { probeXPath } from './xpath-probe.mjs';

// jobs: [{ page: path of the page file, expressions: [string] }]
// Returns [{ page, browser, results: [{ type, value | nodes }] }].
export async function evaluateOnPages({ root, jobs, browserBinary, timeoutMs = 30000,
  width = 1024, height = 768 }) {
  const server = await startStaticServer(root);
  let browser;
  const killOnExit = () => browser?.killNow();
  process.once('exit', killOnExit);
  try {
    const hostRules = ['fixtures.test', 'other.test']
      .map((host) => `MAP ${host} 127.0.0.1:${server.port}`).join(',');
    browser = await Browser.launch({ binary: findBrowserBinary(browserBinary), hostRules, timeoutMs });
    const out = [];
    for (const job of jobs) {
      const results = await evaluateOnPage(browser, pageUrl(root, path.resolve(root, job.page)), job.expressions,
        { width, height });
      out.push({ page: job.page, browser: browser.version.product, results });
    }
    return out;
  } finally {
    await browser?.close();
    process.removeListener('exit', killOnExit);
    await server.close();
  }
}

async function evaluateOnPage(browser, url, expressions, { width, height }) {
  const { cdp } = browser;
  const { targetId } = await cdp.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await cdp.send('Target.attachToTarget', { targetId, flatten: true });
  const send = (method, params) => cdp.send(method, params, sessionId);
  try {
    await send('Page.enable');
    await send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
    const loaded = cdp.waitForEvent('Page.loadEventFired', sessionId);
    const navigation = await send('Page.navigate', { url });
    if (navigation.errorText) throw new Error(`loading ${url} failed: ${navigation.errorText}`);
    await loaded;
    const { result, exceptionDetails } = await send('Runtime.evaluate', {
      expression: `(${probeXPath.toString()})(${JSON.stringify(expressions)})`,
      returnByValue: true,
    });
    if (exceptionDetails) throw new Error(`probe failed in ${url}: ${exceptionDetails.text}`);
    return result.value;
  } finally {
    await cdp.send('Target.closeTarget', { targetId }).catch(() => {});
  }
}
