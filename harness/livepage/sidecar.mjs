// The live-page sidecar: serves the page directories, keeps one headless
// Chromium and gives each TCP connection on 127.0.0.1 a tab of it. See
// README.md in this folder for the protocol.

import net from 'node:net';
import { startStaticServer } from '../../tools/capture/lib/static-server.mjs';
import { BrowserHost } from './lib/browser-host.mjs';
import { parseArgs, USAGE } from './lib/options.mjs';
import { Tab } from './lib/tab.mjs';

const log = (text) => process.stderr.write(`sidecar: ${text}\n`);

let options;
try {
  options = parseArgs(process.argv.slice(2));
} catch (err) {
  process.stderr.write(`${err.message}\n${USAGE}\n`);
  process.exit(2);
}

const tabs = new Set();
let host = null;
let files = null;
let tcp = null;
let closing = null;

// Ends everything: connections, the browser with its profile, the servers.
function shutdown(reason, code = 0) {
  closing ??= (async () => {
    log(`closing (${reason})`);
    const watchdog = setTimeout(() => {
      host?.killNow();
      process.exit(1);
    }, 8000);
    tcp?.close();
    for (const tab of tabs) tab.destroy();
    try {
      await host?.close();
    } catch (err) {
      log(`closing the browser: ${err.message}`);
      host?.killNow();
    }
    await files?.close();
    clearTimeout(watchdog);
    process.exit(code);
  })();
  return closing;
}

// Last resort on any exit path: the browser's process group must not stay.
process.on('exit', () => host?.killNow());
process.on('SIGTERM', () => shutdown('SIGTERM'));
process.on('SIGINT', () => shutdown('SIGINT'));
process.on('uncaughtException', (err) => {
  log(`internal error: ${err.stack ?? err}`);
  shutdown('internal error', 1);
});
process.stdin.on('end', () => shutdown('standard input closed'));
process.stdin.on('close', () => shutdown('standard input closed'));
process.stdin.on('error', () => shutdown('standard input failed'));
process.stdin.resume();

try {
  files = await startStaticServer(options.roots);
  const hostRules = ['fixtures.test', 'other.test'].map((name) => `MAP ${name} 127.0.0.1:${files.port}`).join(',');
  host = new BrowserHost({ browser: options.browser, hostRules, log });
  tcp = net.createServer((socket) => {
    if (closing) return socket.destroy();
    const tab = new Tab(socket, { host, log, requestTimeoutMs: options.requestTimeoutMs });
    tabs.add(tab);
    socket.on('close', () => tabs.delete(tab));
    tab.start();
  });
  await new Promise((resolve, reject) => {
    tcp.once('error', reject);
    tcp.listen(options.port, '127.0.0.1', resolve);
  });
  tcp.on('error', (err) => log(`server: ${err.message}`));
  process.stdout.write(`listening ${tcp.address().port}\n`);
} catch (err) {
  log(err.message);
  await shutdown('start failed', 2);
}
