// The browser build's touch to sound, in headless Chromium on loopback: for each finger press,
// the milliseconds from the pointer event to the end of its handler, where the clip was
// started; the context's own latencies; and beside them a bare page that starts an
// AudioBufferSourceNode in its handler, measured the same way.
//
//   node Benchmarks/web-latency.mjs SITE_DIR [PRESSES]     (make bench)
import { launch, site, openPage, phonePage, look, down, up } from '../Tests/Web/page.mjs';

const presses = Number(process.argv[3] ?? 100);

const bare = `<!doctype html><body style="margin:0"><canvas id="c" width="320" height="460"
  style="touch-action:none"></canvas><script>
  const audio = new AudioContext({latencyHint: 'interactive'});
  const clip = audio.createBuffer(2, 4800, audio.sampleRate);
  clip.getChannelData(0).forEach((_, i, a) => { a[i] = Math.sin(i / 10) * 0.5; });
  window.presses = [];
  document.getElementById('c').addEventListener('pointerdown', (event) => {
    const began = performance.now();
    const source = audio.createBufferSource();
    source.buffer = clip;
    source.connect(audio.destination);
    source.start();
    const now = performance.now();
    presses.push({since_event: now - event.timeStamp, in_handler: now - began});
  });
</script>`;

function quantile(values, q) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
}

async function pressAll(page) {
  for (let i = 0; i < presses; i++) {
    await down(page, 30, 250);  // on Coin
    await up(page);
  }
}

const print = (name, value) => console.log(`${name} ${value.toFixed(3)}`);

const browser = await launch();
const server = await site(process.argv[2]);
try {
  const page = await openPage(browser, server.url);
  await look(page, () => { Module.page.presses = []; });
  await pressAll(page);
  const ours = await look(page, () => ({
    presses: Module.page.presses, base: Module.page.audio.baseLatency,
    output: Module.page.audio.outputLatency, buffer: Module.page.frames / Module.page.audio.sampleRate,
  }));
  const since = ours.presses.map((p) => p.since_event), within = ours.presses.map((p) => p.in_handler);
  print('web_touch_to_start_ms', quantile(since, 0.5));
  print('web_touch_to_start_p99_ms', quantile(since, 0.99));
  print('web_handler_to_start_p99_ms', quantile(within, 0.99));
  print('web_base_latency_ms', ours.base * 1000);
  print('web_output_latency_ms', ours.output * 1000);
  print('web_audio_buffer_ms', ours.buffer * 1000);

  const plain = await phonePage(browser);
  await plain.setContent(bare);
  await pressAll(plain);
  const theirs = await look(plain, () => window.presses);
  print('web_bare_touch_to_start_ms', quantile(theirs.map((p) => p.since_event), 0.5));
  print('web_bare_touch_to_start_p99_ms', quantile(theirs.map((p) => p.since_event), 0.99));
  print('web_bare_handler_to_start_p99_ms', quantile(theirs.map((p) => p.in_handler), 0.99));
  print('web_bare_base_latency_ms', (await look(plain, () => audio.baseLatency)) * 1000);
} finally {
  await browser.close();
  await server.close();
}
