// The one Chromium of the sidecar: started for the first tab, started again
// for a later tab once it has gone, and closed (with its profile) on exit.

import { Browser, findBrowserBinary } from '../../../tools/capture/lib/browser.mjs';

// CDP commands of our own that take longer than this mean the browser is
// stuck; requests have their own, shorter time-out.
const CDP_TIMEOUT_MS = 30000;

export class BrowserHost {
  #binary;
  #hostRules;
  #log;
  #current = null;     // { browser, gone: boolean, listeners: Set }
  #starting = null;    // promise of the entry being started
  #closing = false;

  constructor({ browser, hostRules, log }) {
    this.#binary = findBrowserBinary(browser);
    this.#hostRules = hostRules;
    this.#log = log;
  }

  // The running browser entry, starting one when there is none.
  async acquire() {
    if (this.#closing) throw new Error('the sidecar is closing');
    if (this.#current && !this.#current.gone) return this.#current;
    this.#starting ??= this.#start().finally(() => { this.#starting = null; });
    return this.#starting;
  }

  async #start() {
    const browser = await Browser.launch({ binary: this.#binary, hostRules: this.#hostRules, timeoutMs: CDP_TIMEOUT_MS });
    const entry = { browser, gone: false, listeners: new Set() };
    this.#log(`browser started: ${browser.version.product}`);
    browser.exited.then(() => {
      entry.gone = true;
      this.#log('browser went away');
      for (const listener of [...entry.listeners]) listener();
      entry.listeners.clear();
      // Removes what is left of its process group and its profile.
      browser.close().catch(() => {});
    });
    if (this.#closing) {
      await browser.close();
      throw new Error('the sidecar is closing');
    }
    this.#current = entry;
    return entry;
  }

  // Kills the browser's process group at once; resolves when it has exited.
  async kill(entry) {
    const exited = entry.browser.exited;
    entry.browser.killNow();
    await exited;
    await groupGone(entry.browser.pid);
  }

  async close() {
    this.#closing = true;
    await this.#starting?.catch(() => {});
    const browser = this.#current?.browser;
    if (!browser) return;
    await browser.close();
    await groupGone(browser.pid);
  }

  killNow() {
    this.#current?.browser.killNow();
  }
}

// Waits (at most two seconds) until no process of the group is left: the
// renderers and helpers of a killed browser take a moment to end.
async function groupGone(pgid) {
  if (!pgid) return;
  for (let waited = 0; waited < 2000; waited += 20) {
    try {
      process.kill(-pgid, 0);
    } catch {
      return;
    }
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}
