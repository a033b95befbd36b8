// Command line of the sidecar.

export const USAGE = `usage: node harness/livepage/sidecar.mjs --root DIR [--root DIR...] [--port N]
       [--browser PATH] [--request-timeout-ms N]`;

export function parseArgs(argv) {
  const options = { roots: [], port: 0, browser: undefined, requestTimeoutMs: 10000 };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${arg} needs a value`);
      return argv[++i];
    };
    switch (arg) {
      case '--root': options.roots.push(value()); break;
      case '--port': options.port = wholeNumber(arg, value(), 0, 65535); break;
      case '--browser': options.browser = value(); break;
      case '--request-timeout-ms': options.requestTimeoutMs = wholeNumber(arg, value(), 100, 600000); break;
      default: throw new Error(`unknown argument ${arg}`);
    }
  }
  if (!options.roots.length) throw new Error('--root is required');
  return options;
}

function wholeNumber(name, text, min, max) {
  const n = Number(text);
  if (!/^[0-9]+$/.test(text) || n < min || n > max) throw new Error(`${name} must be a whole number from ${min} to ${max}`);
  return n;
}
