// The loopback server as a hostile client meets it, and as a user starts it: a name with a NUL,
// methods that are not reads, a link out of its folder, many large files at once; a missing
// folder, a port already taken. It answers each plainly, holds no file whole in memory, goes on
// serving, and says in one line what stops it from starting.
//
//   node --test Tests/Web/
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
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
  fs.symlinkSync('/etc/passwd', path.join(dir, 'passwd'));
  fs.symlinkSync('/etc', path.join(dir, 'etc'));
  fs.writeFileSync(path.join(dir, 'page.js'), 'let page = 1;');
  fs.writeFileSync(path.join(dir, 'page.js.gz'), 'an older copy');  // made before page.js changed
  fs.utimesSync(path.join(dir, 'page.js.gz'), new Date(0), new Date(0));
  server = await serve(dir);
  port = server.address().port;
});
after(async () => {
  server.closeAllConnections();
  await new Promise((done) => server.close(done));
  fs.rmSync(dir, { recursive: true, force: true });
});

// A request's status and body, as raw as the client sent it.
function ask(method, url, headers = {}) {
  return new Promise((done, fail) => {
    const request = http.request({ port, method, path: url, headers }, (response) => {
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
  // Links out of the folder lead nowhere; a compressed copy older than its file is not sent.
  for (const url of ['/passwd', '/etc/hostname']) assert.equal((await ask('GET', url)).status, 404, url);
  const script = await ask('GET', '/page.js', { 'accept-encoding': 'gzip' });
  assert.deepEqual([script.body, script.headers['content-encoding']], ['let page = 1;', undefined]);
});

test('a missing folder or a taken port is said in one line, and the server does not start', { timeout: 10000 }, () => {
  const start = (...args) => spawnSync(process.execPath, [new URL('../../Web/serve.mjs', import.meta.url).pathname, ...args], { encoding: 'utf8', timeout: 5000 });
  for (const run of [start(path.join(dir, 'missing')), start(dir, String(port))]) {
    assert.equal(run.status, 1);
    assert.equal(run.stderr.trim().split('\n').length, 1, run.stderr);
    assert.match(run.stderr, /^serve\.mjs: cannot serve/);
  }
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
