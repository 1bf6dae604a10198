// The browser build in headless Chromium, at a phone's pixel density with touch: what the
// canvas shows under a finger, what reaches the output (ear.js) with the page idle and busy,
// with and without audio worklets, the clock, a missing clip, a second visit with no network,
// and a phone's gesture rule.
//
//   node --test Tests/Web/    (after make web; WEB_SITE names another built site)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {
  BUTTONS, FRAME, SITE, NATIVE_BUNDLE, launch, launchProfile, site, siteWith, openPage, closePage, started,
  look, until, down, up, press, shows, waitShown, record, waitHeard, waitClip, waitPieceOf, recorded,
  firstSound, heard,
} from './page.mjs';
import { readList } from '../../Web/site.mjs';

let browser, server;
before(async () => { browser = await launch(); server = await site(); });
after(async () => { await browser?.close(); await server?.close(); });

// Waits for `frames` frames of sound at the output, then checks they are the named clip's from
// its first sample, where the clip is first heard.
async function assertHeard(page, name, frames, what, from = 0) {
  const { at, matched } = await waitClip(page, name, frames, from);
  assert.equal(matched, frames, `${what}: ${matched} frames as the clip's, then not`);
  return at;
}

// The frames and rate of a 16-bit WAV file of the bundle the site was made from, read here,
// apart from the browser.
function wavLength(name) {
  const bytes = fs.readFileSync(path.join(NATIVE_BUNDLE, name));
  let rate = 0, channels = 1;
  for (let at = 12; at + 8 <= bytes.length; at += 8 + bytes.readUInt32LE(at + 4)) {
    const id = bytes.toString('latin1', at, at + 4);
    if (id === 'fmt ') [channels, rate] = [bytes.readUInt16LE(at + 10), bytes.readUInt32LE(at + 12)];
    if (id === 'data') return { frames: bytes.readUInt32LE(at + 4) / 2 / channels, rate };
  }
  throw new Error(`${name}: no data`);
}

test('a finger held on Coin shows its pressed picture and its whole clip is heard, at the device\'s own rate; lifted, its normal picture', async () => {
  const page = await openPage(browser, server.url);
  assert.equal(await look(page, () => Module.page.mixing), 'audio thread');
  const [x, y] = BUTTONS.Coin;
  await waitShown(page, 'Coin1', x, y);
  await record(page);
  await press(page, 'Coin');
  await waitShown(page, 'Coin2', x, y);
  const held = await shows(page, 'Coin1', x, y);
  assert.ok(held.matched < held.opaque, 'the normal picture is gone while held');
  // The context runs at the output's own rate (44.1 kHz in this browser), and the clip at
  // it is as long as the file says.
  const { rate, deviceRate, frames } = await look(page, async () => {
    const other = new AudioContext();
    const deviceRate = other.sampleRate;
    await other.close();
    return { rate: Module.page.audio.sampleRate, deviceRate, frames: Module.bundle.clips['/bundle/Coin.wav'].channels[0].length };
  });
  assert.equal(rate, deviceRate);
  const file = wavLength('Coin.wav');
  assert.ok(Math.abs(frames - file.frames * rate / file.rate) <= 1, `${frames} frames at ${rate} Hz`);
  await assertHeard(page, 'Coin.wav', frames, 'the whole Coin clip from its first sample');
  await up(page);
  await waitShown(page, 'Coin1', x, y);
  // What the site sends is the bundle's: the clip (MP3) starts on the WAV's first sample and is
  // near it throughout, both decoded by this browser at this rate; the picture (WebP) is the
  // PNG's, pixel for pixel.
  const wav = fs.readFileSync(path.join(NATIVE_BUNDLE, 'Coin.wav')).toString('base64');
  const png = fs.readFileSync(path.join(NATIVE_BUNDLE, 'Coin1@2x.png')).toString('base64');
  const same = await look(page, async ([wav, png]) => {
    const bytes = (b64) => Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const source = (await Module.page.audio.decodeAudioData(bytes(wav).buffer)).getChannelData(0);
    const sent = Module.bundle.clips['/bundle/Coin.wav'].channels[0];
    const error = (shift) => {
      let signal = 0, noise = 0;
      for (let i = 2000; i < source.length - 2000; i++) { signal += source[i] ** 2; noise += (source[i] - sent[i + shift]) ** 2; }
      return [signal, noise];
    };
    let best = 0;
    for (let shift = -600; shift <= 600; shift++) if (error(shift)[1] < error(best)[1]) best = shift;
    const [signal, noise] = error(0);
    const decoder = new ImageDecoder({data: bytes(png), type: 'image/png', premultiplyAlpha: 'none', colorSpaceConversion: 'none'});
    const frame = (await decoder.decode()).image;
    const pixels = new Uint8Array(frame.codedWidth * frame.codedHeight * 4);
    await frame.copyTo(pixels, {format: 'RGBA'});
    const picture = Module.bundle.pictures['/bundle/Coin1@2x.png'].rgba;
    return {shift: best, snr: 10 * Math.log10(signal / noise), pixels: pixels.length === picture.length && pixels.every((v, i) => v === picture[i])};
  }, [wav, png]);
  assert.equal(same.shift, 0, 'the clip starts where the WAV does');
  assert.ok(same.snr > 15, `the clip is ${same.snr.toFixed(1)} dB from the WAV`);
  assert.ok(same.pixels, 'the picture is the PNG\'s');
  assert.deepEqual(page.warnings, [], 'nothing to warn of on the way');
  await closePage(page);
});

test('a program of one\'s own, made a site by the same function, shows its button pressed and sounds its clip', async () => {
  const hello = await site(path.join(SITE, '..', 'hello'));
  try {
    const page = await openPage(browser, hello.url);
    await waitShown(page, 'Coin1', 40, 320);
    await record(page);
    await down(page, 60, 330);
    await waitShown(page, 'Coin2', 40, 320);
    await assertHeard(page, 'Coin.wav', 4096, 'Hello\'s Coin from its first sample');
    await up(page);
    assert.deepEqual(await named(page), { title: 'Hello', heading: ['Hello'], buttons: ['Coin', 'Jump'], images: [] });
    assert.deepEqual(page.warnings, [], 'nothing to warn of on the way');
    await closePage(page);
  } finally {
    await hello.close();
  }
});

// What a screen reader finds on the page: its title, and the names of its headings, buttons and
// pictures' texts, in order.
async function named(page) {
  const nodes = (await page.devtools.send('Accessibility.getFullAXTree')).nodes.filter((n) => !n.ignored);
  const names = (role) => nodes.filter((n) => n.role?.value === role).map((n) => n.name?.value);
  return { title: await page.title(), heading: names('heading'), buttons: names('button'), images: names('image') };
}

test('a screen reader finds the program\'s name, its texts and its nine buttons by name where they are drawn; Tab reaches each in the engine\'s order; a screen reader\'s press and Space are heard; axe finds nothing to fault', async () => {
  const page = await openPage(browser, server.url);
  const order = ['Theme', 'Die', 'Kart', 'Shroom', 'Coin', 'Warning', 'Clear', '1Up', 'Jump'];
  assert.deepEqual(await named(page), {
    title: 'Soundboard', heading: ['Soundboard'], buttons: order.map((name) => name.replace('1Up', '1-Up')),
    images: ['Soundboard: tap a button, hear a sound', 'All pictures and sounds are original, made for this program.'],
  });
  // Each button lies over its picture, as the letterbox places the frame.
  const misplaced = await look(page, ([buttons, order]) => {
    const page = soundboardBoot.frame.page(), box = soundboardBoot.frame.letterbox(page.width, page.height, page.insets);
    return order.filter((name, i) => {
      const at = document.querySelectorAll('#elements button')[i].getBoundingClientRect();
      const [x, y] = buttons[name];
      return Math.abs(at.left - (box.x + x * box.scale)) > 0.5 || Math.abs(at.top - (box.y + y * box.scale)) > 0.5 || at.width < 40;
    });
  }, [BUTTONS, order]);
  assert.deepEqual(misplaced, []);
  // A screen reader's activation is a click on the button: a press and a release, heard whole.
  await record(page);
  await look(page, () => document.querySelector('#elements [aria-label="Coin"]').click());
  const frames = await look(page, () => Module.bundle.clips['/bundle/Coin.wav'].channels[0].length);
  await assertHeard(page, 'Coin.wav', frames, 'Coin, pressed by a screen reader');
  // Tab goes through the buttons in the order the program made them; Space holds the last down.
  for (const name of order) {
    await page.keyboard.press('Tab');
    assert.equal(await look(page, () => document.activeElement.getAttribute('aria-label')), name.replace('1Up', '1-Up'));
  }
  const [x, y] = BUTTONS.Jump;
  await record(page);
  await page.keyboard.down(' ');
  await waitShown(page, 'Jump2', x, y);
  await assertHeard(page, 'Jump.wav', 4096, 'Jump, pressed by Space');
  await page.keyboard.up(' ');
  await waitShown(page, 'Jump1', x, y);
  const axe = fs.readFileSync(new URL('node_modules/axe-core/axe.min.js', import.meta.url), 'utf8');
  const violations = await look(page, async (axe) => {
    (0, eval)(axe);
    return (await window.axe.run(document)).violations.map((v) => `${v.id}: ${v.nodes.length}`);
  }, axe);
  assert.deepEqual(violations, []);
  await closePage(page);
});

test('a second press on a clip still sounding starts it again from its first sample', async () => {
  const page = await openPage(browser, server.url);
  await record(page);
  await press(page, 'Coin');
  await up(page);
  const first = await assertHeard(page, 'Coin.wav', 4096, 'the first press');
  await press(page, 'Coin');
  await up(page);
  await assertHeard(page, 'Coin.wav', 4096, 'the second press, from the first sample', first + 1);
  await closePage(page);
});

test('with the page\'s own thread blocked 40 ms in every 150, Theme is heard with no sample lost or repeated', async () => {
  const page = await openPage(browser, server.url);
  await look(page, () => {
    setInterval(() => { const end = performance.now() + 40; while (performance.now() < end); }, 150);
  });
  await record(page);
  await press(page, 'Theme');
  await up(page);
  const frames = await look(page, () => Module.page.audio.sampleRate * 2);
  await assertHeard(page, 'Theme.wav', frames, 'two seconds of Theme');
  await closePage(page);
});

test('without audio worklets the page mixes on its own thread, and a press still sounds', async () => {
  const page = await openPage(browser, server.url, { worklet: false });
  assert.equal(await look(page, () => Module.page.mixing), 'page');
  await record(page);
  await press(page, 'Coin');
  await up(page);
  // A script processor's buffers come late now and then: a piece of the clip is enough.
  await waitPieceOf(page, 'Coin.wav', 256);
  await closePage(page);
});

// A 16-bit WAV_FORMAT_EXTENSIBLE file naming its speakers by `mask`, each channel holding its
// value (a fraction of full scale) for `seconds`.
function surroundWav(rate, mask, values, seconds) {
  const channels = values.length, frames = Math.round(rate * seconds), data = frames * channels * 2;
  const b = Buffer.alloc(68 + data);
  b.write('RIFF', 0); b.writeUInt32LE(60 + data, 4); b.write('WAVEfmt ', 8); b.writeUInt32LE(40, 16);
  b.writeUInt16LE(0xfffe, 20); b.writeUInt16LE(channels, 22); b.writeUInt32LE(rate, 24);
  b.writeUInt32LE(rate * channels * 2, 28); b.writeUInt16LE(channels * 2, 32); b.writeUInt16LE(16, 34);
  b.writeUInt16LE(22, 36); b.writeUInt16LE(16, 38); b.writeUInt32LE(mask, 40);
  Buffer.from('0100000000001000800000aa00389b71', 'hex').copy(b, 44);  // PCM
  b.write('data', 60); b.writeUInt32LE(data, 64);
  for (let i = 0; i < frames * channels; i++) b.writeInt16LE(Math.round(values[i % channels] * 32767), 68 + 2 * i);
  return b;
}

test('a surround clip is mixed down by its speakers, as on a desktop', async () => {
  // Quad: front left and right, back left and right. Left is the mean of the left ones, right
  // of the right ones.
  const copy = siteWith({ 'Coin.wav': surroundWav(48000, 0x33, [0.5, 0.25, 0.125, -0.5], 0.5) });
  const quad = await site(copy);
  try {
    const page = await openPage(browser, quad.url);
    await record(page);
    await press(page, 'Coin');
    await up(page);
    await waitHeard(page, 8192);
    const { sound } = await recorded(page);
    const middle = firstSound(sound) + 8000;  // away from the ends, where resampling rings
    assert.ok(Math.abs(sound[middle] - 0.625 / 2 * 32767) <= 2, `left: ${sound[middle]}`);
    assert.ok(Math.abs(sound[middle + 1] + 0.25 / 2 * 32767) <= 2, `right: ${sound[middle + 1]}`);
    await closePage(page);
  } finally {
    await quad.close();
    fs.rmSync(copy, { recursive: true, force: true });
  }
});

test('a press on a clip still on its way sounds from its first sample if the clip comes within the bound, and never later', async () => {
  // The browser decodes no clip until the test lets it, and the page's clock is the test's to
  // move on.
  const page = await openPage(browser, server.url, { clips: false, before: (page) => page.addInitScript(() => {
    let release;
    const held = new Promise((done) => { release = done; });
    window.releaseClips = release;
    const decode = BaseAudioContext.prototype.decodeAudioData;
    BaseAudioContext.prototype.decodeAudioData = function (...args) {
      return held.then(() => decode.apply(this, args));
    };
    const now = performance.now.bind(performance);
    let ahead = 0;
    performance.now = () => now() + ahead;
    window.moveClock = (ms) => { ahead += ms; };
  }) });
  assert.equal(await look(page, () => Module.bundle.pending['/bundle/Shroom.wav']), true);
  await record(page);
  await press(page, 'Shroom');
  await waitShown(page, 'Shroom2', ...BUTTONS.Shroom);  // the program runs without it
  await up(page);
  await look(page, () => moveClock(kEngine.latePlayMs + 100));  // Shroom's press is past its bound
  await press(page, 'Coin');
  await up(page);
  await look(page, () => { releaseClips(); });
  await assertHeard(page, 'Coin.wav', 4096, 'Coin, come within its bound');
  await waitHeard(page, 48000);
  assert.equal((await heard(page, 'Shroom.wav', 256)).at, -1, 'Shroom, come past its bound, is never heard');
  await closePage(page);
});

test('two quick presses on two buttons sound together, their sum saturated', async () => {
  const page = await openPage(browser, server.url);
  await record(page);
  await press(page, 'Coin');
  await up(page);
  await press(page, 'Jump');
  await up(page);
  await waitHeard(page, 24000);
  const { sound, clips: [coin, jump] } = await recorded(page, 'Coin.wav', 'Jump.wav');
  const coinAt = firstSound(sound) - firstSound(coin);
  const clamp = (v) => Math.max(-32768, Math.min(32767, v));
  const coinOnly = (i) => (i >= coinAt && i - coinAt < coin.length ? coin[i - coinAt] : 0);
  let jumpAt = sound.findIndex((s, i) => s !== coinOnly(i));
  assert.ok(jumpAt > coinAt, 'the Jump clip is heard');
  jumpAt -= firstSound(jump);
  assert.ok(jumpAt < coinAt + coin.length, 'the two clips overlap');
  const end = Math.min(sound.length, coinAt + coin.length, jumpAt + jump.length) & ~1;
  const expected = [];
  for (let i = coinAt; i < end; i++) expected.push(clamp(coinOnly(i) + (i >= jumpAt ? jump[i - jumpAt] : 0)));
  assert.deepEqual(sound.slice(coinAt, end), expected);
  await closePage(page);
});

test('the sprite moves one step a tick, 30 ticks a second, never ahead of the clock', async () => {
  const page = await openPage(browser, server.url);
  // Each display frame, where the sprite is and when. It is found by its opaque pixels, most of
  // them, as it passes under the buttons; its places are whole ticks of two points each way,
  // four pixels here.
  const track = await look(page, () => new Promise(async (done) => {
    const picture = Module.bundle.pictures['/bundle/Pindle@2x.png'];
    const canvas = document.getElementById('screen');
    const [width, height] = [canvas.clientWidth * devicePixelRatio, canvas.clientHeight * devicePixelRatio];
    const opaque = [];
    for (let i = 0; i < picture.rgba.length; i += 4 * 5) if (picture.rgba[i + 3] === 255) opaque.push(i);
    const likeness = (seen, x, y) => {
      let same = 0;
      for (const i of opaque) {
        const p = i / 4, s = ((y + Math.floor(p / picture.width)) * width + x + (p % picture.width)) * 4;
        if (seen[s] === picture.rgba[i] && seen[s + 1] === picture.rgba[i + 1] && seen[s + 2] === picture.rgba[i + 2]) same++;
      }
      return same / opaque.length;
    };
    const find = async (near) => {
      const seen = await Module.page.read(0, 0, width, height);
      const [x0, x1, y0, y1] = near
        ? [near[0] - 24, near[0] + 24, near[1] - 24, near[1] + 24]
        : [0, width - picture.width, 0, height - picture.height];
      let best = null, bestLikeness = 0.4;
      for (let y = Math.max(0, y0); y <= Math.min(height - picture.height, y1); y += 4) {
        for (let x = Math.max(0, x0); x <= Math.min(width - picture.width, x1); x += 4) {
          const l = likeness(seen, x, y);
          if (l > bestLikeness) [best, bestLikeness] = [[x, y], l];
        }
      }
      return best;
    };
    const places = [];
    let last = await find(null);
    const t0 = performance.now();
    const frame = async () => {
      last = (last && await find(last)) ?? await find(null);
      places.push([performance.now() - t0, last]);
      if (performance.now() - t0 < 1500) requestAnimationFrame(frame);
      else done(places);
    };
    requestAnimationFrame(frame);
  }));
  // It may pass wholly under a button (Die's) for a few frames.
  const seen = track.map((entry, frame) => [...entry, frame]).filter(([, place]) => place);
  assert.ok(seen.length >= track.length * 0.75, `the sprite is seen in ${seen.length} of ${track.length} frames`);
  let steps = 0;
  for (let i = 1; i < seen.length; i++) {
    const [x0, y0] = seen[i - 1][1], [x1, y1] = seen[i][1];
    const dy = Math.abs(y1 - y0) / 4;  // two points at two pixels a point
    if (seen[i][2] === seen[i - 1][2] + 1) assert.equal(Math.abs(x1 - x0) / 4, dy, 'a step is as far across as down');
    steps += dy;
    const elapsed = track[i][0];
    assert.ok(steps <= Math.floor(elapsed * 30 / 1000) + 2, `${steps} steps at ${elapsed.toFixed(0)} ms: ahead of the clock`);
  }
  const seconds = seen.at(-1)[0] / 1000;
  assert.ok(steps >= 15 * seconds, `${steps} steps in ${seconds.toFixed(2)} s: the clock stalls`);
  await closePage(page);
});

test('a missing, broken, huge or endless clip leaves its button silent; a bad picture, a name that climbs out, a pack cut short, each leaves out only itself; the rest works', async () => {
  const garbage = Buffer.from('not a picture at all, though named like one');
  const broken = Buffer.concat([Buffer.from('RIFF\x24\x00\x00\x00WAVEfmt '), Buffer.alloc(64, 0x5a)]);
  // 1500 s of 8-bit sound at 8 kHz: 12 MB, but 260 MB as the mixer holds it at this rate.
  const long = Buffer.alloc(44 + 12e6, 0x80);
  long.write('RIFF', 0); long.writeUInt32LE(36 + 12e6, 4); long.write('WAVEfmt ', 8); long.writeUInt32LE(16, 16);
  long.writeUInt16LE(1, 20); long.writeUInt16LE(1, 22); long.writeUInt32LE(8000, 24); long.writeUInt32LE(8000, 28);
  long.writeUInt16LE(1, 32); long.writeUInt16LE(8, 34); long.write('data', 36); long.writeUInt32LE(12e6, 40);
  const picture = fs.readFileSync(path.join(NATIVE_BUNDLE, 'Coin1@2x.png'));
  const copy = siteWith({ 'Shroom.wav': null, 'Die.wav': broken, 'Theme.wav': long, 'Kart1.png': garbage,
                          'Kart1@2x.png': garbage, '../Evil@2x.png': picture, 'Coin1@2x.png/Inner@2x.png': picture });
  // Clear's file swapped on the host for 200 MB, past the bound, after the site was made; the
  // pictures of two densities cut short of their last file (Warning's pressed one), as by a deploy
  // under way: neither twin comes.
  const list = readList(copy), clear = list.clips.find((clip) => clip.name === 'Clear.wav').url;
  fs.writeFileSync(path.join(copy, clear), broken);
  fs.truncateSync(path.join(copy, clear), 200 << 20);
  for (const density of [1, 2]) {
    const pack = path.join(copy, list.pictures[density].url);
    fs.truncateSync(pack, fs.statSync(pack).size - 100);
  }
  const partial = await site(copy);
  try {
    const received = {};  // bytes the page took of each file
    const page = await openPage(browser, partial.url, { before: async (page) => {
      const names = {};
      page.devtools.on('Network.requestWillBeSent', (e) => { names[e.requestId] = e.request.url.split('/').pop(); });
      page.devtools.on('Network.dataReceived', (e) => {
        received[names[e.requestId]] = (received[names[e.requestId]] ?? 0) + e.dataLength;
      });
      await page.devtools.send('Network.enable');
      await page.addInitScript(() => {  // the largest file the browser is asked to decode
        window.decoded = 0;
        const decode = BaseAudioContext.prototype.decodeAudioData;
        BaseAudioContext.prototype.decodeAudioData = function (bytes, ...rest) {
          window.decoded = Math.max(window.decoded, bytes.byteLength);
          return decode.call(this, bytes, ...rest);
        };
      });
    } });
    await until(page, () => Object.keys(Module.bundle.pending).length === 0, null, 'the clips');
    for (const name of ['Die.wav', 'Clear.wav', 'Theme.wav', 'Kart1@2x.png', '../Evil@2x.png', 'Warning2@2x.png', 'Warning2.png']) {  // Shroom: not there
      assert.ok(page.warnings.some((w) => w.includes(`${name} left out`)), `${name}: ${page.warnings}`);
    }
    assert.ok(page.warnings.some((w) => w.includes('Theme.wav left out: longer than')), 'Theme refused by its length');
    assert.ok(await look(page, () => window.decoded) < 1e6, 'Theme never decoded');
    assert.ok((received[clear] ?? 0) < 16 << 20, `${received[clear]} bytes of Clear's file taken`);
    await until(page, () => true, null, 'a frame');
    assert.ok(page.printed.includes('ImageAdd - File not found: Kart1.png'), `printed: ${page.printed}`);
    await waitShown(page, 'Images/EmptyRed', ...BUTTONS.Kart);
    const [x, y] = BUTTONS.Shroom;
    await record(page);
    await press(page, 'Shroom');
    await waitShown(page, 'Shroom2', x, y);  // the button still works, and shows it
    // A tenth of a second of buffers mixed after the press, all silent.
    await waitHeard(page, 4800, { fromStart: true });
    await up(page);
    const quiet = await recorded(page);
    assert.equal(firstSound(quiet.sound), -1, 'Shroom is silent');
    await record(page);
    await press(page, 'Warning');  // its pressed picture never came: the reserved one, and its clip
    await until(page, async ([x, y]) => {  // the reserved picture's red, across the button
      const box = soundboardBoot.frame.placed(soundboardBoot.frame.page(document.getElementById('screen'))).box;
      const red = Module.bundle.pictures['/bundle/Images/EmptyRed.png'].rgba;
      const seen = await Module.page.read(Math.round(box.x + (x + 20) * box.scale), Math.round(box.y + (y + 10) * box.scale), 1, 1);
      return [0, 1, 2].every((c) => seen[c] === red[c]);
    }, BUTTONS.Warning, 'the reserved picture on Warning', 15);  // once the cut pack is known to end
    await up(page);
    await assertHeard(page, 'Warning.wav', 2048, 'Warning still plays');
    await closePage(page);
  } finally {
    await partial.close();
    fs.rmSync(copy, { recursive: true, force: true });
  }
});

test('pictures that fail before their list (missing, not a pack, a list that never ends) are said so at once, and the program runs', async () => {
  const list = readList(SITE), pack = list.pictures[2].url;
  for (const [bytes, said] of [[null, 'HTTP 404'], [Buffer.from('<html>not found</html>\n\n'), 'not a picture pack'],
                               [Buffer.alloc(60 << 20, 0x41), 'its list is longer than']]) {
    const copy = siteWith({ [pack]: bytes });
    const broken = await site(copy);
    try {
      const page = await openPage(browser, broken.url, { clips: false });
      assert.ok(page.warnings.some((w) => w.includes(`pictures (${pack}) cut short: ${said}`)), `${said}: ${page.warnings}`);
      assert.ok(!page.warnings.some((w) => /audio/i.test(w)), `${page.warnings}`);
      await closePage(page);
    } finally {
      await broken.close();
      fs.rmSync(copy, { recursive: true, force: true });
    }
  }
});

test('a first visit sends each file once, and only what this screen needs; a sharper screen takes its own pictures; the next visit starts and sounds with no network', async () => {
  const sent = {};  // bodies sent, by path
  const own = await site(SITE, { log: (file, status) => { if (status === 200) sent[file] = (sent[file] ?? 0) + 1; } });
  const page = await openPage(browser, own.url, { width: 390, height: 844 });  // a phone's shape
  assert.equal(await look(page, () => Module.page.offline), true, 'the offline copy is made');
  const list = readList(SITE);
  const twice = Object.keys(sent).filter((file) => sent[file] > 1);
  assert.deepEqual(twice, [], 'sent twice');
  const needless = ['/screenshot-narrow.png', '/icon-512.png', '/icon-maskable-512.png',
    `/${list.pictures[1].url}`, `/${list.pictures[3].url}`].filter((file) => sent[file]);
  assert.deepEqual(needless, [], 'sent, though this screen needs none of it');
  // Larger at the same density: three pixels a point, and the pictures for it, once.
  await until(page, () => Module.page.shown, null, 'the painter\'s frame');  // and the first frame kept
  await page.setViewportSize({ width: 520, height: 1150 });
  await until(page, () => Module.bundle.pictures['/bundle/Coin1@3x.png'] && true, null, 'the @3x twins');
  await waitShown(page, 'Coin1', ...BUTTONS.Coin);  // the @3x twin, drawn pixel for pixel
  assert.equal(sent[`/${list.pictures[3].url}`], 1);
  await page.setViewportSize({ width: 390, height: 844 });
  await until(page, async () => (await caches.open(soundboardBoot.snapshot.cache)).match(soundboardBoot.snapshot.key), null, 'the first frame kept');
  await own.close();
  await page.reload();
  await started(page);
  // The picture of the first frame from the visit before is the page's largest content.
  assert.equal(await look(page, () => new Promise((done) => {
    new PerformanceObserver((list) => done(list.getEntries().at(-1)?.url.startsWith(location.origin + '/first-frame?')))
      .observe({type: 'largest-contentful-paint', buffered: true});
    setTimeout(() => done('none'), 2000);
  })), true, 'the kept first frame is the largest contentful paint');
  assert.deepEqual(page.warnings.filter((w) => w.includes('left out')), []);
  const [x, y] = BUTTONS.Kart;
  await waitShown(page, 'Kart1', x, y);
  await record(page);
  await press(page, 'Kart');
  await waitShown(page, 'Kart2', x, y);
  await waitHeard(page, 1024);
  await up(page);
  await closePage(page);
});

test('a new build reaches the next visit and replaces the offline copy; a deploy half done is never taken; a host that lets browsers keep every file changes none of it', async () => {
  // Build B: the site with Coin's picture and clip changed, so their files, names and the
  // version too.
  const jump = readList(SITE).clips.find((clip) => clip.name === 'Jump.wav').url;
  const b = siteWith({ 'Coin1@2x.png': fs.readFileSync(path.join(NATIVE_BUNDLE, 'Coin2@2x.png')),
                       'Coin.wav': fs.readFileSync(path.join(SITE, jump)) });
  const live = fs.mkdtempSync(path.join(os.tmpdir(), 'soundboard-live-'));
  const deploy = (files) => {  // the host's folder, made to hold these files, each by its name
    for (const file of fs.readdirSync(live)) fs.rmSync(path.join(live, file));
    for (const [file, from] of files) fs.copyFileSync(from, path.join(live, file));
  };
  const whole = (dir) => fs.readdirSync(dir).map((file) => [file, path.join(dir, file)]);
  const host = await site(live, { cache: 600 });  // every file kept ten minutes
  const version = (page) => look(page, () => soundboardBoot.site.version);
  const [versionA, versionB] = [readList(SITE).version, readList(b).version];
  try {
    deploy(whole(SITE));
    const page = await openPage(browser, host.url);
    assert.equal(await look(page, () => Module.page.offline), true);
    // Half of B: its page and worker whole, its new clip and pictures 60 % written.
    const listB = readList(b), cut = fs.mkdtempSync(path.join(os.tmpdir(), 'soundboard-cut-'));
    const partly = (file) => {
      const bytes = fs.readFileSync(path.join(b, file));
      fs.writeFileSync(path.join(cut, file), bytes.subarray(0, Math.round(bytes.length * 0.6)));
      return [file, path.join(cut, file)];
    };
    deploy([...whole(SITE).filter(([file]) => !/^(index\.html|sw\.js)/.test(file)),
            ['index.html', path.join(b, 'index.html')], ['sw.js', path.join(b, 'sw.js')],
            partly(listB.clips.find((clip) => clip.name === 'Coin.wav').url), partly(listB.pictures[2].url)]);
    const tried = await look(page, async () => {
      const registration = await navigator.serviceWorker.getRegistration();
      await registration.update();
      const worker = registration.installing;
      return worker && new Promise((done) => worker.addEventListener('statechange', () => {
        if (worker.state === 'redundant' || worker.state === 'activated') done(worker.state);
      }));
    });
    assert.equal(tried, 'redundant', 'the half-done build is not installed');
    await page.reload();
    await started(page);
    assert.equal(await version(page), versionA, 'the visit runs the whole build it has');
    // B whole: the next visit still runs A, the one after it B, from a copy of B alone.
    deploy(whole(b));
    await page.reload();
    await started(page);
    await until(page, (b) => caches.keys().then((keys) => keys.some((key) => key.endsWith(' ' + b)) &&
      !keys.some((key) => key.startsWith('Soundboard ' + location.origin) && !key.endsWith(' ' + b))), versionB, 'the new copy alone', 20);
    await page.reload();
    await started(page);
    assert.equal(await version(page), versionB, 'the build deployed after');
    const copies = await look(page, () => caches.keys().then((keys) => keys.filter((key) => key.startsWith('Soundboard ' + location.origin))));
    assert.deepEqual(copies.map((key) => key.split(' ').at(-1)), [versionB], 'only the new copy is kept');
    await host.close();
    await page.reload();
    await started(page);
    assert.equal(await version(page), versionB, 'with no network, the new build');
    await closePage(page);
    fs.rmSync(cut, { recursive: true });
  } finally {
    await host.close();
    for (const dir of [b, live]) fs.rmSync(dir, { recursive: true, force: true });
  }
});

test('on a phone, where a press is no gesture but a release is, the first press still sounds', async () => {
  const phone = await launch({ gesture: true });
  try {
    const page = await openPage(phone, server.url);
    assert.equal(await look(page, () => Module.page.audio.state), 'suspended');
    await record(page);
    await press(page, 'Coin');
    await waitShown(page, 'Coin2', ...BUTTONS.Coin);
    assert.equal(await look(page, () => Module.page.audio.state), 'suspended', 'a press alone wakes nothing');
    await up(page);
    await until(page, () => Module.page.audio.state === 'running', null, 'the audio to run');
    await assertHeard(page, 'Coin.wav', 4096, 'the first press, from its first sample');
    await record(page);
    await press(page, 'Coin');  // no gesture needed now: it sounds while held
    await assertHeard(page, 'Coin.wav', 4096, 'a later press, at the press');
    await up(page);
    await closePage(page);
  } finally {
    await phone.close();
  }
});

test('a context whose clock stands still after a resume is replaced, and the buttons sound in the new one', async () => {
  const page = await openPage(browser, server.url);
  // What a phone's browser does after some interruptions: it says it runs, and nothing moves.
  await look(page, async () => {
    const stuck = window.stuck = Module.page.audio;
    await stuck.suspend();
    let state = 'suspended';
    Object.defineProperty(stuck, 'state', { get: () => state });
    stuck.resume = () => { state = 'running'; return Promise.resolve(); };
  });
  await press(page, 'Coin');
  await up(page);
  await until(page, () => Module.page.audio !== window.stuck && Module.page.audio.state === 'running', null, 'a new context');
  await record(page);
  await press(page, 'Coin');
  await up(page);
  await assertHeard(page, 'Coin.wav', 4096, 'Coin in the new context');
  await closePage(page);
});

test('on a tall phone with a notch the screen is all the soundboard\'s, the frame inside its safe area; on every screen the page\'s frame rule is the program\'s', async () => {
  const [width, height, notch] = [390, 844, 120];  // three pixels a point
  const page = await openPage(browser, server.url, { width, height, scale: 3, before: (page) =>
    page.devtools.send('Emulation.setSafeAreaInsetsOverride', { insets: { top: notch, bottom: 0, left: 0, right: 0 } }) });
  await until(page, () => true, null, 'a frame');
  // The first frame is the page's first content, as the browser counts it.
  const painted = await look(page, () => performance.getEntriesByName('first-contentful-paint')[0]?.startTime);
  const first = await look(page, () => Module.page.firstFrame);
  assert.ok(painted >= first && painted < first + 1000, `first contentful paint at ${painted} ms, the frame at ${first}`);
  // No row of the screen is black: above and below the frame, its edges go on.
  const black = await look(page, async () => {
    const [w, h] = Module.page.size();
    const rgba = await Module.page.read(0, 0, w, h);
    let rows = 0;
    for (let y = 0; y < h; y++) {
      let lit = false;
      for (let x = 0; x < w && !lit; x++) lit = rgba[(y * w + x) * 4] + rgba[(y * w + x) * 4 + 1] + rgba[(y * w + x) * 4 + 2] > 0;
      rows += !lit;
    }
    return rows;
  });
  assert.equal(black, 0, 'rows all black');
  // Coin is where the frame fitted below the notch puts it: 60 points lower than with no notch,
  // more than its height.
  const box = FRAME.letterbox(width, height, [0, notch, 0, 0]);
  await record(page);
  await down(page, box.x + (BUTTONS.Coin[0] + 20) * box.scale, box.y + (BUTTONS.Coin[1] + 10) * box.scale);
  await up(page);
  await assertHeard(page, 'Coin.wav', 2048, 'Coin, pressed where it is');
  // On every screen the page's rule (Frame.js: the canvas's pixels, the pack of twins it asks
  // for) is the program's own: the frame's scale exactly, and the twin drawn.
  const screens = [[320, 460, 2, [0, 0, 0, 0]], [412, 915, 2.625, [0, 0, 0, 0]], [412, 915, 2.625, [0, 24, 0, 0]],
                   [390, 844, 3, [0, 47, 0, 34]], [844, 390, 3, [47, 0, 47, 21]], [360, 640, 1.5, [0, 0, 0, 0]],
                   [1280, 720, 1, [0, 0, 0, 0]], [375, 667, 2, [0, 20, 0, 0]]];
  for (const [w, h, ratio, [left, top, right, bottom]] of screens) {
    // The safe area first: the new size's resize then finds it, as a phone's rotation does.
    await page.devtools.send('Emulation.setSafeAreaInsetsOverride', { insets: { left, top, right, bottom } });
    await page.devtools.send('Emulation.setDeviceMetricsOverride', { width: w, height: h, deviceScaleFactor: ratio, mobile: true });
    const what = `${w} x ${h} at ${ratio}, insets ${[left, top, right, bottom]}`;
    const seen = await until(page, ([w, h]) => {
      const screen = soundboardBoot.frame.page(document.getElementById('screen'));
      const [pw, ph] = Module.page.size(), backing = soundboardBoot.frame.backing(screen);
      if (screen.width !== w || screen.height !== h || pw !== backing[0] || ph !== backing[1]) return false;
      const scale = Module.page.scale();
      return { rule: soundboardBoot.frame.placed(screen).box.scale, twin: screen.twin, program: scale,
               drawn: Math.min(kEngine.sharpestTwin, Math.max(1, Math.floor(scale))) };
    }, [w, h], `the program's canvas on ${what}`);
    assert.equal(seen.rule, seen.program, what);
    assert.equal(seen.twin, seen.drawn, `the twin, on ${what}`);
  }
  await closePage(page);
});

test('the web app is installable, its manifest read with no error', async () => {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'soundboard-profile-'));
  const context = await launchProfile(profile);  // installing needs a profile: not a private window
  try {
    const page = await context.newPage();
    const devtools = await context.newCDPSession(page);
    await page.goto(server.url);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, { timeout: 20000 });
    const { errors, data } = await devtools.send('Page.getAppManifest', {});
    assert.deepEqual(errors, []);
    assert.equal(JSON.parse(data).display, 'standalone');
    assert.deepEqual((await devtools.send('Page.getInstallabilityErrors', {})).installabilityErrors, []);
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
});
