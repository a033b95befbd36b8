// One client connection: one browser tab, its page registry, its requests
// (answered one after another, in the order they came) and its events.

import crypto from 'node:crypto';
import { installRegistry } from './registry.mjs';
import { messageLine, parseOpen } from './messages.mjs';

const BINDING = '__vxLiveEvent';
const REGISTRY_SOURCE = installRegistry.toString();
const RUN_SOURCE = 'function (ops, slice) { return this.run(ops, slice); }';
const SLICE_SOURCE = 'function (from) { return this.slice(from); }';
// Answers come from the page in slices of this many characters: Chromium
// returns a large string several times slower per character than a run of
// strings of about this size.
const ANSWER_SLICE = 32 * 1024;
const MAX_LINE = 64 * 1024 * 1024;
const SETTLE_MS = 3000;
const CRASH_WAIT_MS = 5000;

// Texts of CDP errors that mean the registry's document has gone (the page
// navigated): the batch did not run and can run on the new registry.
const STALE_REGISTRY = /Cannot find context|Could not find object|Execution context was destroyed|Inspected target navigated/i;

const KEYS = {
  Enter: { code: 'Enter', keyCode: 13, text: '\r' },
  Tab: { code: 'Tab', keyCode: 9, text: '\t' },
  Escape: { code: 'Escape', keyCode: 27 },
  Backspace: { code: 'Backspace', keyCode: 8 },
  Delete: { code: 'Delete', keyCode: 46 },
  ArrowLeft: { code: 'ArrowLeft', keyCode: 37 },
  ArrowUp: { code: 'ArrowUp', keyCode: 38 },
  ArrowRight: { code: 'ArrowRight', keyCode: 39 },
  ArrowDown: { code: 'ArrowDown', keyCode: 40 },
  Home: { code: 'Home', keyCode: 36 },
  End: { code: 'End', keyCode: 35 },
  PageUp: { code: 'PageUp', keyCode: 33 },
  PageDown: { code: 'PageDown', keyCode: 34 },
  ' ': { code: 'Space', keyCode: 32, text: ' ' },
};

class Failure extends Error {}

function deferred() {
  let resolve;
  let reject;
  const promise = new Promise((res, rej) => { resolve = res; reject = rej; });
  promise.catch(() => {});
  return { promise, resolve, reject };
}

function delay(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

export class Tab {
  #socket;
  #host;
  #log;
  #requestTimeoutMs;
  #input = '';
  #queue = Promise.resolve();
  #opened = false;
  #closed = false;
  #settings = null;
  #entry = null;          // the browser this tab lives in
  #cdp = null;
  #targetId = null;
  #sessionId = null;
  #mainFrameId = null;
  #removeEvents = null;
  #token = crypto.randomBytes(12).toString('hex');
  #nextHandle = 1;
  #contextId = null;
  #registry = null;       // { contextId, objectId }
  #registryWait = deferred();
  #loadWaiters = new Set();
  #broken = deferred();   // rejects once the page crashed or the browser went
  #crashed = false;
  #gone = false;
  #crashWaiters = new Set();
  #onGoneListener = () => this.#onGone();
  #late = null;           // a request that timed out and may still answer

  constructor(socket, { host, log, requestTimeoutMs }) {
    this.#socket = socket;
    this.#host = host;
    this.#log = log;
    this.#requestTimeoutMs = requestTimeoutMs;
  }

  start() {
    const socket = this.#socket;
    socket.setEncoding('utf8');
    socket.setNoDelay(true);
    socket.on('data', (chunk) => this.#onData(chunk));
    socket.on('error', () => {});
    socket.on('close', () => this.#onClose());
  }

  // Ends the connection (the sidecar is closing).
  destroy() {
    this.#socket.destroy();
  }

  #onData(chunk) {
    this.#input += chunk;
    let newline;
    while ((newline = this.#input.indexOf('\n')) !== -1) {
      const line = this.#input.slice(0, newline).replace(/\r$/, '');
      this.#input = this.#input.slice(newline + 1);
      if (line.trim() === '') continue;
      this.#queue = this.#queue.then(() => this.#handleLine(line)).catch((err) => {
        this.#log(`tab: ${err.stack ?? err}`);
      });
    }
    if (this.#input.length > MAX_LINE) {
      this.#send({ id: null, error: 'line too long' });
      this.#input = '';
      this.#socket.end();
    }
  }

  #send(message) {
    if (!this.#closed && !this.#socket.destroyed) this.#socket.write(messageLine(message));
  }

  // Sends an answer made of the page's slices, with the request's id put in
  // front, as one line: the slices go out as they are, without joining them
  // into one large string first.
  #sendAnswer(id, slices) {
    if (this.#closed || this.#socket.destroyed) return;
    const socket = this.#socket;
    socket.cork();
    socket.write(`{"id":${JSON.stringify(id)},${slices[0].slice(1)}`);
    for (let i = 1; i < slices.length; i++) socket.write(slices[i]);
    socket.write('\n');
    socket.uncork();
  }

  async #handleLine(line) {
    if (this.#closed) return;
    let message;
    try {
      message = JSON.parse(line);
    } catch {
      if (!this.#opened) return this.#refuse('the first line is not JSON');
      return this.#send({ id: null, error: 'not JSON' });
    }
    if (!this.#opened) return this.#open(message);
    if (message === null || typeof message !== 'object' || Array.isArray(message)) {
      return this.#send({ id: null, error: 'a message is a JSON object' });
    }
    const id = message.id ?? null;
    if ('ops' in message) return this.#request(id, message.ops);
    if ('control' in message) return this.#control(id, message);
    return this.#send({ id, error: 'neither a request (ops) nor a control message' });
  }

  #refuse(error) {
    this.#send({ ok: false, error });
    this.#socket.end();
    this.#closed = true;
    this.#teardown();
  }

  // ---- Opening -------------------------------------------------------------

  async #open(message) {
    let settings;
    try {
      settings = parseOpen(message);
    } catch (err) {
      return this.#refuse(err.message);
    }
    this.#settings = settings;
    try {
      this.#entry = await this.#host.acquire();
      this.#cdp = this.#entry.browser.cdp;
      this.#entry.listeners.add(this.#onGoneListener);
      const { targetId } = await this.#cdp.send('Target.createTarget', { url: 'about:blank' });
      this.#targetId = targetId;
      if (this.#closed) return this.#teardown();
      const { sessionId } = await this.#cdp.send('Target.attachToTarget', { targetId, flatten: true });
      this.#sessionId = sessionId;
      this.#removeEvents = this.#cdp.onEvent((method, params, s) => {
        if (s === sessionId) this.#onEvent(method, params);
      });
      await this.#cdpSend('Page.enable');
      await this.#cdpSend('Inspector.enable');
      const { frameTree } = await this.#cdpSend('Page.getFrameTree');
      this.#mainFrameId = frameTree.frame.id;
      await this.#cdpSend('Runtime.addBinding', { name: BINDING });
      await this.#cdpSend('Runtime.enable');
      await this.#cdpSend('Emulation.setDeviceMetricsOverride', {
        width: settings.width, height: settings.height, deviceScaleFactor: 1, mobile: false,
      });
      await this.#cdpSend('Emulation.setFocusEmulationEnabled', { enabled: true });
      const loaded = await this.#load(settings.url);
      const url = await this.#evaluate('document.URL');
      this.#opened = true;
      this.#send({ ok: true, loaded, url });
    } catch (err) {
      this.#log(`open ${settings.url}: ${err.message}`);
      this.#refuse(err.message);
    }
  }

  // Navigates the tab and waits for the load event (at most loadTimeoutMs),
  // two animation frames and the new document's registry. Resolves with
  // whether the load event came.
  async #load(url) {
    const load = this.#waitForLoad(this.#settings.loadTimeoutMs);
    const navigation = await Promise.race([
      this.#cdpSend('Page.navigate', { url }),
      load.then(() => null),
      this.#broken.promise,
    ]);
    if (navigation?.errorText) {
      load.cancel();
      throw new Failure(`loading ${url} failed: ${navigation.errorText}`);
    }
    const loaded = await load;
    await Promise.race([this.#evaluate(`document.fonts.ready.then(() => new Promise((resolve) =>
      requestAnimationFrame(() => requestAnimationFrame(() => resolve(true)))))`, true).catch(() => {}),
    delay(SETTLE_MS)]);
    await this.#currentRegistry(Date.now() + this.#requestTimeoutMs);
    return loaded;
  }

  // A promise of true when the top document fires its load event within
  // ms, else false; cancel() ends the wait.
  #waitForLoad(ms) {
    let finish;
    const promise = new Promise((resolve) => {
      const timer = setTimeout(() => finish(false), ms);
      finish = (value) => {
        clearTimeout(timer);
        this.#loadWaiters.delete(finish);
        resolve(value);
      };
      this.#loadWaiters.add(finish);
    });
    promise.cancel = () => finish(false);
    return promise;
  }

  // ---- Events --------------------------------------------------------------

  #onEvent(method, params) {
    switch (method) {
      case 'Page.javascriptDialogOpening':
        // An open dialog blocks the page (and a request's evaluate that
        // opened it): accept it at once.
        this.#cdpSend('Page.handleJavaScriptDialog', { accept: true, promptText: params.defaultPrompt ?? '' })
          .catch((err) => this.#log(`dialog: ${err.message}`));
        this.#send({ event: 'dialog', type: params.type, message: params.message });
        break;
      case 'Page.loadEventFired':
        for (const finish of [...this.#loadWaiters]) finish(true);
        break;
      case 'Runtime.bindingCalled':
        this.#onBinding(params);
        break;
      case 'Runtime.executionContextCreated': {
        const { context } = params;
        if (context.auxData?.isDefault && context.auxData.frameId === this.#mainFrameId) this.#install(context.id);
        break;
      }
      case 'Runtime.executionContextDestroyed':
        if (params.executionContextId === this.#contextId) this.#dropRegistry();
        break;
      case 'Runtime.executionContextsCleared':
        this.#dropRegistry();
        break;
      case 'Inspector.targetCrashed':
        this.#onCrash();
        break;
      default:
        break;
    }
  }

  #onBinding({ name, payload }) {
    if (name !== BINDING || typeof payload !== 'string') return;
    const prefix = `${this.#token}:`;
    // Only the registry's callback functions know the token; anything else
    // calling the binding is not a callback.
    if (!payload.startsWith(prefix)) return;
    const cookie = payload.slice(prefix.length);
    if (/^[0-9]{1,20}$/.test(cookie)) this.#send({ event: 'callback', cookie });
  }

  #onCrash() {
    if (this.#crashed) return;
    this.#crashed = true;
    this.#log('page crashed');
    this.#broken.reject(new Failure('the page crashed'));
    for (const notify of [...this.#crashWaiters]) notify();
    this.#send({ event: 'crashed' });
  }

  #onGone() {
    if (this.#gone) return;
    this.#gone = true;
    this.#broken.reject(new Failure('the browser has gone'));
    this.#send({ event: 'gone' });
  }

  // ---- Registry ------------------------------------------------------------

  #dropRegistry() {
    this.#contextId = null;
    this.#registry = null;
    this.#registryWait = deferred();
  }

  async #install(contextId) {
    this.#dropRegistry();
    this.#contextId = contextId;
    const wait = this.#registryWait;
    const config = { base: this.#nextHandle, token: this.#token, plan: this.#settings.plan, binding: BINDING };
    try {
      const { result, exceptionDetails } = await this.#cdpSend('Runtime.callFunctionOn', {
        functionDeclaration: REGISTRY_SOURCE,
        executionContextId: contextId,
        arguments: [{ value: config }],
        objectGroup: 'vxlive',
      });
      if (exceptionDetails) throw new Error(exceptionDetails.exception?.description ?? exceptionDetails.text);
      if (this.#contextId !== contextId) return; // the document went meanwhile
      this.#registry = { contextId, objectId: result.objectId };
      wait.resolve(this.#registry);
    } catch (err) {
      if (this.#contextId === contextId) this.#log(`registry not installed: ${err.message}`);
    }
  }

  // The registry of the current top document; waits for it while a new
  // document is on its way, until the deadline.
  async #currentRegistry(deadline) {
    while (!this.#registry) {
      const wait = this.#registryWait;
      const left = deadline - Date.now();
      if (left <= 0) throw new Failure('the page has no document to run in');
      let timer;
      await Promise.race([
        wait.promise,
        this.#broken.promise,
        new Promise((resolve) => { timer = setTimeout(resolve, left); }),
      ]).finally(() => clearTimeout(timer));
    }
    return this.#registry;
  }

  // ---- Requests ------------------------------------------------------------

  #checkUsable() {
    if (this.#gone) throw new Failure('the browser has gone');
    if (this.#crashed) throw new Failure('the page crashed');
  }

  // Runs work(deadline), failing with the request time-out, a crash or the
  // browser going. onTimeout runs when the time-out struck first.
  async #bounded(work, onTimeout) {
    this.#checkUsable();
    const deadline = Date.now() + this.#requestTimeoutMs;
    let timer;
    const timeout = new Promise((_, reject) => {
      timer = setTimeout(() => {
        onTimeout?.();
        reject(new Failure(`no answer within ${this.#requestTimeoutMs} ms`));
      }, this.#requestTimeoutMs);
    });
    const running = work(deadline);
    try {
      return await Promise.race([running, timeout, this.#broken.promise]);
    } catch (err) {
      // What is still running goes on in the page; the next request waits
      // for it first (within its own time), so that they do not overlap.
      this.#late = running.catch(() => {});
      throw err;
    } finally {
      clearTimeout(timer);
    }
  }

  async #request(id, ops) {
    if (!Array.isArray(ops)) return this.#send({ id, error: '"ops" must be a list' });
    let running = false;
    let timedOut = false;
    try {
      const slices = await this.#bounded(async (deadline) => {
        if (this.#late) {
          await Promise.race([this.#late, delay(Math.max(0, deadline - Date.now()))]);
          this.#late = null;
        }
        for (;;) {
          const registry = await this.#currentRegistry(deadline);
          try {
            running = true;
            const { result, exceptionDetails } = await this.#cdpSend('Runtime.callFunctionOn', {
              functionDeclaration: RUN_SOURCE,
              objectId: registry.objectId,
              arguments: [{ value: JSON.stringify(ops) }, { value: ANSWER_SLICE }],
              returnByValue: true,
            });
            running = false;
            if (exceptionDetails) throw new Failure(exceptionDetails.exception?.description ?? exceptionDetails.text);
            const [first, next, firstSlice, length] = result.value;
            const answer = firstSlice.length < length ? await this.#restOfAnswer(registry, firstSlice, length) : [firstSlice];
            if (next > this.#nextHandle) this.#nextHandle = next;
            if (timedOut && next > first) {
              // The client has had its error answer: these handles are nobody's.
              this.#cdpSend('Runtime.callFunctionOn', {
                functionDeclaration: 'function (from, to) { this.discard(from, to); }',
                objectId: registry.objectId,
                arguments: [{ value: first }, { value: next }],
              }).catch(() => {});
            }
            return answer;
          } catch (err) {
            running = false;
            // The document went before the batch could run: run it on the
            // new document's registry, where old handles are unknown.
            if (STALE_REGISTRY.test(err.message) && this.#registry !== registry && !this.#crashed && !this.#gone) continue;
            throw err;
          }
        }
      }, () => {
        timedOut = true;
        // Stops our batch (or a page script that keeps the page busy) so
        // that the tab can answer the next request.
        if (running) this.#cdpSend('Runtime.terminateExecution').catch(() => {});
      });
      this.#sendAnswer(id, slices);
    } catch (err) {
      this.#log(`request ${JSON.stringify(id)}: ${err.message}`);
      this.#send({ id, error: err.message });
    }
  }

  // All the answer's slices, the first one given; the page keeps the text
  // until its last slice is taken or the next request replaces it.
  async #restOfAnswer(registry, first, length) {
    // All slices are asked for at once: the page answers them in order, and
    // none waits for the round trip of the one before. Once one has failed
    // nobody waits for the others: their failures are let go.
    const calls = [];
    for (let from = first.length; from < length; from += ANSWER_SLICE) {
      const call = this.#cdpSend('Runtime.callFunctionOn', {
        functionDeclaration: SLICE_SOURCE,
        objectId: registry.objectId,
        arguments: [{ value: from }],
        returnByValue: true,
      });
      call.catch(() => {});
      calls.push(call);
    }
    const slices = [first];
    for (const call of calls) {
      const { result, exceptionDetails } = await call;
      if (exceptionDetails) throw new Failure(exceptionDetails.exception?.description ?? exceptionDetails.text);
      if (typeof result.value !== 'string' || result.value.length === 0) throw new Failure('the answer ended early');
      slices.push(result.value);
    }
    let total = 0;
    for (const slice of slices) total += slice.length;
    if (total !== length) throw new Failure('the answer ended early');
    return slices;
  }

  // ---- Control -------------------------------------------------------------

  async #control(id, message) {
    try {
      switch (message.control) {
        case 'click': {
          const { x, y } = message;
          if (!Number.isFinite(x) || !Number.isFinite(y)) throw new Failure('click needs numbers x and y');
          await this.#bounded(async () => {
            await this.#input_('Input.dispatchMouseEvent', { type: 'mouseMoved', x, y });
            await this.#input_('Input.dispatchMouseEvent', { type: 'mousePressed', x, y, button: 'left', buttons: 1, clickCount: 1 });
            await this.#input_('Input.dispatchMouseEvent', { type: 'mouseReleased', x, y, button: 'left', buttons: 0, clickCount: 1 });
          });
          break;
        }
        case 'type':
          if (typeof message.text !== 'string') throw new Failure('type needs a text');
          await this.#bounded(() => this.#input_('Input.insertText', { text: message.text }));
          break;
        case 'key': {
          const key = message.key;
          if (typeof key !== 'string' || key === '') throw new Failure('key needs a key name');
          const known = KEYS[key];
          let info;
          if (known) {
            info = { key, ...known };
          } else if ([...key].length === 1) {
            const upper = key.toUpperCase();
            info = { key, text: key, keyCode: /^[A-Z0-9]$/.test(upper) ? upper.charCodeAt(0) : 0 };
          } else {
            throw new Failure(`unknown key ${key}`);
          }
          const common = { key: info.key, code: info.code, windowsVirtualKeyCode: info.keyCode, nativeVirtualKeyCode: info.keyCode };
          await this.#bounded(async () => {
            await this.#input_('Input.dispatchKeyEvent', { type: info.text ? 'keyDown' : 'rawKeyDown', text: info.text, ...common });
            await this.#input_('Input.dispatchKeyEvent', { type: 'keyUp', ...common });
          });
          break;
        }
        case 'crash':
          await this.#crash();
          break;
        case 'kill':
          if (this.#entry) await this.#host.kill(this.#entry);
          break;
        case 'navigate': {
          this.#checkUsable();
          const { url } = parseOpen({ open: message.url });
          await this.#load(url);
          break;
        }
        default:
          throw new Failure(`unknown control ${String(message.control)}`);
      }
      this.#send({ id, ok: true });
    } catch (err) {
      this.#send({ id, error: err.message });
    }
  }

  #input_(method, params) {
    return this.#cdpSend(method, params);
  }

  // Page.crash gets no answer: the renderer is gone. The crash is confirmed
  // by Inspector.targetCrashed.
  async #crash() {
    this.#checkUsable();
    const crashed = new Promise((resolve) => {
      const notify = () => { this.#crashWaiters.delete(notify); resolve(true); };
      this.#crashWaiters.add(notify);
      setTimeout(() => { this.#crashWaiters.delete(notify); resolve(false); }, CRASH_WAIT_MS);
    });
    this.#cdpSend('Page.crash').catch(() => {});
    if (!(await crashed)) throw new Failure('the page did not crash');
  }

  // ---- CDP -----------------------------------------------------------------

  #cdpSend(method, params = {}) {
    return this.#cdp.send(method, params, this.#sessionId);
  }

  async #evaluate(expression, awaitPromise = false) {
    const { result, exceptionDetails } = await this.#cdpSend('Runtime.evaluate', {
      expression, returnByValue: true, awaitPromise,
    });
    if (exceptionDetails) throw new Failure(exceptionDetails.exception?.description ?? exceptionDetails.text);
    return result.value;
  }

  // ---- Closing -------------------------------------------------------------

  #onClose() {
    this.#closed = true;
    this.#teardown();
  }

  #teardown() {
    this.#removeEvents?.();
    this.#removeEvents = null;
    this.#entry?.listeners.delete(this.#onGoneListener);
    for (const finish of [...this.#loadWaiters]) finish(false);
    this.#broken.reject(new Failure('the connection closed'));
    if (this.#targetId && this.#entry && !this.#entry.gone) {
      this.#cdp.send('Target.closeTarget', { targetId: this.#targetId }).catch(() => {});
    }
    this.#targetId = null;
  }
}
