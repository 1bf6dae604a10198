// A static file server, for a look at the built site and for its tests:
//   node Web/serve.mjs DIR [PORT [HOST]]     (PORT 0: any free one; HOST: 127.0.0.1)
// HOST 0.0.0.0 (or ::) serves on every address of the machine, for a phone on the same network;
// with CERT and KEY (PEM files) in the environment it serves HTTPS. Prints the addresses to open
// once it listens.
//
// It serves as a static host should serve the site (the README says so for other hosts):
// - files only from DIR, whose real path (links followed) is inside it, to GET and HEAD,
//   streamed so that a large file never sits in memory; no request, however made, can stop it;
// - a file's .br or .gz copy beside it (Web/site.mjs makes them) to a browser that takes it;
// - a file named by its contents (NAME.0123456789.ext) as one that never changes, to be kept
//   for a year; any other to be asked for again each time, with a validator (ETag) so that an
//   unchanged one costs a round trip and no body;
// - the types the site needs (WebAssembly's for streaming compilation, MP3, WebP).
import http from 'node:http';
import https from 'node:https';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
  '.wasm': 'application/wasm', '.json': 'application/json',
  '.webmanifest': 'application/manifest+json', '.png': 'image/png', '.webp': 'image/webp',
  '.wav': 'audio/wav', '.mp3': 'audio/mpeg', '.pack': 'application/octet-stream',
};
const kNamedByContents = /\.[0-9a-f]{10}\.[a-z0-9]+$/;

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

// The copy to send: the file's own, or its .br or .gz (a file, not a link, and no older than
// the file: a file changed after its copies were made is sent as it is) where the browser
// takes that encoding.
function variant(file, accepted, done) {
  const encodings = [['br', '.br'], ['gzip', '.gz']].filter(([name]) => accepted.includes(name));
  fs.stat(file, (error, own) => {
    const next = (i) => {
      if (error || i === encodings.length) return done(file, null);
      fs.lstat(file + encodings[i][1], (copyError, stat) => (copyError || !stat.isFile() || stat.mtimeMs < own.mtimeMs
        ? next(i + 1) : done(file + encodings[i][1], encodings[i][0])));
    };
    next(0);
  });
}

function handle(root, request, response, log, options) {
  if (request.method !== 'GET' && request.method !== 'HEAD') {
    answer(response, 405, 'only GET and HEAD', { Allow: 'GET, HEAD' });
    return;
  }
  const file = fileFor(root, request.url);
  if (!file) {
    answer(response, 400, 'bad name');
    return;
  }
  const notFound = () => {
    log(request, 404, 0);
    answer(response, 404, 'not found');
  };
  // Its real path must lie in the folder too: a link may point anywhere.
  fs.realpath(file, (error, real) => {
    if (error || (real !== root && !real.startsWith(root + path.sep))) return notFound();
    variant(real, String(request.headers['accept-encoding'] ?? ''), (sent, encoding) => {
      fs.stat(sent, (statError, stat) => {
        if (statError || !stat.isFile()) return notFound();
        const tag = `"${stat.size.toString(36)}-${Math.floor(stat.mtimeMs).toString(36)}"`;
        const headers = {
          'Content-Type': types[path.extname(real)] ?? 'application/octet-stream',
          'Cache-Control': options.cache ? `max-age=${options.cache}`
            : kNamedByContents.test(real) ? 'public, max-age=31536000, immutable' : 'no-cache',
          ETag: tag, Vary: 'Accept-Encoding',
          ...(encoding ? { 'Content-Encoding': encoding } : {}),
        };
        if (request.headers['if-none-match'] === tag) {
          log(request, 304, 0);
          response.writeHead(304, headers);
          response.end();
          return;
        }
        response.writeHead(200, { ...headers, 'Content-Length': stat.size });
        log(request, 200, request.method === 'HEAD' ? 0 : stat.size);
        if (request.method === 'HEAD') {
          response.end();
          return;
        }
        const stream = fs.createReadStream(sent);
        stream.on('error', () => response.destroy());
        response.on('close', () => stream.destroy());
        stream.pipe(response);
      });
    });
  });
}

// tls: {cert, key} for HTTPS, or nothing. log(request, status, bytes), if given, hears of every
// file answered. options.cache, seconds: every file may be kept that long, as many static hosts
// say (for the tests of what such a host does). Fails (with the system's error) when the folder
// is missing or the port taken.
export function serve(root, port = 0, host = '127.0.0.1', tls = null, log = () => {}, options = {}) {
  let base;
  try {
    base = fs.realpathSync(root);
    if (!fs.statSync(base).isDirectory()) throw new Error(`${root} is not a folder`);
  } catch (error) {
    return Promise.reject(error);
  }
  const respond = (request, response) => {
    try {
      handle(base, request, response, log, options);
    } catch {
      response.destroy();
    }
  };
  const server = tls ? https.createServer(tls, respond) : http.createServer(respond);
  server.on('clientError', (error, socket) => socket.destroy());
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => {
      server.off('error', reject);
      resolve(server);
    });
  });
}

// The addresses a browser can open it at: its own, or every network address of the machine.
function addresses(host) {
  const all = host === '0.0.0.0' ? ['IPv4'] : host === '::' ? ['IPv4', 'IPv6'] : null;
  const list = all
    ? Object.values(os.networkInterfaces()).flat().filter((a) => all.includes(a.family)).map((a) => a.address)
    : [host];
  return list.map((address) => (address.includes(':') ? `[${address}]` : address));
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const [dir = '.', port = '8000', host = '127.0.0.1'] = process.argv.slice(2);
  const { CERT, KEY } = process.env;
  try {
    const tls = CERT && KEY ? { cert: fs.readFileSync(CERT), key: fs.readFileSync(KEY) } : null;
    const server = await serve(dir, Number(port), host, tls);
    console.log(`Serving ${dir}; open it at:`);
    for (const address of addresses(host))
      console.log(`  ${tls ? 'https' : 'http'}://${address}:${server.address().port}/`);
    if (!tls && host !== '127.0.0.1' && host !== 'localhost' && host !== '::1')
      console.log('Over plain HTTP a phone gets no audio worklet, service worker or playback session:' +
                  ' give CERT and KEY for HTTPS (see the README).');
  } catch (error) {
    console.error(`serve.mjs: cannot serve ${dir} on ${host}:${port}: ${error.message}`);
    process.exit(1);
  }
}
