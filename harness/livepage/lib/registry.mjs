// The page registry: a function that the sidecar runs in the top window's
// main world (Runtime.callFunctionOn with the window's execution context) each
// time the top document gets a new one. It returns the registry object, which
// the sidecar keeps by its remote object id and never stores in a global, so
// page scripts that enumerate the window do not see it.
//
// registry.run(opsText, sliceLength) runs a whole request (its ops as JSON
// text, which reaches the page faster than the same ops as protocol values)
// in one go and returns [firstHandle, nextHandle, json, length]: the answer
// {"results":[...],"ms":t} is made with the page's JSON.stringify, so
// strings arrive exactly as the page had them, and t is the time the page
// spent on the ops and the answer, in milliseconds. json is the answer's
// first sliceLength characters and length its whole length; the sidecar
// takes the rest with registry.slice(from), because the protocol carries
// many small strings much faster than one large one;
// nextHandle lets the sidecar start the next document's registry after the
// handles of this one, so that an old handle is never mistaken for a new one;
// with firstHandle the sidecar can discard the batch's handles when its
// answer came too late to be sent.
//
// This function is sent as source text: it must not refer to anything outside
// itself.

export function installRegistry(config) {
  'use strict';
  const { base, token, plan, binding } = config;

  // Built-ins taken now, so that page scripts that replace them later do not
  // change what the registry answers.
  const stringify = JSON.stringify;
  const parse = JSON.parse;
  const performanceNow = Performance.prototype.now;
  const clock = globalThis.performance;
  const objectToString = Object.prototype.toString;
  const apply = Reflect.apply;
  const isWellFormed = String.prototype.isWellFormed;
  const toWellFormed = String.prototype.toWellFormed;
  const charCodeAt = String.prototype.charCodeAt;
  const fromCharCode = String.fromCharCode;
  const finite = Number.isFinite;
  const isArray = Array.isArray;
  const globalEval = globalThis.eval;
  const regExpReplace = RegExp.prototype[Symbol.replace];
  const regExpTest = RegExp.prototype.test;
  const toHex = Number.prototype.toString;
  const padStart = String.prototype.padStart;
  const topWindow = globalThis;

  // The binding that reports callback calls to the sidecar. It is taken off
  // the window so that the page's globals stay the page's own.
  let report = topWindow[binding];
  try { delete topWindow[binding]; } catch { /* not configurable: leave it */ }

  const handles = new Map();
  let nextHandle = base;
  const nodeIds = new WeakMap();
  let nextNodeId = 1;
  const callbackStates = new Map(); // cookie -> [{ live }]
  const BAD = {};                   // thrown for an unknown handle
  const planKeys = plan ? Object.keys(plan) : [];
  // A handle value's reads ahead of each plan key go under a name made of
  // the key's place in the plan: A for the first, Z for the 26th, then AA,
  // AB... (JSON.stringify has a fast way for objects whose members all have
  // such names; members named by numbers take its slow way.)
  const planKeyNames = [];
  for (let k = 0; k < planKeys.length; k++) {
    let name = '';
    for (let n = k + 1; n > 0; n = (n - 1 - ((n - 1) % 26)) / 26) name = fromCharCode(65 + ((n - 1) % 26)) + name;
    planKeyNames[k] = name;
  }
  const MAX_LEVEL = 3;
  const NOT_SENT = {};               // a member fetched ahead whose value is left out
  const ABSENT = [];                 // a member fetched ahead that does not exist
  const SAME_FROM = 16;              // strings this long are sent once per list

  // JSON text with every character past ASCII written as a \u escape. The
  // DevTools protocol carries a string of ASCII characters several times
  // faster than one that holds any other character, and answers are large.
  const NON_ASCII = /[\u0080-\uffff]/;
  const NON_ASCII_ALL = /[\u0080-\uffff]/g;
  function escapeUnit(c) {
    return '\\u' + apply(padStart, apply(toHex, apply(charCodeAt, c, [0]), [16]), [4, '0']);
  }
  function asciiOnly(json) {
    if (!apply(regExpTest, NON_ASCII, [json])) return json;
    return apply(regExpReplace, NON_ASCII_ALL, [json, escapeUnit]);
  }

  function text(value) {
    let s;
    try { s = String(value); } catch { s = 'unprintable value'; }
    return apply(toWellFormed, s, []);
  }

  function errorText(error) {
    try {
      if (error !== null && (typeof error === 'object' || typeof error === 'function') && 'message' in error) {
        const name = error.name ? text(error.name) + ': ' : '';
        return name + text(error.message);
      }
    } catch { /* fall through to the plain conversion */ }
    return text(error);
  }

  function stringValue(s) {
    if (apply(isWellFormed, s, [])) return { s };
    const units = new Array(s.length);
    for (let i = 0; i < s.length; i++) units[i] = apply(charCodeAt, s, [i]);
    return { u: units };
  }

  // Objects and functions get handles. document.all is an object whose typeof
  // is "undefined", so the test is on identity with undefined, not on typeof.
  function isObject(v) {
    return v !== undefined && v !== null && typeof v !== 'number' && typeof v !== 'string'
      && typeof v !== 'boolean' && typeof v !== 'bigint' && typeof v !== 'symbol';
  }

  function isNode(obj) {
    try { return typeof obj.nodeType === 'number'; } catch { return false; }
  }

  function className(obj) {
    try { return apply(objectToString, obj, []).slice(8, -1); } catch { return ''; }
  }

  function value(v, level) {
    if (v === undefined) return { undef: 1 };
    if (v === null) return { null: 1 };
    switch (typeof v) {
      case 'number': return { n: finite(v) ? v : String(v) };
      case 'string': return stringValue(v);
      case 'boolean': return { b: v };
      case 'bigint': return value(Number(v), level);
      case 'symbol': return { err: 'a symbol cannot be passed' };
      default: return handleValue(v, level);
    }
  }

  function newHandle(obj) {
    const h = nextHandle++;
    handles.set(h, obj);
    return h;
  }

  function nodeIdOf(obj) {
    let id = nodeIds.get(obj);
    if (id === undefined) nodeIds.set(obj, id = nextNodeId++);
    return id;
  }

  // A new handle of obj, with the members the plan names for it: for each
  // plan key that matches, its values under the key's name (get members,
  // then objects, then calls, in list order; objects and calls only below
  // MAX_LEVEL; members that do not exist and calls that answer null left
  // off the end). Positions instead of names keep the answer small: its
  // size is what a walk's answer costs in transport.
  function handleValue(obj, level) {
    const result = { h: newHandle(obj) };
    if (!planKeys.length) return result;
    let node;
    let cls;
    for (let k = 0; k < planKeys.length; k++) {
      const key = planKeys[k];
      if (key === 'Node') {
        if (node === undefined) node = isNode(obj);
        if (!node) continue;
      } else {
        if (cls === undefined) cls = className(obj);
        if (cls !== key) continue;
      }
      const entry = plan[key];
      if (entry.nodeid && result.i === undefined) result.i = nodeIdOf(obj);
      const values = [];
      for (const name of entry.get) values.push(sameAsBefore(values, member(obj, name, level, false)));
      if (level < MAX_LEVEL) {
        for (const name of entry.objects) values.push(member(obj, name, level + 1, true));
        for (const [name, ...args] of entry.calls) values.push(callMember(obj, name, args, level + 1));
      } else {
        // Too deep for objects and calls: they are marked as not sent, so
        // that they are not taken for reads left off the end below.
        for (let n = entry.objects.length + entry.calls.length; n > 0; n--) values.push(NOT_SENT);
      }
      // Members that do not exist and calls that answer null are left off
      // the end of the list: a text node has none of an element's tag
      // name, id, name, type and attributes, and most elements have none of
      // the attributes their attribute map is asked for.
      const firstCall = entry.get.length + entry.objects.length;
      let length = values.length;
      while (length > 0 && values[length - 1] === (length > firstCall ? null : ABSENT)) length--;
      values.length = length;
      result[planKeyNames[k]] = values;
    }
    return result;
  }

  // A long string equal to one read before it in the same list goes as a
  // reference to that one: a text node's data and nodeValue are the same
  // text, and text is most of a document's answer.
  function sameAsBefore(values, v) {
    if (typeof v !== 'string' || v.length < SAME_FROM) return v;
    for (let n = 0; n < values.length; n++) if (values[n] === v) return { same: n };
    return v;
  }

  // A value fetched ahead: strings, finite numbers, booleans and null as
  // they are, every other value as an op's result gives it.
  function planValue(v, level) {
    switch (typeof v) {
      case 'string': return apply(isWellFormed, v, []) ? v : stringValue(v);
      case 'number': return finite(v) ? v : { n: String(v) };
      case 'boolean': return v;
      default: return v === null ? null : value(v, level);
    }
  }

  // One member read ahead: absent, the error it threw, or its value; an
  // object only where objects are wanted ({} otherwise: not sent).
  // A member that is not there reads as undefined without running anything,
  // so the presence test is only needed for an undefined value.
  function member(obj, name, level, objects) {
    try {
      const v = obj[name];
      if (v === undefined && !(name in obj)) return ABSENT;
      if (!objects && isObject(v)) return NOT_SENT;
      return planValue(v, level);
    } catch (error) {
      return { err: errorText(error) };
    }
  }

  function callMember(obj, name, args, level) {
    try {
      if (!(name in obj)) return ABSENT;
      const f = obj[name];
      if (typeof f !== 'function') return { err: `${text(name)} is not a function` };
      return planValue(apply(f, obj, args), level);
    } catch (error) {
      return { err: errorText(error) };
    }
  }

  function target(h) {
    if (typeof h !== 'number' || !handles.has(h)) throw BAD;
    return handles.get(h);
  }

  function memberName(name) {
    if (typeof name === 'string') return name;
    if (typeof name === 'number' && Number.isInteger(name) && name >= 0) return name;
    throw new TypeError('member name must be a string or an index');
  }

  function count(n, what) {
    if (typeof n !== 'number' || !Number.isInteger(n) || n < 0) throw new TypeError(`${what} must be a whole number >= 0`);
    return n;
  }

  // A value sent by the client as an argument.
  function argument(a) {
    if (a === null || typeof a !== 'object' || isArray(a)) throw new TypeError('bad argument');
    if ('h' in a) return target(a.h);
    if ('n' in a) {
      if (typeof a.n === 'number') return a.n;
      if (a.n === 'NaN') return NaN;
      if (a.n === 'Infinity') return Infinity;
      if (a.n === '-Infinity') return -Infinity;
      throw new TypeError('bad number argument');
    }
    if ('s' in a) {
      if (typeof a.s !== 'string') throw new TypeError('bad string argument');
      return a.s;
    }
    if ('u' in a) {
      if (!isArray(a.u)) throw new TypeError('bad code unit argument');
      let s = '';
      for (const unit of a.u) {
        if (typeof unit !== 'number' || !Number.isInteger(unit) || unit < 0 || unit > 0xffff) {
          throw new TypeError('bad code unit argument');
        }
        s += fromCharCode(unit);
      }
      return s;
    }
    if ('b' in a) {
      if (typeof a.b !== 'boolean') throw new TypeError('bad boolean argument');
      return a.b;
    }
    if ('null' in a) return null;
    if ('undef' in a) return undefined;
    throw new TypeError('bad argument');
  }

  function cookieText(cookie) {
    if (typeof cookie === 'string' && /^[0-9]{1,20}$/.test(cookie)) return cookie;
    if (typeof cookie === 'number' && Number.isSafeInteger(cookie) && cookie >= 0) return String(cookie);
    throw new TypeError('cookie must be a decimal string');
  }

  function makeCallback(cookie) {
    const state = { live: true };
    let states = callbackStates.get(cookie);
    if (!states) callbackStates.set(cookie, states = []);
    states.push(state);
    // Called by page code with any arguments and any this; it only reports.
    return function vxLiveCallback() {
      if (!state.live) return undefined;
      try {
        if (typeof report !== 'function') report = topWindow[binding];
        report(`${token}:${cookie}`);
      } catch { /* the sidecar is gone: nothing to report to */ }
      return undefined;
    };
  }

  function isAlive(obj) {
    if (isNode(obj)) {
      try { return obj.isConnected === true; } catch { return false; }
    }
    return true;
  }

  function runOp(op) {
    if (!isArray(op) || typeof op[0] !== 'string') throw new TypeError('an op is an array that starts with its name');
    switch (op[0]) {
      case 'window': return handleValue(topWindow, 0);
      case 'get': {
        const obj = target(op[1]);
        const name = memberName(op[2]);
        if (!(name in obj)) return { missing: 1 };
        return value(obj[name], 0);
      }
      case 'has': {
        const obj = target(op[1]);
        return { b: memberName(op[2]) in obj };
      }
      case 'put': {
        const obj = target(op[1]);
        const name = memberName(op[2]);
        obj[name] = argument(op[3]);
        return { ok: 1 };
      }
      case 'call': {
        const obj = target(op[1]);
        const name = memberName(op[2]);
        const args = op.slice(3).map(argument);
        if (!(name in obj)) return { missing: 1 };
        const f = obj[name];
        if (typeof f !== 'function') return { err: `${text(name)} is not a function` };
        return value(apply(f, obj, args), 0);
      }
      case 'items': {
        const obj = target(op[1]);
        const start = count(op[2], 'start');
        const most = count(op[3], 'count');
        const length = obj.length;
        const list = [];
        for (let i = start; i < length && list.length < most; i++) list.push(value(obj.item(i), 0));
        return { list };
      }
      case 'chain': {
        let obj = target(op[1]);
        const name = memberName(op[2]);
        const most = count(op[3], 'count');
        const list = [];
        while (list.length < most) {
          if (!(name in obj)) { list.push({ missing: 1 }); break; }
          const v = obj[name];
          list.push(value(v, 0));
          if (!isObject(v)) break;
          obj = v;
        }
        return { list };
      }
      case 'subtree': {
        // The nodes below obj in document order, each with its depth below
        // obj (1 for a child), at most `count` of them; `complete` says
        // whether every node below obj is in the list.
        const root = target(op[1]);
        const most = count(op[2], 'count');
        const list = [];
        const depths = [];
        let node = root.firstChild;
        let depth = 1;
        while (node && list.length < most) {
          list.push(value(node, 0));
          depths.push(depth);
          if (node.firstChild) {
            node = node.firstChild;
            depth += 1;
            continue;
          }
          while (node && node !== root && !node.nextSibling) {
            node = node.parentNode;
            depth -= 1;
          }
          node = node && node !== root ? node.nextSibling : null;
        }
        return { list, depths, complete: !node };
      }
      case 'release': {
        // Any number of handles, each alone or a run of them as [first,
        // last]; the known ones are released even when one of them is not.
        let known = true;
        for (let i = 1; i < op.length; i++) {
          const h = op[i];
          if (isArray(h) && h.length === 2 && Number.isSafeInteger(h[0]) && Number.isSafeInteger(h[1])
              && h[0] <= h[1] && h[1] < nextHandle) {
            for (let r = h[0]; r <= h[1]; r++) if (!handles.delete(r)) known = false;
            continue;
          }
          if (typeof h === 'number' && handles.delete(h)) continue;
          known = false;
        }
        if (!known) throw BAD;
        return { ok: 1 };
      }
      case 'clone': return handleValue(target(op[1]), 0);
      case 'alive': return { b: isAlive(target(op[1])) };
      case 'nodeid': return { n: nodeIdOf(target(op[1])) };
      case 'callback': return handleValue(makeCallback(cookieText(op[1])), 0);
      case 'dropcallback': {
        const cookie = cookieText(op[1]);
        for (const state of callbackStates.get(cookie) ?? []) state.live = false;
        callbackStates.delete(cookie);
        return { ok: 1 };
      }
      case 'eval': {
        if (typeof op[1] !== 'string') throw new TypeError('eval takes source text');
        return value(globalEval(op[1]), 0);
      }
      case 'count': return { n: handles.size };
      default: throw new TypeError(`unknown op ${text(op[0])}`);
    }
  }

  // Handles of a batch that was stopped before its end (Runtime.terminateExecution
  // ends it without running any of our code) are never seen by the client:
  // the next batch releases them.
  let unfinished = null;
  let answerText = '';
  let answerSlice = 0;

  // A slice of the answer text from `from`. It may end between the halves
  // of a surrogate pair: the protocol carries lone halves as escapes, and
  // the sidecar joins the slices before it reads the text.
  function sliceAt(from) {
    return answerText.slice(from, from + answerSlice);
  }
  function discard(from, to) {
    for (let h = from; h < to; h++) handles.delete(h);
  }

  return {
    // Releases the handles made by a batch whose answer came too late to be
    // sent.
    discard,

    // The rest of the last answer, from character `from`; the text is let go
    // with its last slice.
    slice(from) {
      const part = sliceAt(from);
      if (from + part.length >= answerText.length) answerText = '';
      return part;
    },

    run(opsText, sliceLength) {
      const began = apply(performanceNow, clock, []);
      if (unfinished !== null) discard(unfinished, nextHandle);
      const start = nextHandle;
      unfinished = start;
      const results = [];
      let ops;
      try {
        ops = parse(opsText);
      } catch {
        ops = null;
      }
      if (!isArray(ops)) throw new TypeError('"ops" must be a list');
      for (const op of ops) {
        const opStart = nextHandle;
        let result;
        try {
          result = runOp(op);
        } catch (error) {
          // Handles the op made before it failed (items read before an
          // item() that throws) are in no answer: nobody could release them.
          discard(opStart, nextHandle);
          result = error === BAD ? { bad: 1 } : { err: errorText(error) };
        }
        results.push(result);
      }
      const body = asciiOnly(stringify(results));
      answerText = `{"results":${body},"ms":${(apply(performanceNow, clock, []) - began).toFixed(3)}}`;
      answerSlice = sliceLength > 0 ? sliceLength : answerText.length;
      unfinished = null;
      const first = sliceAt(0);
      const length = answerText.length;
      if (first.length === length) answerText = '';
      return [start, nextHandle, first, length];
    },
  };
}
