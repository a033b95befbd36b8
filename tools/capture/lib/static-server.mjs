// A minimal read-only HTTP server for one directory tree, bound to
// 127.0.0.1 on a free port. Pages are served over HTTP rather than file://
// because the browser treats every file:// frame as cross-origin.

import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const CONTENT_TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.htm': 'text/html; charset=utf-8',
  '.xhtml': 'application/xhtml+xml; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.gif': 'image/gif',
  '.jpg': 'image/jpeg',
  '.txt': 'text/plain; charset=utf-8',
};

// Resolves a request path inside root; null when it is outside root or not a
// regular file.
export function resolveRequestPath(root, urlPath) {
  let decoded;
  try {
    decoded = decodeURIComponent(urlPath.split('?')[0].split('#')[0]);
  } catch {
    return null;
  }
  if (decoded.includes('\0')) return null;
  const full = path.resolve(root, '.' + path.posix.normalize('/' + decoded));
  if (full !== root && !full.startsWith(root + path.sep)) return null;
  try {
    return fs.statSync(full).isFile() ? full : null;
  } catch {
    return null;
  }
}

// rootDir may also be a list of directories: a path is looked up in each in
// turn, and the first is the server's root.
export async function startStaticServer(rootDir) {
  const roots = (Array.isArray(rootDir) ? rootDir : [rootDir]).map((dir) => path.resolve(dir));
  const root = roots[0];
  const lookUp = (urlPath) => {
    for (const dir of roots) {
      const file = resolveRequestPath(dir, urlPath);
      if (file) return file;
    }
    return null;
  };
  const server = http.createServer((req, res) => {
    const file = req.method === 'GET' || req.method === 'HEAD' ? lookUp(req.url) : null;
    if (!file) {
      res.writeHead(404, { 'Content-Type': 'text/plain', 'Cache-Control': 'no-store' });
      res.end('not found');
      return;
    }
    const type = CONTENT_TYPES[path.extname(file).toLowerCase()] ?? 'application/octet-stream';
    res.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store' });
    if (req.method === 'HEAD') return res.end();
    fs.createReadStream(file).pipe(res);
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', resolve);
  });
  return {
    port: server.address().port,
    root,
    close: () => new Promise((resolve) => {
      server.closeAllConnections?.();
      server.close(() => resolve());
    }),
  };
}
