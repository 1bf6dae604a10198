// The browser build in WebKit, the engine of every iPhone's browser, as Debian packages it
// (WebKitGTK's MiniBrowser under its WebDriver): in a virtual X display, its sound played into
// a PulseAudio null sink of the test's own. WebKit differs from Chromium exactly where the
// sound is delicate (what a worklet may be given, what globals it has, when a context may
// start), so here the page must start, choose the worklet, and sound a click on Coin at the
// output, exactly, and a screen reader's press of one of the page's own buttons.
//
//   node --test Tests/Web/    (after make web)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { Builder, By, Capabilities } from 'selenium-webdriver';
import { BUTTONS, SITE, site, siteWith, findClip } from './page.mjs';

const MINIBROWSER = ['/usr/lib/x86_64-linux-gnu', '/usr/lib/aarch64-linux-gnu', '/usr/lib']
  .map((dir) => `${dir}/webkit2gtk-4.1/MiniBrowser`).find((file) => fs.existsSync(file));

let work, processes = [], server, copy, driver;

// Starts a program in the background, to be stopped after the tests. Its output is not kept:
// a pipe no one reads would stop it once full.
function start(program, args, env = {}) {
  const child = spawn(program, args, { env: { ...process.env, ...env }, stdio: 'ignore' });
  processes.push(child);
  return child;
}

function freePort() {
  return new Promise((done) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => done(port));
    });
  });
}

// WebKit's driver now and then fails a call while the page is busy starting its sound: it
// cannot read a result back ("Could not parse script result"), or an action fails with no
// message. Asked again, it passes. Any other error is a failure.
const hiccup = (error) => /Could not parse script result/.test(error.message) ||
  (error.name === 'WebDriverError' && !error.message);

// Polls a script in the page until it gives something true.
async function until(script, what, seconds = 15) {
  const giveUp = Date.now() + seconds * 1000;
  for (;;) {
    let value, unread;
    try {
      value = await driver.executeScript(script);
    } catch (error) {
      if (!hiccup(error)) throw error;
      unread = error;
    }
    if (value) return value;
    if (Date.now() > giveUp) throw unread ?? new Error(`gave up waiting for ${what}`);
    await new Promise((done) => setTimeout(done, 100));
  }
}

before(async () => {
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'soundboard-webkit-'));
  // A display, and a sound server with one null sink, both the test's own.
  const display = await new Promise((done, fail) => {
    const x = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                    { stdio: ['ignore', 'pipe', 'ignore'] });
    processes.push(x);
    x.stdout.once('data', (data) => done(`:${String(data).trim()}`));
    x.once('exit', () => fail(new Error('Xvfb did not start')));
  });
  const pulse = path.join(work, 'pulse');
  fs.mkdirSync(pulse, { mode: 0o700 });
  const sound = { PULSE_RUNTIME_PATH: pulse, PULSE_STATE_PATH: pulse, PULSE_SERVER: `unix:${pulse}/native`, HOME: pulse };
  start('pulseaudio', ['-n', '--daemonize=no', '--exit-idle-time=-1',
                       '--load=module-null-sink sink_name=webkit rate=48000',
                       `--load=module-native-protocol-unix auth-anonymous=1 socket=${pulse}/native`], sound);
  const port = await freePort();
  start('WebKitWebDriver', [`--port=${port}`], { ...sound, DISPLAY: display, XDG_RUNTIME_DIR: work });
  // The site with the tests' ear before its own scripts (WebDriver has no hook for that).
  const page = fs.readFileSync(path.join(SITE, 'index.html'), 'utf8')
    .replace('<head>', '<head>\n<script src="ear.js"></script>');
  copy = siteWith({ 'index.html': page, 'ear.js': fs.readFileSync(new URL('ear.js', import.meta.url)) });
  server = await site(copy);
  const capabilities = new Capabilities();
  capabilities.set('browserName', 'MiniBrowser');
  capabilities.set('webkitgtk:browserOptions', { binary: MINIBROWSER, args: ['--automation'] });
  for (let tries = 0; !driver; tries++) {
    try {
      driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities(capabilities).build();
    } catch (error) {
      if (tries > 50) throw error;
      await new Promise((done) => setTimeout(done, 100));
    }
  }
});

after(async () => {
  await driver?.quit();
  await server?.close();
  for (const child of processes) child.kill();
  for (const dir of [copy, work]) if (dir) fs.rmSync(dir, { recursive: true, force: true });
});

// Where a point of the frame is, in the window's pixels, the frame letterboxed as the page does.
function inWindow([x, y]) {
  return driver.executeScript(`
    const page = soundboardBoot.frame.page(), box = soundboardBoot.frame.letterbox(page.width, page.height, page.insets);
    return [box.x + arguments[0] * box.scale, box.y + arguments[1] * box.scale].map(Math.round);`, x, y);
}

// A click of the mouse there; false if the driver hiccuped (the click may or may not have
// landed).
function click([x, y]) {
  return driver.actions({ async: true }).move({ x, y, origin: 'viewport' }).press().release().perform()
    .then(() => true, (error) => { if (hiccup(error)) return false; throw error; });
}

test('in WebKit the page starts with the mixer on the audio thread, a click on Coin is heard exactly, and so is a screen reader\'s press of the page\'s own Jump button', async () => {
  await driver.get(server.url);
  await until('return !!(window.Module && Module.calledRun && Module.page.mixing)', 'the start');
  assert.equal(await driver.executeScript('return Module.page.mixing'), 'audio thread');
  // The gesture that starts the sound, on a corner where no button is, so that the only Coin
  // heard is the click's below. The sound has started once its clock runs; a context whose
  // clock stood still is replaced by the page, and the ear must be on the one in use.
  const corner = await inWindow([5, 5]);
  for (let tries = 1; !await click(corner) && tries < 3; tries++);
  await until('return Module.page.audio.state === "running" && Module.page.audio.currentTime > 0', 'the sound to run');
  const [x, y] = BUTTONS.Coin;
  const coin = await inWindow([x + 20, y + 10]);
  // Heard from a new start each try, so that a click that half landed is forgotten.
  for (let tries = 1; ; tries++) {
    await until(`window.listening = Module.page.audio;
      window.recording = false;
      ear.start(listening).then(() => { recording = true; });
      return true;`, 'the ear');
    await until('return recording', 'the ear to record');
    if (!await click(coin) && tries < 3) continue;
    const heard = await until(`const found = (${findClip})('Coin.wav', 4096, 0);
      return listening !== Module.page.audio ? 'replaced' : found.at >= 0 && found.recorded >= 4096 && found;`, 'Coin at the output');
    if (heard === 'replaced' && tries < 3) continue;
    assert.equal(heard.matched, 4096, `${heard.matched} frames as the clip's, then not`);
    break;
  }
  // Once Coin is over, a screen reader's activation of Jump: a click on the page's element.
  await until(`const frames = Module.bundle.clips['/bundle/Coin.wav'].channels[0].length;
    return (${findClip})('Coin.wav', frames, 0).matched === frames;`, 'the whole of Coin');
  await until(`window.recording = false;
    ear.start(listening).then(() => { recording = true; });
    return true;`, 'the ear');
  await until('return recording', 'the ear to record');
  const jump = await driver.findElement(By.css('#elements [aria-label="Jump"]'));
  await driver.executeScript('arguments[0].click()', jump);
  const heard = await until(`const found = (${findClip})('Jump.wav', 4096, 0);
    return found.at >= 0 && found.recorded >= 4096 && found;`, 'Jump at the output');
  assert.equal(heard.matched, 4096, `${heard.matched} frames of Jump as the clip's, then not`);
});
