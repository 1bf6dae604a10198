// A static file server, for a look at the built site and for its tests:
//   node Web/serve.mjs DIR [PORT [HOST]]     (PORT 0: any free one; HOST: 127.0.0.1)
// HOST 0.0.0.0 serves on every address of the machine, for a phone on the same network; with
// CERT and KEY (PEM files) in the environment it serves HTTPS. Prints the addresses to open
// once it listens. Serves files only from DIR, to GET and HEAD, streamed so that a large file
// never sits in memory; no request, however made, can stop it.
import http from 'node:http';
import https from 'node:https';
import fs from 'node:fs';
import os from 'node:os';
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

// tls: {cert, key} for HTTPS, or nothing.
export function serve(root, port = 0, host = '127.0.0.1', tls = null) {
  const base = path.resolve(root);
  const answer = (request, response) => {
    try {
      handle(base, request, response);
    } catch {
      response.destroy();
    }
  };
  const server = tls ? https.createServer(tls, answer) : http.createServer(answer);
  server.on('clientError', (error, socket) => socket.destroy());
  return new Promise((resolve) => server.listen(port, host, () => resolve(server)));
}

// The addresses a browser can open it at: loopback's, or every network address of the machine.
function addresses(host) {
  if (host !== '0.0.0.0') return [host];
  return Object.values(os.networkInterfaces()).flat()
    .filter((a) => a.family === 'IPv4').map((a) => a.address);
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const [dir = '.', port = '8000', host = '127.0.0.1'] = process.argv.slice(2);
  const { CERT, KEY } = process.env;
  const tls = CERT && KEY ? { cert: fs.readFileSync(CERT), key: fs.readFileSync(KEY) } : null;
  const server = await serve(dir, Number(port), host, tls);
  console.log(`Serving ${dir}; open it at:`);
  for (const address of addresses(host))
    console.log(`  ${tls ? 'https' : 'http'}://${address}:${server.address().port}/`);
  if (host === '0.0.0.0' && !tls)
    console.log('Over plain HTTP a phone gets no audio worklet, service worker or playback session:' +
                ' give CERT and KEY for HTTPS (see the README).');
}
