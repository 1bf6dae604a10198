// A phone's first visit to the site over a slow mobile network, and its second, as the user
// meets them: Debian's Chromium as a phone of 390 x 844 points at three pixels a point, its CPU
// four times slower, reaching the site through Lighthouse's slow 4G (Slow4G.mjs: one pipe for
// every connection, the service worker's included).
//   web_slow4g_first_frame_ms  navigation to the first screenshot of the trace's filmstrip that
//                              shows the board (as DevTools and Lighthouse take screenshots)
//   web_slow4g_page_first_frame_ms  the page's own count of the same, for comparison
//   web_slow4g_all_clips_ms    navigation to every clip playable
//   web_first_visit_bytes, _requests  what the server sent, on the wire, until the offline copy
//                              is made; web_first_visit_files_sent_twice
//   web_early_press_to_audible_ms  Coin pressed as soon as the board shows: from the touch's
//                              own time stamp to its first sample at the output, or -1 (and a
//                              line saying so) when it is not heard at all
//   web_first_frame_cached_ms  the second visit, from the offline copy, its CPU at full speed:
//                              the filmstrip's board, and the page's own count
//
//   node Benchmarks/web-firstvisit.mjs SITE_DIR     (make bench)
import { launch, phonePage, look, until, down, up, BUTTONS } from '../Tests/Web/page.mjs';
import { serve } from '../Web/serve.mjs';
import { slow4g } from './Slow4G.mjs';

const print = (name, value) => console.log(`${name} ${Number(value).toFixed(3)}`);
const pause = (ms) => new Promise((done) => setTimeout(done, ms));

// The filmstrip: each screenshot's time from navigation, and how much of the frame's part of it
// matches the board as it is once everything is in (the last screenshot), pixel by pixel in
// the browser's own decoder, ignoring what moves (the sprite is a few percent of it).
async function filmstrip(browser, trace, page) {
  const events = JSON.parse(trace.toString()).traceEvents;
  const start = events.find((e) => e.name === 'navigationStart' && e.args?.data?.isLoadingMainFrame && e.args?.data?.documentLoaderURL?.startsWith('http'))
    ?? events.find((e) => e.name === 'navigationStart');
  const shots = events.filter((e) => e.name === 'Screenshot' && e.ts >= start.ts)
    .map((e) => ({ ms: (e.ts - start.ts) / 1000, jpeg: e.args.snapshot }));
  const { width, height, insets } = page;
  const judge = await browser.newPage();
  const likeness = await judge.evaluate(async ({ shots, width, height, top, bottom }) => {
    const images = await Promise.all(shots.map((s) => createImageBitmap(
      new Blob([Uint8Array.from(atob(s.jpeg), (c) => c.charCodeAt(0))], { type: 'image/jpeg' }))));
    const read = (image) => {
      const canvas = new OffscreenCanvas(image.width, image.height);
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      return context.getImageData(0, 0, image.width, image.height).data;
    };
    const last = images.at(-1), reference = read(last), per = last.width / width;
    const scale = Math.min(width / 320, (height - top - bottom) / 460);
    const y0 = Math.round((top + (height - top - bottom - 460 * scale) / 2) * per);
    const y1 = Math.round(y0 + 460 * scale * per);
    return images.map((image) => {
      const seen = read(image);
      let same = 0, all = 0;
      for (let y = y0; y < y1; y += 2) {
        for (let x = 0; x < last.width; x += 2) {
          const i = (y * last.width + x) * 4;
          all++;
          same += Math.abs(seen[i] - reference[i]) + Math.abs(seen[i + 1] - reference[i + 1]) + Math.abs(seen[i + 2] - reference[i + 2]) < 48;
        }
      }
      return same / all;
    });
  }, { shots, width, height, top: insets[0], bottom: insets[1] });
  await judge.close();
  return shots.map((s, i) => ({ ms: s.ms, likeness: likeness[i] }));
}

const boardShown = (strip) => strip.find((s) => s.likeness >= 0.9)?.ms ?? NaN;

// The ear's recording, searched for Coin's first 64 frames of sound after the press: from the
// touch's time stamp to that frame leaving for the speakers, in ms, or null.
const heardAfterPress = `() => {
  const audio = Module.page.audio;
  if (!audio || !window.pressedAt) return null;
  const {samples, frame: first} = ear.sound(audio);
  const clip = Module.bundle.clips['/bundle/Coin.wav'];
  if (!clip) return null;
  const left = clip.channels[0];
  let lead = 0;
  while (lead < left.length && ear.sixteen(left[lead]) === 0) lead++;
  for (let f = 0; 2 * (f + 64) <= samples.length; f++) {
    let k = 0;
    while (k < 64 && samples[2 * (f + k)] === ear.sixteen(left[lead + k])) k++;
    if (k < 64) continue;
    const out = audio.getOutputTimestamp();
    const heard = (first + f - lead) / audio.sampleRate;
    return out.performanceTime + (heard - out.contextTime) * 1000 - pressedAt;
  }
  return null;
}`;

const browser = await launch();
const answers = new Map();  // path: bodies sent
let requests = 0;
const server = await serve(process.argv[2], 0, '127.0.0.1', null, (request, status) => {
  requests++;
  const file = new URL(request.url, 'http://x').pathname;
  if (status === 200) answers.set(file, (answers.get(file) ?? 0) + 1);
});
const network = await slow4g(server.address().port);
const url = `http://127.0.0.1:${network.port}/`;
try {
  const page = await phonePage(browser, { width: 390, height: 844, scale: 3 });
  await page.context().addInitScript(() => { window.ear.always = true; });
  await page.devtools.send('Emulation.setCPUThrottlingRate', { rate: 4 });
  await browser.startTracing(page, { screenshots: true, categories: ['devtools.timeline', 'blink.user_timing', 'disabled-by-default-devtools.screenshot'] });
  await page.goto(url, { waitUntil: 'commit' });
  // Coin, pressed as soon as the board is there, as a user would.
  await until(page, () => Module.page?.firstFrame, null, 'the first frame', 30);
  await page.devtools.send('Runtime.evaluate', { expression: `addEventListener('pointerdown', (e) => { window.pressedAt = e.timeStamp; }, {capture: true, once: true})` });
  await down(page, (BUTTONS.Coin[0] + 20) * 390 / 320, 844 / 2 - 230 * 390 / 320 + (BUTTONS.Coin[1] + 10) * 390 / 320);
  await pause(80);
  await up(page);
  const clipsIn = await until(page, () => Module.page.clipsIn, null, 'every clip', 60);
  await until(page, () => Module.page.offline, null, 'the offline copy', 60);
  await pause(1000);
  const trace = await browser.stopTracing();
  const strip = await filmstrip(browser, trace, { width: 390, height: 844, insets: [0, 0] });
  print('web_slow4g_first_frame_ms', boardShown(strip));
  print('web_slow4g_page_first_frame_ms', await look(page, () => Module.page.firstFrame));
  print('web_slow4g_all_clips_ms', clipsIn);
  print('web_first_visit_bytes', network.bytesDown);
  print('web_first_visit_requests', requests);
  const twice = [...answers].filter(([, n]) => n > 1).map(([file]) => file);
  print('web_first_visit_files_sent_twice', twice.length);
  if (twice.length) console.log(`# sent twice: ${twice.join(' ')}`);
  const pressed = await look(page, heardAfterPress);
  print('web_early_press_to_audible_ms', pressed ?? -1);
  if (pressed === null) console.log('# the early press on Coin was not heard: its clip came past the bound');

  // The second visit: from the offline copy, the CPU at full speed, once the first frame's
  // picture is kept.
  await page.devtools.send('Emulation.setCPUThrottlingRate', { rate: 1 });
  await until(page, async () => (await caches.open(soundboardBoot.snapshot.cache)).match(soundboardBoot.snapshot.key), null, 'the first frame kept', 20);
  await page.goto('about:blank');  // so that no screenshot shows the board before the visit does
  await browser.startTracing(page, { screenshots: true, categories: ['devtools.timeline', 'blink.user_timing', 'disabled-by-default-devtools.screenshot'] });
  await page.goto(url, { waitUntil: 'commit' });
  const cached = await until(page, () => Module.page?.firstFrame, null, 'the first frame', 30);
  await pause(1500);
  const cachedStrip = await filmstrip(browser, await browser.stopTracing(), { width: 390, height: 844, insets: [0, 0] });
  print('web_first_frame_cached_ms', boardShown(cachedStrip));
  print('web_page_first_frame_cached_ms', cached);
} finally {
  await browser.close();
  await network.close();
  await new Promise((done) => { server.closeAllConnections(); server.close(done); });
}
