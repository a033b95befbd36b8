// Checking and writing protocol lines.

// JSON of a message for the client. Strings are made well-formed: the
// client's parser refuses lone-surrogate escapes, and texts that come from
// the browser (dialog messages, URLs, error texts) may hold them.
export function messageLine(message) {
  return JSON.stringify(message, (key, v) => (typeof v === 'string' ? v.toWellFormed() : v)) + '\n';
}

const SCHEMES = new Set(['http:', 'https:', 'about:', 'data:']);

// The tab's settings from the open message; throws with a text for the client.
export function parseOpen(message) {
  if (message === null || typeof message !== 'object' || Array.isArray(message)) throw new Error('the first line must be an open message');
  if (typeof message.open !== 'string') throw new Error('"open" must be the address of the page');
  let url;
  try {
    url = new URL(message.open);
  } catch {
    throw new Error(`not an address: ${message.open}`);
  }
  if (!SCHEMES.has(url.protocol)) throw new Error(`addresses of ${url.protocol} are not opened`);
  return {
    url: url.href,
    width: dimension(message, 'width', 1024),
    height: dimension(message, 'height', 768),
    loadTimeoutMs: dimension(message, 'loadTimeoutMs', 10000, 0, 120000),
    plan: parsePlan(message.plan),
  };
}

function dimension(message, name, fallback, min = 1, max = 10000) {
  const v = message[name];
  if (v === undefined) return fallback;
  if (!Number.isInteger(v) || v < min || v > max) throw new Error(`"${name}" must be a whole number from ${min} to ${max}`);
  return v;
}

// The plan in the shape the registry uses: every key with its get, objects
// and calls lists present.
export function parsePlan(plan) {
  if (plan === undefined || plan === null) return null;
  if (typeof plan !== 'object' || Array.isArray(plan)) throw new Error('"plan" must be an object');
  const result = {};
  for (const [key, entry] of Object.entries(plan)) {
    if (entry === null || typeof entry !== 'object' || Array.isArray(entry)) throw new Error(`plan "${key}" must be an object`);
    const names = (field) => {
      const list = entry[field] ?? [];
      if (!Array.isArray(list) || !list.every((n) => typeof n === 'string')) {
        throw new Error(`plan "${key}".${field} must be a list of member names`);
      }
      return list;
    };
    const calls = entry.calls ?? [];
    if (!Array.isArray(calls) || !calls.every((c) => Array.isArray(c) && typeof c[0] === 'string'
        && c.slice(1).every((a) => a === null || ['string', 'number', 'boolean'].includes(typeof a)))) {
      throw new Error(`plan "${key}".calls must be a list of [name, argument...] with plain arguments`);
    }
    if (entry.nodeid !== undefined && typeof entry.nodeid !== 'boolean') throw new Error(`plan "${key}".nodeid must be true or false`);
    result[key] = { get: names('get'), objects: names('objects'), calls, nodeid: entry.nodeid === true };
  }
  return result;
}
