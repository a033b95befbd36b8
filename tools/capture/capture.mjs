#!/usr/bin/env node
// Captures pages rendered by headless Chromium into JSON snapshots that
// record, for every DOM node, what a DOM-reading native object answers for
// it. The format is described in FORMAT.md next to this file.

import { parseArgs } from './lib/options.mjs';
import { captureAll } from './lib/session.mjs';

async function main() {
  let options;
  try {
    options = parseArgs(process.argv.slice(2));
  } catch (err) {
    console.error(err.message);
    return 2;
  }
  try {
    await captureAll(options, (line) => console.error(line));
    return 0;
  } catch (err) {
    console.error(`capture failed: ${err.message}`);
    return 1;
  }
}

for (const signal of ['SIGINT', 'SIGTERM']) {
  // Leaving through exit() runs the handler that kills the browser group.
  process.on(signal, () => process.exit(130));
}

process.exitCode = await main();
