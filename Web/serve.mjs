// A static file server on loopback, for a look at the built site and for its tests:
//   node Web/serve.mjs DIR [PORT]     (PORT 0: any free one)
// Prints the address once it listens. Serves files only from DIR.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.json': 'application/json', '.webmanifest': 'application/manifest+json',
  '.png': 'image/png', '.wav': 'audio/wav',
};

export function serve(root, port = 0) {
  const base = path.resolve(root);
  const server = http.createServer((request, response) => {
    let name = null;
    try { name = decodeURIComponent(new URL(request.url, 'http://x').pathname); } catch { /* malformed */ }
    let file = name === null ? null : path.resolve(base, '.' + name);
    if (file === null || (file !== base && !file.startsWith(base + path.sep))) file = null;
    else if (file === base || name.endsWith('/')) file = path.join(file, 'index.html');
    fs.readFile(file ?? '', (error, data) => {
      if (error) {
        response.writeHead(404, {'Content-Type': 'text/plain'});
        response.end('not found\n');
        return;
      }
      response.writeHead(200, {'Content-Type': types[path.extname(file)] ?? 'application/octet-stream',
                               'Cache-Control': 'no-cache'});
      response.end(data);
    });
  });
  return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const server = await serve(process.argv[2] ?? '.', Number(process.argv[3] ?? 8000));
  console.log(`Serving ${process.argv[2]} at http://127.0.0.1:${server.address().port}/`);
}
