// The loopback server as a hostile client meets it: a name with a NUL, methods that are not
// reads, many large files at once; it answers each plainly, holds no file whole in memory, and
// goes on serving.
//
//   node --test Tests/Web/
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { serve } from '../../Web/serve.mjs';

let dir, server, port;
before(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'soundboard-serve-'));
  fs.writeFileSync(path.join(dir, 'index.html'), '<p>hello</p>');
  fs.closeSync(fs.openSync(path.join(dir, 'big.bin'), 'w'));
  fs.truncateSync(path.join(dir, 'big.bin'), 200 << 20);  // 200 MB, sparse
  server = await serve(dir);
  port = server.address().port;
});
after(async () => {
  server.closeAllConnections();
  await new Promise((done) => server.close(done));
  fs.rmSync(dir, { recursive: true, force: true });
});

// A request's status and body, as raw as the client sent it.
function ask(method, url) {
  return new Promise((done, fail) => {
    const request = http.request({ port, method, path: url }, (response) => {
      let body = '';
      response.on('data', (chunk) => { body += chunk; });
      response.on('end', () => done({ status: response.statusCode, body, headers: response.headers }));
    });
    request.on('error', fail);
    request.end();
  });
}

test('a name with a NUL is refused and the server goes on; only GET and HEAD are answered', { timeout: 10000 }, async () => {
  assert.equal((await ask('GET', '/%00')).status, 400);
  assert.equal((await ask('GET', '/index.html%00.png')).status, 400);
  for (const method of ['POST', 'PUT', 'DELETE', 'OPTIONS']) {
    const { status, headers } = await ask(method, '/index.html');
    assert.equal(status, 405, method);
    assert.equal(headers.allow, 'GET, HEAD');
  }
  const head = await ask('HEAD', '/index.html');
  assert.deepEqual([head.status, head.body, head.headers['content-length']], [200, '', '12']);
  const index = await ask('GET', '/');
  assert.deepEqual([index.status, index.body], [200, '<p>hello</p>']);
});

test('ten clients reading a 200 MB file at once cost the server little memory', { timeout: 10000 }, async () => {
  const before = process.memoryUsage().rss;
  const clients = await Promise.all(Array.from({ length: 10 }, () => new Promise((done, fail) => {
    const request = http.get({ port, path: '/big.bin' }, (response) => {
      response.once('data', () => { response.pause(); done(request); });
    });
    request.on('error', fail);
  })));
  await new Promise((done) => setTimeout(done, 500));  // what the server would read meanwhile
  const grown = (process.memoryUsage().rss - before) / (1 << 20);
  for (const request of clients) request.destroy();
  assert.ok(grown < 100, `${grown.toFixed(0)} MB more resident`);
});
