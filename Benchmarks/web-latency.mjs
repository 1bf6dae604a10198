// The browser build's sound at the ear, in headless Chromium on loopback: what reaches the
// output is recorded after the page's own audio graph (Tests/Web/ear.js), and
//   - touch to audible: for each finger press on Coin, from the pointer event's own time stamp
//     to the moment its clip's first sample leaves for the speakers (the context's output time
//     stamps map output frames to the page's clock);
//   - glitches: with Theme playing 5 s, the places where what is heard departs from the clip,
//     with the page idle and with its main thread blocked 40 ms every 150 ms;
//   - the wait of a pointer event for the page's first listener.
// For our page (the mixer on the audio thread), our page with that taken away (the script
// processor on the page's thread), and a bare page that starts an AudioBufferSourceNode in its
// handler, each measured the same way in the same run.
//
//   node Benchmarks/web-latency.mjs SITE_DIR BUNDLE_DIR [PRESSES]     (make bench)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launch, site, openPage, phonePage, look, until, down, up, press, BUTTONS } from '../Tests/Web/page.mjs';

const presses = Number(process.argv[4] ?? 100);
const print = (name, value) => console.log(`${name} ${value.toFixed(3)}`);
const pause = (ms) => new Promise((done) => setTimeout(done, ms));

// A page of the same canvas that plays a short tone with an AudioBufferSourceNode at each
// press, and Theme, decoded by the browser, when asked.
const bare = `<!doctype html><meta name="viewport" content="width=device-width">
<body style="margin:0"><canvas id="screen" style="touch-action:none;width:320px;height:460px"></canvas>
<script>
  const audio = new AudioContext({latencyHint: 'interactive'});
  const tone = audio.createBuffer(2, 2400, audio.sampleRate);
  for (let c = 0; c < 2; c++) tone.getChannelData(c).forEach((_, i, a) => { a[i] = Math.sin(i / 10) * 0.5; });
  const play = (buffer) => {
    const source = audio.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.destination);
    source.start();
    return source;
  };
  document.getElementById('screen').addEventListener('pointerdown', () => play(tone));
  const theme = fetch('Theme.wav').then((r) => r.arrayBuffer()).then((b) => audio.decodeAudioData(b));
  let playing = null;
  window.Module = {page: {audio, mixing: 'bare', clipsIn: 1}, calledRun: true};
  window.sounds = {tone, theme};
  window.playTheme = () => theme.then((buffer) => { playing?.stop(); playing = play(buffer); });
</script>`;

// Every pointer event's time stamp, and how long it waited for the page's first listener,
// with the output's time stamp at that moment.
const listen = () => {
  window.presses = [];
  window.addEventListener('pointerdown', (event) => {
    const audio = Module.page.audio;
    presses.push({stamp: event.timeStamp, wait: performance.now() - event.timeStamp,
                  output: audio.getOutputTimestamp(), rate: audio.sampleRate});
  }, {capture: true});
};

// In the page: a clip (16-bit stereo) where the ear heard it start after each press, in ms
// from the press's time stamp to the output; and the ear's departures from a clip that played
// through: each run of quanta that differ from where the clip should be is one, and the clip
// is found again after it.
const analyse = `({clip, presses, from, glitchFrames}) => {
  const {samples, frame: first} = ear.sound(Module.page.audio);
  const sixteen = ear.sixteen;
  const stereo = (c) => {
    if (c.channels) [c.left, c.right] = c.channels.concat(c.channels);  // a mono clip on both sides
    const out = new Int16Array(c.left.length * 2);
    for (let i = 0; i < c.left.length; i++) { out[2 * i] = sixteen(c.left[i]); out[2 * i + 1] = sixteen(c.right[i]); }
    return out;
  };
  clip = stereo(clip);
  let lead = 0;
  while (lead < clip.length / 2 && clip[2 * lead] === 0 && clip[2 * lead + 1] === 0) lead++;
  const same = (at, clipAt, n) => {
    if (at < 0 || clipAt < 0 || (at + n) * 2 > samples.length || (clipAt + n) * 2 > clip.length) return false;
    for (let i = 0; i < n * 2; i++) if (samples[at * 2 + i] !== clip[clipAt * 2 + i]) return false;
    return true;
  };
  // The first frame from \`frame\` on that is the clip's, from near its start (where a glitch may
  // have lost its first samples): that frame, and where it is in the clip.
  const near = new Map();
  for (let q = lead; q < Math.min(lead + 2048, clip.length / 2 - 32); q++) {
    const key = clip[2 * q] + ',' + clip[2 * q + 2] + ',' + clip[2 * q + 4];
    if (!near.has(key)) near.set(key, []);
    near.get(key).push(q);
  }
  const heardAfter = (frame) => {
    for (let f = Math.max(0, frame); (f + 32) * 2 < samples.length; f++) {
      const candidates = near.get(samples[2 * f] + ',' + samples[2 * f + 2] + ',' + samples[2 * f + 4]);
      if (candidates) for (const q of candidates) if (same(f, q, 32)) return [f, q];
    }
    return null;
  };
  if (presses) {
    return presses.map((p) => {
      const atPress = Math.round((p.output.contextTime + (p.stamp - p.output.performanceTime) / 1000) * p.rate);
      const found = heardAfter(atPress - first);
      if (!found) return null;
      const heard = (first + found[0]) / p.rate;
      return p.output.performanceTime + (heard - p.output.contextTime) * 1000 - p.stamp;
    });
  }
  const found = heardAfter(0);
  if (!found) return null;
  const start = found[0] - found[1];
  const block = 128, end = Math.min(samples.length / 2, start + glitchFrames);
  let offset = start, glitches = 0, wrong = 0, bad = false;
  for (let f = start; f + block <= end; f += block) {
    if (same(f, f - offset, block)) { bad = false; continue; }
    wrong += block;
    if (!bad) glitches++;
    bad = true;
    for (let d = 1; d < 48000; d++) {  // the clip again, nearest first
      if (same(f, f - offset - d, block)) { offset += d; bad = false; break; }
      if (same(f, f - offset + d, block)) { offset -= d; bad = false; break; }
    }
  }
  return {glitches, wrong_ms: wrong / Module.page.audio.sampleRate * 1000};
}`;

function quantile(values, q) {
  const sorted = values.filter((v) => v !== null).sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

// Presses at moments that fall anywhere in the audio's buffers, each held a little.
async function pressAll(page, clip) {
  await look(page, () => ear.start(Module.page.audio));
  for (let i = 0; i < presses; i++) {
    await down(page, BUTTONS.Coin[0] + 20, BUTTONS.Coin[1] + 10);
    await pause(20);
    await up(page);
    await pause(60 + Math.random() * 90);
  }
  await pause(1000);  // the last clip's end, before anything else is heard
  const latencies = await look(page, `async () => (${analyse})({clip: ${clip}, presses: window.presses})`);
  const waits = await look(page, () => presses.map((p) => p.wait));
  return { latencies, waits, missed: latencies.filter((l) => l === null).length };
}

// Theme for 5 s, from the press, with the main thread free or blocked 40 ms every 150 ms.
async function glitches(page, start, clip, busy) {
  if (busy) await look(page, () => { window.busy = setInterval(() => { const end = performance.now() + 40; while (performance.now() < end); }, 150); });
  await look(page, () => ear.start(Module.page.audio));
  await start();
  await until(page, () => ear.sound(Module.page.audio).samples.length >= 2 * 5.5 * Module.page.audio.sampleRate, null, 'five seconds', 20);
  if (busy) await look(page, () => clearInterval(window.busy));
  const found = await look(page, `async () => (${analyse})({clip: ${clip}, glitchFrames: 5 * Module.page.audio.sampleRate})`);
  return found ?? { glitches: NaN, wrong_ms: NaN };
}

async function measure(prefix, page, { coin, theme, playTheme }) {
  await look(page, listen);
  const { latencies, waits, missed } = await pressAll(page, coin);
  print(`${prefix}touch_to_audible_p50_ms`, quantile(latencies, 0.5));
  print(`${prefix}touch_to_audible_p99_ms`, quantile(latencies, 0.99));
  print(`${prefix}event_wait_p50_ms`, quantile(waits, 0.5));
  if (missed) console.log(`# ${prefix}: ${missed} of ${presses} presses not found at the output`);
  for (const busy of [false, true]) {
    const found = await glitches(page, playTheme, theme, busy);
    print(`${prefix}${busy ? 'busy' : 'idle'}_glitches`, found.glitches);
    print(`${prefix}${busy ? 'busy' : 'idle'}_departed_ms`, found.wrong_ms);
  }
  const audio = await look(page, () => ({ base: Module.page.audio.baseLatency, output: Module.page.audio.outputLatency }));
  print(`${prefix}base_latency_ms`, audio.base * 1000);
  print(`${prefix}output_latency_ms`, audio.output * 1000);
}

const ours = {
  coin: "Module.bundle.clips['/bundle/Coin.wav']",
  theme: "Module.bundle.clips['/bundle/Theme.wav']",
};

const browser = await launch();
const server = await site(process.argv[2]);
const bareDir = fs.mkdtempSync(path.join(os.tmpdir(), 'bare-page-'));
fs.writeFileSync(path.join(bareDir, 'index.html'), bare);
fs.copyFileSync(path.join(process.argv[3], 'Theme.wav'), path.join(bareDir, 'Theme.wav'));
const bareServer = await site(bareDir);
try {
  const page = await openPage(browser, server.url);
  await measure('web_', page, { ...ours, playTheme: async () => { await press(page, 'Theme'); await up(page); } });
  await page.context().close();

  const script = await openPage(browser, server.url, { worklet: false });
  await measure('web_script_', script, { ...ours, playTheme: async () => { await press(script, 'Theme'); await up(script); } });
  await script.context().close();

  const plain = await openPage(browser, bareServer.url);
  await look(plain, () => sounds.theme.then(() => true));
  const buffer = (name) => `{left: sounds.${name}.getChannelData(0), right: sounds.${name}.getChannelData(1)}`;
  await measure('web_bare_', plain, {
    coin: buffer('tone'),
    theme: `await sounds.theme.then((b) => ({left: b.getChannelData(0), right: b.getChannelData(b.numberOfChannels - 1)}))`,
    playTheme: () => look(plain, () => playTheme()),
  });
} finally {
  await browser.close();
  await server.close();
  await bareServer.close();
  fs.rmSync(bareDir, { recursive: true, force: true });
}
