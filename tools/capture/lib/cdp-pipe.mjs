// A Chrome DevTools Protocol connection over the two pipes that
// --remote-debugging-pipe gives a child browser: we write commands to its
// fd 3 and read answers and events from its fd 4. Every message is one JSON
// text terminated by a NUL byte.

export class CdpError extends Error {}

export class CdpPipe {
  #writer;
  #nextId = 1;
  #pending = new Map();      // command id -> { resolve, reject, timer, method }
  #listeners = new Set();    // (method, params, sessionId) => void
  #chunks = [];
  #closedError = null;

  constructor(writer, reader, timeoutMs) {
    this.#writer = writer;
    this.timeoutMs = timeoutMs;
    reader.on('data', (chunk) => this.#onData(chunk));
    reader.on('close', () => this.#failAll(new CdpError('browser closed the DevTools pipe')));
    reader.on('error', (err) => this.#failAll(new CdpError(`DevTools pipe read error: ${err.message}`)));
    writer.on('error', (err) => this.#failAll(new CdpError(`DevTools pipe write error: ${err.message}`)));
  }

  // Sends one command and resolves with its result; rejects on a protocol
  // error, on the time-out, or when the pipe closes first.
  send(method, params = {}, sessionId = undefined) {
    if (this.#closedError) return Promise.reject(this.#closedError);
    const id = this.#nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.#pending.delete(id);
        reject(new CdpError(`${method} timed out after ${this.timeoutMs} ms`));
      }, this.timeoutMs);
      this.#pending.set(id, { resolve, reject, timer, method });
      this.#writer.write(JSON.stringify(message) + '\0');
    });
  }

  // Registers a listener for events; returns a function that removes it.
  onEvent(listener) {
    this.#listeners.add(listener);
    return () => this.#listeners.delete(listener);
  }

  // Resolves with the params of the first event that matches, or rejects
  // after the time-out.
  waitForEvent(method, sessionId, predicate = () => true) {
    return new Promise((resolve, reject) => {
      const remove = this.onEvent((m, params, s) => {
        if (m === method && s === sessionId && predicate(params)) {
          cleanup();
          resolve(params);
        }
      });
      const timer = setTimeout(() => {
        cleanup();
        reject(new CdpError(`no ${method} event within ${this.timeoutMs} ms`));
      }, this.timeoutMs);
      const cleanup = () => { remove(); clearTimeout(timer); };
    });
  }

  #onData(chunk) {
    let start = 0;
    for (let end = chunk.indexOf(0); end !== -1; end = chunk.indexOf(0, start)) {
      this.#chunks.push(chunk.subarray(start, end));
      const text = Buffer.concat(this.#chunks).toString('utf8');
      this.#chunks = [];
      start = end + 1;
      this.#dispatch(text);
    }
    if (start < chunk.length) this.#chunks.push(chunk.subarray(start));
  }

  #dispatch(text) {
    let message;
    try {
      message = JSON.parse(text);
    } catch {
      return; // not a protocol message; nothing can be answered with it
    }
    if (message.id !== undefined) {
      const entry = this.#pending.get(message.id);
      if (!entry) return;
      this.#pending.delete(message.id);
      clearTimeout(entry.timer);
      if (message.error) {
        entry.reject(new CdpError(`${entry.method}: ${message.error.message} (${message.error.code})`));
      } else {
        entry.resolve(message.result);
      }
      return;
    }
    for (const listener of [...this.#listeners]) listener(message.method, message.params, message.sessionId);
  }

  #failAll(error) {
    if (this.#closedError) return;
    this.#closedError = error;
    for (const entry of this.#pending.values()) {
      clearTimeout(entry.timer);
      entry.reject(error);
    }
    this.#pending.clear();
  }
}
