// Starts a headless Chromium with a fresh temporary profile and a DevTools
// pipe, and tears both down again. The browser runs in its own process group
// so that closing it also ends its zygote, renderer and utility children.

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { CdpPipe } from './cdp-pipe.mjs';

// Real binaries, not the /usr/bin shell wrappers: a wrapper that does not
// exec would survive as the process we track while the browser runs on.
const CANDIDATE_BINARIES = [
  '/usr/lib/chromium/chromium-headless-shell',
  '/usr/lib/chromium/chromium',
  '/usr/bin/chromium',
];

export function findBrowserBinary(explicit) {
  if (explicit) {
    if (!fs.existsSync(explicit)) throw new Error(`browser not found: ${explicit}`);
    return explicit;
  }
  const found = CANDIDATE_BINARIES.find((p) => fs.existsSync(p));
  if (!found) throw new Error('no Chromium found; install it with: apt-get install -y chromium-headless-shell chromium');
  return found;
}

export class Browser {
  #child;
  #profileDir;
  #stderrTail = '';
  #exited;

  static async launch({ binary, hostRules, timeoutMs }) {
    const browser = new Browser();
    await browser.#start(binary, hostRules, timeoutMs);
    return browser;
  }

  async #start(binary, hostRules, timeoutMs) {
    this.#profileDir = fs.mkdtempSync(path.join(os.tmpdir(), 'page-capture-'));
    const args = [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--no-default-browser-check',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--disable-extensions',
      '--disable-features=HttpsUpgrades,HttpsFirstBalancedModeAutoEnable,Translate,MediaRouter',
      '--mute-audio',
      `--user-data-dir=${this.#profileDir}`,
      `--host-resolver-rules=${hostRules}`,
      '--remote-debugging-pipe',
      'about:blank',
    ];
    const env = { ...process.env, XDG_CONFIG_HOME: this.#profileDir, XDG_CACHE_HOME: this.#profileDir };
    this.#child = spawn(binary, args, {
      stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'],
      detached: true,
      env,
    });
    this.#exited = new Promise((resolve) => this.#child.once('exit', resolve));
    this.#child.stderr.on('data', (d) => {
      this.#stderrTail = (this.#stderrTail + d.toString()).slice(-4000);
    });
    const spawnFailed = new Promise((_, reject) => this.#child.once('error', reject));
    this.cdp = new CdpPipe(this.#child.stdio[3], this.#child.stdio[4], timeoutMs);
    try {
      this.version = await Promise.race([this.cdp.send('Browser.getVersion'), spawnFailed]);
    } catch (err) {
      await this.close();
      throw new Error(`browser did not start: ${err.message}\n${this.#stderrTail}`);
    }
  }

  get stderrTail() { return this.#stderrTail; }

  // Resolves when the browser's main process has exited, however it ended.
  get exited() { return this.#exited; }

  // The browser's process id, which is also its process group's id.
  get pid() { return this.#child?.pid; }

  // Asks the browser to close, then kills its process group if it has not
  // gone within two seconds, and removes the temporary profile.
  async close() {
    const child = this.#child;
    if (child && child.exitCode === null && child.signalCode === null) {
      this.cdp?.send('Browser.close').catch(() => {});
      const gone = await Promise.race([this.#exited.then(() => true), delay(2000).then(() => false)]);
      if (!gone) {
        try { process.kill(-child.pid, 'SIGKILL'); } catch { /* already gone */ }
        await Promise.race([this.#exited, delay(2000)]);
      }
    }
    // Children of the group (renderers) may outlive the main process briefly.
    if (child) {
      try { process.kill(-child.pid, 'SIGKILL'); } catch { /* group is empty */ }
    }
    for (const stream of child ? child.stdio : []) stream?.destroy?.();
    if (this.#profileDir) {
      fs.rmSync(this.#profileDir, { recursive: true, force: true, maxRetries: 3 });
      this.#profileDir = undefined;
    }
  }

  // Synchronous last resort for process exit paths.
  killNow() {
    if (this.#child) {
      try { process.kill(-this.#child.pid, 'SIGKILL'); } catch { /* gone */ }
    }
    if (this.#profileDir) fs.rmSync(this.#profileDir, { recursive: true, force: true });
  }
}

function delay(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms).unref());
}
