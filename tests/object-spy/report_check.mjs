// Opens an inspect report in headless Chromium and checks it as a reader
// would use it: no script error, one box per shown object with a rectangle,
// and hovering a tree line highlights its box (and the other way round).
//   node report_check.mjs REPORT.html EXPECTED_BOXES
import path from 'node:path';
import { Browser, findBrowserBinary } from '../../tools/capture/lib/browser.mjs';

const [report, expectedBoxes] = process.argv.slice(2);
const browser = await Browser.launch({ binary: findBrowserBinary(null), hostRules: 'MAP * ~NOTFOUND', timeoutMs: 30000 });
const failures = [];
try {
  const { cdp } = browser;
  const { targetId } = await cdp.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await cdp.send('Target.attachToTarget', { targetId, flatten: true });
  const send = (method, params) => cdp.send(method, params, sessionId);
  const errors = [];
  cdp.onEvent((method, params, s) => {
    if (s === sessionId && method === 'Runtime.exceptionThrown') errors.push(params.exceptionDetails.text);
    if (s === sessionId && method === 'Runtime.consoleAPICalled' && params.type === 'error') errors.push('console error');
  });
  await send('Runtime.enable');
  await send('Page.enable');
  const loaded = cdp.waitForEvent('Page.loadEventFired', sessionId);
  await send('Page.navigate', { url: 'file://' + path.resolve(report) });
  await loaded;
  const evaluate = async (expression) =>
    (await send('Runtime.evaluate', { expression, returnByValue: true })).result.value;
  const boxes = await evaluate('document.querySelectorAll(".box").length');
  if (boxes !== Number(expectedBoxes)) failures.push(`${boxes} boxes, ${expectedBoxes} expected`);
  const imageShown = await evaluate('document.querySelector("#view img").naturalWidth > 0');
  if (!imageShown) failures.push('the screenshot is not shown');
  // Hover a line whose object has a box, then the box of another object.
  const hovered = await evaluate(`(() => {
    const box = document.querySelector('.box');
    const line = document.getElementById('line-' + box.dataset.object);
    line.dispatchEvent(new MouseEvent('mouseover', { bubbles: true }));
    const lit = box.classList.contains('hl');
    line.dispatchEvent(new MouseEvent('mouseout', { bubbles: true }));
    const off = !box.classList.contains('hl');
    const other = document.querySelectorAll('.box')[1];
    other.dispatchEvent(new MouseEvent('mouseover', { bubbles: true }));
    const lineLit = document.getElementById('line-' + other.dataset.object).classList.contains('hl');
    return lit && off && lineLit;
  })()`);
  if (!hovered) failures.push('hovering does not highlight the pair');
  if (errors.length) failures.push(`script errors: ${errors.join('; ')}`);
} finally {
  await browser.close();
}
for (const failure of failures) console.log(failure);
process.exit(failures.length ? 1 : 0);
