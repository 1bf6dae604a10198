// The site's clips against the bundle's WAVs, as a phone's browser takes them: the bytes sent,
// the time to decode them all with the CPU four times slower (headless Chromium, at 48 kHz),
// where each starts against its WAV (frames early or late: 0 is the first sample at the press)
// and how far it is from the WAV, as a signal-to-noise ratio in dB.
//
//   node Benchmarks/clip-format.mjs SITE_DIR BUNDLE_DIR     (make bench)
import fs from 'node:fs';
import path from 'node:path';
import { launch } from '../Tests/Web/page.mjs';
import { serve } from '../Web/serve.mjs';
import { readList } from '../Web/site.mjs';

const [siteDir, bundleDir] = process.argv.slice(2);
const print = (name, value) => console.log(`${name} ${Number(value).toFixed(3)}`);
const clips = readList(siteDir).clips.filter((clip) => clip.url);
const browser = await launch();
const server = await serve(siteDir);
try {
  const page = await browser.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/manifest.webmanifest`);
  const devtools = await page.context().newCDPSession(page);
  const sent = clips.map((clip) => fs.readFileSync(path.join(siteDir, clip.url)).toString('base64'));
  const wavs = clips.map((clip) => fs.readFileSync(path.join(bundleDir, clip.name)).toString('base64'));
  await devtools.send('Emulation.setCPUThrottlingRate', { rate: 4 });
  const ms = await page.evaluate(async (sent) => {
    const context = new OfflineAudioContext(1, 1, 48000);
    const start = performance.now();
    for (const b64 of sent) await context.decodeAudioData(Uint8Array.from(atob(b64), (c) => c.charCodeAt(0)).buffer);
    return performance.now() - start;
  }, sent);
  await devtools.send('Emulation.setCPUThrottlingRate', { rate: 1 });
  const each = await page.evaluate(async ([sent, wavs]) => {
    const context = new OfflineAudioContext(1, 1, 48000);
    const decode = (b64) => context.decodeAudioData(Uint8Array.from(atob(b64), (c) => c.charCodeAt(0)).buffer);
    const out = [];
    for (let i = 0; i < sent.length; i++) {
      const a = (await decode(wavs[i])).getChannelData(0), b = (await decode(sent[i])).getChannelData(0);
      const first = Math.max(0, a.findIndex((v) => Math.abs(v) > 0.01));
      let lead = 0, least = Infinity;
      for (let d = -2000; d <= 2000; d++) {
        let error = 0;
        for (let j = first; j < Math.min(a.length, first + 4096); j += 2) error += (a[j] - (b[j + d] ?? 0)) ** 2;
        if (error < least) [least, lead] = [error, d];
      }
      let signal = 0, noise = 0;
      for (let j = 0; j < a.length; j++) { signal += a[j] ** 2; noise += (a[j] - (b[j] ?? 0)) ** 2; }
      out.push({ lead, snr: 10 * Math.log10(signal / noise), frames: b.length - a.length });
    }
    return out;
  }, [sent, wavs]);
  print('web_clip_bytes', clips.reduce((sum, clip) => sum + clip.bytes, 0));
  print('web_clip_wav_bytes', clips.reduce((sum, clip) => sum + fs.statSync(path.join(bundleDir, clip.name)).size, 0));
  print('web_clip_decode_ms_cpu4x', ms);
  print('web_clip_snr_db_min', Math.min(...each.map((e) => e.snr)));
  print('web_clip_snr_db_mean', each.reduce((sum, e) => sum + e.snr, 0) / each.length);
  print('web_clip_start_frames_max', Math.max(...each.map((e) => Math.abs(e.lead))));
  print('web_clip_length_frames_max', Math.max(...each.map((e) => Math.abs(e.frames))));
} finally {
  await browser.close();
  server.close();
}
