// What the browser tests and the latency figure share: the site served on loopback, Debian's
// Chromium at a phone's pixel density with touch, a finger held down through DevTools, and
// looks at the canvas and at the sound where it leaves the page (ear.js), from inside it.
import { chromium } from 'playwright-core';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { serve } from '../../Web/serve.mjs';
import { rewrite } from '../../Web/site.mjs';

export const SITE = path.resolve(process.env.WEB_SITE ?? 'build/web/site');
// The bundle the site was made from: the desktop's pictures and clips.
export const NATIVE_BUNDLE = path.resolve(process.env.NATIVE_BUNDLE ?? 'build/release/bin');
const EAR = new URL('ear.js', import.meta.url).pathname;

// The page's one rule for where the frame lies and which twin it takes (Web/Frame.js), with the
// engine's numbers as the native build wrote them.
export const FRAME = createRequire(import.meta.url)('../../Web/Frame.js')(
  JSON.parse(fs.readFileSync(path.join(NATIVE_BUNDLE, '..', 'limits.json'), 'utf8')));

// Where the buttons are, in points: the top left corner of each, in the order the program adds
// them, from the program's own table (App/Buttons.h, written as JSON by the native build).
export const BUTTONS = Object.fromEntries(Object.entries(
  JSON.parse(fs.readFileSync(path.join(NATIVE_BUNDLE, '..', 'buttons.json'), 'utf8')))
  .map(([name, button]) => [name, [button.x, button.y]]));

// Chromium as installed by Debian, quiet: no network of its own, no first-run pages. Without
// `gesture`, audio may start before any touch, as on a desktop; with it, only a user's gesture
// starts it, as on a phone.
const chromiumOptions = (gesture) => ({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  args: ['--disable-gpu', '--disable-background-networking', '--disable-component-update',
         '--disable-quic', '--disable-sync', '--no-first-run',
         `--autoplay-policy=${gesture ? 'document-user-activation-required' : 'no-user-gesture-required'}`],
});

export function launch({ gesture = false } = {}) {
  return chromium.launch(chromiumOptions(gesture));
}

// Chromium with a profile of its own in `dir`, at a phone's size: what installing an app needs.
export function launchProfile(dir) {
  return chromium.launchPersistentContext(dir, {
    ...chromiumOptions(false), viewport: { width: 390, height: 844 }, deviceScaleFactor: 3,
    isMobile: true, hasTouch: true,
  });
}

// A folder served on 127.0.0.1 at a free port, and a way to stop it at once; log(path, status)
// hears of every file answered, and `cache` (seconds) has the host let browsers keep every file
// that long, as many static hosts do.
export async function site(root = SITE, { log = null, cache = null } = {}) {
  const server = await serve(root, 0, '127.0.0.1', null, (request, status) =>
    log?.(new URL(request.url, 'http://x').pathname, status), { cache });
  return {
    url: `http://127.0.0.1:${server.address().port}/`,
    close: () => new Promise((done) => { server.closeAllConnections(); server.close(done); }),
  };
}

// A copy of the site with some of its files removed (null) or replaced by other bytes: a
// bundle's picture or clip (by its name in the bundle: "Coin.wav", "Kart1@2x.png") is laid out
// again as the build lays it out, sent as given; any other file is changed in the site, after.
export function siteWith(changes) {
  const copy = fs.mkdtempSync(path.join(os.tmpdir(), 'soundboard-site-'));
  fs.cpSync(SITE, copy, { recursive: true });
  const bundle = Object.fromEntries(Object.entries(changes).filter(([name]) => /\.(png|wav)$/i.test(name)));
  if (Object.keys(bundle).length) rewrite(copy, bundle);
  for (const [name, bytes] of Object.entries(changes)) {
    if (name in bundle) continue;
    for (const copied of ['.gz', '.br']) fs.rmSync(path.join(copy, name + copied), { force: true });
    if (bytes === null) fs.rmSync(path.join(copy, name));
    else fs.writeFileSync(path.join(copy, name), bytes);
  }
  return copy;
}

// A blank page of a phone's size and density, with touch, the ear and a DevTools session of its
// own; `worklet: false` takes the audio worklet away, as a browser without one would.
export async function phonePage(browser, { width = 320, height = 460, scale = 2, worklet = true } = {}) {
  const context = await browser.newContext({
    viewport: { width, height }, deviceScaleFactor: scale, hasTouch: true, isMobile: true,
  });
  await context.addInitScript({ path: EAR });
  if (!worklet) await context.addInitScript(() => { delete window.AudioWorkletNode; });
  const page = await context.newPage();
  page.devtools = await context.newCDPSession(page);
  return page;
}

// A phone-sized page with the soundboard started: main run, a frame shown and its sound
// started; and, unless `clips` is false, every clip in. `before`, if given, is run on the blank
// page before it opens the address.
export async function openPage(browser, url, options = {}) {
  const page = await phonePage(browser, options);
  await options.before?.(page);
  page.warnings = [];
  page.printed = [];  // the program's own lines
  page.on('console', (message) => {
    if (message.type() === 'warning') page.warnings.push(message.text());
    if (message.type() === 'log') page.printed.push(message.text());
  });
  page.on('pageerror', (error) => page.warnings.push(`error: ${error.message}`));
  await page.goto(url);
  await started(page);
  if (options.clips !== false) await until(page, () => Module.page.clipsIn, null, 'every clip', 20);
  return page;
}

// Closes the page, failing if a script of it threw on the way.
export async function closePage(page) {
  const errors = page.warnings.filter((w) => w.startsWith('error: '));
  await page.context().close();
  if (errors.length) throw new Error(`the page threw: ${errors.join('; ')}`);
}

// The program runs, its sound has started and its mixer with it.
export const started = (page) => until(page, () => window.Module?.calledRun && Module.page?.mixing, null, 'the start');

// Runs a function in the page and gives what it returns. Unlike Playwright's own evaluate it is
// no user gesture, so that a gesture the page needs must come from a finger, as on a phone.
export async function look(page, fn, arg = null) {
  const { result, exceptionDetails } = await page.devtools.send('Runtime.evaluate', {
    expression: `(${fn})(${JSON.stringify(arg)})`, returnByValue: true, awaitPromise: true,
  });
  if (exceptionDetails) throw new Error(exceptionDetails.exception?.description ?? exceptionDetails.text);
  return result.value;
}

// Waits, a display frame at a time, until the function in the page returns (or resolves to)
// something true, or gives up after a few seconds.
export function until(page, fn, arg, what, seconds = 5) {
  return look(page, `([arg, what, seconds]) => new Promise((done, fail) => {
    const give_up = performance.now() + seconds * 1000;
    const poll = async () => {
      let value;
      try { value = await (${fn})(arg); } catch (error) { value = false; }
      if (value) done(value);
      else if (performance.now() > give_up) fail(new Error('gave up waiting for ' + what));
      else requestAnimationFrame(poll);
    };
    poll();
  })`, [arg, what, seconds]);
}

// A finger through DevTools, so that it stays down until lifted (a tap is both at once).
export async function down(page, x, y) {
  await page.devtools.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }] });
}

export async function up(page) {
  await page.devtools.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
}

// A finger on a button, wherever the page's shape puts the frame.
export async function press(page, button) {
  const [x, y] = BUTTONS[button];
  await down(page, ...await look(page, ([x, y]) => {
    const page = soundboardBoot.frame.page(), box = soundboardBoot.frame.letterbox(page.width, page.height, page.insets);
    return [box.x + x * box.scale, box.y + y * box.scale];
  }, [x + 20, y + 10]));
}

// Counts the opaque pixels of the picture, as the program got it, and those the canvas shows
// exactly with the picture's top left corner at (x, y) in points: its twin for the frame's
// scale on the canvas (a whole one), or else each of its pixels as a square of them. Runs in
// the page.
const matching = `async (name, x, y) => {
  const box = soundboardBoot.frame.placed(soundboardBoot.frame.page(document.getElementById('screen'))).box;
  const ratio = box.scale;
  let scale = Math.min(kEngine.sharpestTwin, Math.floor(ratio)), picture;
  for (; scale >= 1 && !picture; scale--) picture = Module.bundle.pictures['/bundle/' + name + (scale > 1 ? '@' + scale + 'x' : '') + '.png'];
  if (!picture) throw new Error(name + ' was not decoded');
  const grow = ratio / (scale + 1);
  const seen = await Module.page.read(Math.ceil(box.x + x * ratio - 0.5), Math.ceil(box.y + y * ratio - 0.5),
                                      picture.width * grow, picture.height * grow);
  let opaque = 0, matched = 0;
  for (let i = 0; i < picture.rgba.length; i += 4) {
    if (picture.rgba[i + 3] !== 255) continue;
    opaque++;
    const p = i / 4, px = (p % picture.width) * grow, py = Math.floor(p / picture.width) * grow;
    const s = (py * picture.width * grow + px) * 4;
    if (seen[s] === picture.rgba[i] && seen[s + 1] === picture.rgba[i + 1] &&
        seen[s + 2] === picture.rgba[i + 2]) matched++;
  }
  return { opaque, matched };
}`;

// What shows the picture at (x, y): its opaque pixels counted, and those matched.
export function shows(page, name, x, y) {
  return look(page, `([name, x, y]) => (${matching})(name, x, y)`, [name, x, y]);
}

// Waits until the canvas shows the picture at (x, y), every opaque pixel of it.
export function waitShown(page, name, x, y) {
  const whole = `async ([name, x, y]) => {
    const m = await (${matching})(name, x, y);
    return m.opaque > 0 && m.matched === m.opaque;
  }`;
  return until(page, whole, [name, x, y], `${name} at (${x}, ${y})`);
}

// Everything the page's context sends to its output from now on is kept (ear.js).
export function record(page) {
  return look(page, () => ear.start(Module.page.audio));
}

// Waits until the recording holds `frames` frames, counted from its first sound (or from its
// start, with `fromStart`).
export function waitHeard(page, frames, { fromStart = false } = {}) {
  return until(page, ([frames, fromStart]) => {
    const { samples } = ear.sound(Module.page.audio);
    const first = fromStart ? 0 : samples.findIndex((s) => s !== 0);
    return first >= 0 && samples.length / 2 - Math.floor(first / 2) >= frames;
  }, [frames, fromStart], `${frames} frames of sound`, 10);
}

// The recording so far, and each named clip as the program's mixer holds it, as plain arrays
// of interleaved 16-bit stereo.
export function recorded(page, ...clips) {
  return look(page, (clips) => {
    const all = ear.sound(Module.page.audio).samples;
    const sixteen = ear.sixteen;
    const stereo = clips.map((name) => {
      const { channels } = Module.bundle.clips[`/bundle/${name}`];
      const [left, right] = channels.concat(channels).slice(0, 2);  // a mono clip on both sides
      const out = new Array(left.length * 2);
      for (let i = 0; i < left.length; i++) {
        out[2 * i] = sixteen(left[i]);
        out[2 * i + 1] = sixteen(right[i]);
      }
      return out;
    });
    return { sound: Array.from(all), clips: stereo };
  }, clips);
}

export const firstSound = (samples) => samples.findIndex((s) => s !== 0);

// Where the named clip starts in the recording, from frame `from` on (found by its first 64
// frames of sound), and how many of its first `frames` frames follow there exactly:
// {at, matched, recorded}, at -1 when it was not heard, recorded the frames after `at` so far.
// Runs in the page.
export const findClip = `(name, frames, from) => {
  const sound = ear.sound(Module.page.audio).samples;
  const {channels} = Module.bundle.clips['/bundle/' + name];
  const [l, r] = channels.concat(channels).slice(0, 2);  // a mono clip on both sides
  const clip = {left: l, right: r};
  const sixteen = ear.sixteen;
  const left = (i) => sixteen(clip.left[i]), right = (i) => sixteen(clip.right[i]);
  const same = (at, i) => sound[2 * at] === left(i) && sound[2 * at + 1] === right(i);
  let lead = 0;
  while (lead < clip.left.length && left(lead) === 0 && right(lead) === 0) lead++;
  for (let at = Math.max(from, 0) + lead; 2 * (at + 64) <= sound.length; at++) {
    let k = 0;
    while (k < 64 && same(at + k, lead + k)) k++;
    if (k < 64) continue;
    const start = at - lead, recorded = sound.length / 2 - start;
    let matched = 0;
    while (matched < Math.min(frames, recorded, clip.left.length) && same(start + matched, matched)) matched++;
    return {at: start, matched, recorded};
  }
  return {at: -1, matched: 0, recorded: 0};
}`;

export function heard(page, name, frames, from = 0) {
  return look(page, `([name, frames, from]) => (${findClip})(name, frames, from)`, [name, frames, from]);
}

// Waits until `frames` frames in a row of the named clip's first second are heard anywhere,
// whether or not its start was: for a path that may lose some of it.
export function waitPieceOf(page, name, frames) {
  return until(page, `([name, frames]) => {
    const sound = ear.sound(Module.page.audio).samples;
    const {channels} = Module.bundle.clips['/bundle/' + name];
    const [l, r] = channels.concat(channels).slice(0, 2);
    const at = new Map();
    for (let i = 0; i < Math.min(l.length, Module.page.audio.sampleRate) - frames; i++) {
      const key = ear.sixteen(l[i]) + ',' + ear.sixteen(l[i + 1]) + ',' + ear.sixteen(l[i + 2]);
      if (!at.has(key)) at.set(key, i);
    }
    for (let f = 0; 2 * (f + frames) <= sound.length; f++) {
      const i = at.get(sound[2 * f] + ',' + sound[2 * f + 2] + ',' + sound[2 * f + 4]);
      if (i === undefined || sound[2 * f] === 0) continue;
      let k = 0;
      while (k < frames && sound[2 * (f + k)] === ear.sixteen(l[i + k]) && sound[2 * (f + k) + 1] === ear.sixteen(r[i + k])) k++;
      if (k === frames) return true;
    }
    return false;
  }`, [name, frames], `${frames} frames of ${name}`, 10);
}

// Waits until the named clip has been heard from frame `from` on, with `frames` frames recorded
// after its start, and gives heard's answer then.
export function waitClip(page, name, frames, from = 0) {
  return until(page, `([name, frames, from]) => {
    const found = (${findClip})(name, frames, from);
    return found.at >= 0 && found.recorded >= frames && found;
  }`, [name, frames, from], `${frames} frames of ${name}`, 10);
}
