// The browser build in headless Chromium, at a phone's pixel density with touch: what the
// canvas shows under a finger, what the page plays, the clock, a missing clip, and a second
// visit with no network.
//
//   node --test Tests/Web/    (after make web; WEB_SITE names another built site)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {
  BUTTONS, launch, site, siteWith, openPage, closePage, started, look, until, up, press, shows,
  waitShown, record, waitHeard, recorded, firstSound,
} from './page.mjs';

let browser, server;
before(async () => { browser = await launch(); server = await site(); });
after(async () => { await browser?.close(); await server?.close(); });

// Waits for `frames` frames of sound in the recording, then checks they are the named clip's
// from its first sound on, at the recording's first sound.
async function assertHeard(page, name, frames, what) {
  await waitHeard(page, frames);
  const { sound, clips: [clip] } = await recorded(page, name);
  const start = firstSound(sound) - firstSound(clip);
  assert.ok(start >= 0, `${what}: nothing heard`);
  assert.deepEqual(sound.slice(start, start + frames * 2), clip.slice(0, frames * 2), what);
}

test('a finger held on Coin shows its pressed picture and plays its clip; lifted, its normal picture', async () => {
  const page = await openPage(browser, server.url);
  const [x, y] = BUTTONS.Coin;
  await waitShown(page, 'Coin1', x, y);
  await record(page);
  await press(page, 'Coin');
  await waitShown(page, 'Coin2', x, y);
  const held = await shows(page, 'Coin1', x, y);
  assert.ok(held.matched < held.opaque, 'the normal picture is gone while held');
  await assertHeard(page, 'Coin.wav', 4096, 'the Coin clip from its first sample');
  await up(page);
  await waitShown(page, 'Coin1', x, y);
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
  const track = await look(page, () => new Promise((done) => {
    const picture = Module.bundle.pictures['/bundle/Pindle@2x.png'];
    const context = document.getElementById('screen').getContext('2d');
    const { width, height } = context.canvas;
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
    const find = (near) => {
      const seen = context.getImageData(0, 0, width, height).data;
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
    let last = find(null);
    const t0 = performance.now();
    const frame = () => {
      last = (last && find(last)) ?? find(null);
      places.push([performance.now() - t0, last]);
      if (performance.now() - t0 < 1500) requestAnimationFrame(frame);
      else done(places);
    };
    requestAnimationFrame(frame);
  }));
  assert.ok(track.every(([, place]) => place), 'the sprite is always on the canvas');
  let steps = 0;
  for (let i = 1; i < track.length; i++) {
    const [x0, y0] = track[i - 1][1], [x1, y1] = track[i][1];
    const dy = Math.abs(y1 - y0) / 4;  // two points at two pixels a point
    assert.equal(Math.abs(x1 - x0) / 4, dy, 'a step is as far across as down');
    steps += dy;
    const elapsed = track[i][0];
    assert.ok(steps <= Math.floor(elapsed * 30 / 1000) + 2, `${steps} steps at ${elapsed.toFixed(0)} ms: ahead of the clock`);
  }
  const seconds = track.at(-1)[0] / 1000;
  assert.ok(steps >= 15 * seconds, `${steps} steps in ${seconds.toFixed(2)} s: the clock stalls`);
  await closePage(page);
});

test('a missing clip leaves its button silent, a bad picture gives the reserved one, the rest works', async () => {
  const garbage = Buffer.from('not a picture at all, though named like one');
  const copy = siteWith({ 'Shroom.wav': null, 'Kart1.png': garbage, 'Kart1@2x.png': garbage });
  const partial = await site(copy);
  try {
    const page = await openPage(browser, partial.url);
    for (const name of ['Shroom.wav', 'Kart1.png', 'Kart1@2x.png']) {
      assert.ok(page.warnings.some((w) => w.includes(`${name} left out`)), `${name}: ${page.warnings}`);
    }
    await until(page, () => true, null, 'a frame');
    assert.ok(page.printed.includes('ImageAdd - File not found: Kart1.png'), `printed: ${page.printed}`);
    await waitShown(page, 'Images/EmptyRed', ...BUTTONS.Kart);
    const [x, y] = BUTTONS.Shroom;
    await record(page);
    await press(page, 'Shroom');
    await waitShown(page, 'Shroom2', x, y);  // the button still works, and shows it
    // A tenth of a second of buffers mixed after the press, all silent.
    await until(page, () => Module.page.recording.reduce((n, b) => n + b.length / 2, 0) >= 4800, null, 'buffers');
    await up(page);
    const quiet = await recorded(page);
    assert.equal(firstSound(quiet.sound), -1, 'Shroom is silent');
    await press(page, 'Coin');
    await up(page);
    await assertHeard(page, 'Coin.wav', 2048, 'Coin still plays');
    await closePage(page);
  } finally {
    await partial.close();
    fs.rmSync(copy, { recursive: true, force: true });
  }
});

test('after the first visit the page reloads and works with no network', async () => {
  const own = await site();
  const page = await openPage(browser, own.url);
  await look(page, () => navigator.serviceWorker.ready.then(() => true));
  await until(page, () => navigator.serviceWorker.controller !== null, null, 'the service worker');
  await own.close();
  await page.reload();
  await started(page);
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
    await closePage(page);
  } finally {
    await phone.close();
  }
});
