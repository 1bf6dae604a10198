// A static file server on loopback, for a look at the built site and for its tests:
//   node Web/serve.mjs DIR [PORT]     (PORT 0: any free one)
// Prints the address once it listens. Serves files only from DIR, to GET and HEAD, streamed so
// that a large file never sits in memory; no request, however made, can stop it.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.json': 'application/json', '.webmanifest': 'application/manifest+json',
  '.png': 'image/png', '.wav': 'audio/wav',
};

function answer(response, status, text, headers = {}) {
  response.writeHead(status, { 'Content-Type': 'text/plain', ...headers });
  response.end(`${text}\n`);
}

// The file a request names inside base, or null: never outside it, never with a NUL.
function fileFor(base, url) {
  let name;
  try { name = decodeURIComponent(new URL(url, 'http://x').pathname); } catch { return null; }
  if (name.includes('\0')) return null;
  const file = path.resolve(base, '.' + name);
  if (file !== base && !file.startsWith(base + path.sep)) return null;
  return file === base || name.endsWith('/') ? path.join(file, 'index.html') : file;
}

function handle(base, request, response) {
  if (request.method !== 'GET' && request.method !== 'HEAD') {
    answer(response, 405, 'only GET and HEAD', { Allow: 'GET, HEAD' });
    return;
  }
  const file = fileFor(base, request.url);
  if (!file) {
    answer(response, 400, 'bad name');
    return;
  }
  fs.stat(file, (error, stat) => {
    if (error || !stat.isFile()) {
      answer(response, 404, 'not found');
      return;
    }
    response.writeHead(200, {
      'Content-Type': types[path.extname(file)] ?? 'application/octet-stream',
      'Content-Length': stat.size, 'Cache-Control': 'no-cache',
    });
    if (request.method === 'HEAD') {
      response.end();
      return;
    }
    const stream = fs.createReadStream(file);
    stream.on('error', () => response.destroy());
    response.on('close', () => stream.destroy());
    stream.pipe(response);
  });
}

export function serve(root, port = 0) {
  const base = path.resolve(root);
  const server = http.createServer((request, response) => {
    try {
      handle(base, request, response);
    } catch {
      response.destroy();
    }
  });
  server.on('clientError', (error, socket) => socket.destroy());
  return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const server = await serve(process.argv[2] ?? '.', Number(process.argv[3] ?? 8000));
  console.log(`Serving ${process.argv[2]} at http://127.0.0.1:${server.address().port}/`);
}
