// Lays out a program's site for a phone's browser, from the linked program and its bundle: what
// the first visit over a slow network needs, and no more, each file sent once.
//
// - index.html: the page, with the engine's numbers, the frame rule (Frame.js), the start
//   (Boot.js) and the site's list of files written into it, so that its first requests go
//   out as its head is read.
// - The program (NAME.js, NAME.wasm) and the audio thread's mixer (WebMixer.js, .wasm).
// - The pictures: one pack per screen density, pictures@Nx.pack, holding each picture once, in
//   the twin a screen of that density takes (the sharpest up to N pixels a point there is), as
//   lossless WebP: the pictures a first frame shows first, then those of buttons held down.
// - The clips: one file each, as MP3 (LAME, 64 kbit/s a channel): it decodes in every browser
//   that matters, starts on its first sample where others were measured to shift, and takes a
//   tenth of the WAV's bytes. A clip MP3 cannot hold (more than two channels) stays a WAV.
// - The offline copy's worker (sw.js), the manifest and icons.
// Every file but the page, its worker, manifest and icons is named by its contents
// (NAME.0123456789.js), so a host may keep them for ever and no two builds ever mix. Text files
// get .gz and .br copies beside them, which Web/serve.mjs (and any static host set up for it)
// sends to browsers that take them. The desktop's WAVs and PNGs stay the source: a file the
// encoders cannot take, or make no smaller, is sent as it is.
//
//   node Web/site.mjs --site DIR --program NAME --build DIR --mixer WASM --engine DIR
//        --bundle DIR [--files LIST] --art DIR --limits FILE --name TEXT --description TEXT
//        --color #RRGGBB [--screenshot LABEL]
//
// A picture pack: its format line (kEngine.packFormat), one line of JSON, {"files": [{"name",
// "bytes"} or {"name", "bytes", "refused": why}]}, then each file's bytes in that order, but a
// refused one's. Loader.js reads it as it streams in.
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { execFileSync } from 'node:child_process';

const here = path.dirname(new URL(import.meta.url).pathname);
const kMp3KbpsPerChannel = 64;
const kTextFile = /\.(html|js|mjs|wasm|webmanifest|json|css|svg)$/;
const kNamedByContents = /\.[0-9a-f]{10}\.[a-z0-9]+$/;

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest();
const hex10 = (bytes) => sha256(bytes).toString('hex').slice(0, 10);
export const integrity = (bytes) => `sha256-${sha256(bytes).toString('base64')}`;

// --- The bundle ---------------------------------------------------------------------------------

// "Coin1@3x.png" to ["Coin1.png", 3]; a plain name is its own twin at 1.
export function twinOf(name) {
  const twin = /^(.*)@([0-9])x(\.png)$/i.exec(name);
  return twin ? [twin[1] + twin[3], Number(twin[2])] : [name, 1];
}

// A button's pressed picture ("Name2.png" beside "Name1.png"), which no first frame shows: the
// engine names a button's two pictures so.
function pressed(plain, plains) {
  return /2\.png$/i.test(plain) && plains.has(plain.replace(/2(\.png)$/i, '1$1'));
}

// Each density's pictures, by the name the program asks (its plain name's twin): the first
// frame's pictures first, then the pressed ones, each by name; and how many are the first's.
export function picturesByDensity(names, limits) {
  const twins = new Map();  // plain name: the scales there are
  for (const name of names) {
    const [plain, scale] = twinOf(name);
    if (plain === limits.windowIcon) continue;  // a page's icons are its manifest's
    if (!twins.has(plain)) twins.set(plain, new Set());
    twins.get(plain).add(scale);
  }
  const plains = new Set(twins.keys());
  const order = [...plains].sort((a, b) => pressed(a, plains) - pressed(b, plains) || (a < b ? -1 : a > b ? 1 : 0));
  const densities = [null];
  for (let density = 1; density <= limits.sharpestTwin; density++) {
    densities.push(order.map((plain) => {
      const scales = [...twins.get(plain)].filter((s) => s <= density).sort((a, b) => b - a);
      const scale = scales[0] ?? Math.min(...twins.get(plain));  // only sharper ones: the least
      return scale > 1 ? plain.replace(/(\.png)$/i, `@${scale}x$1`) : plain;
    }));
  }
  return { densities, first: order.filter((plain) => !pressed(plain, plains)).length };
}

// Every picture and clip under a folder, by their names relative to it; with a list, only the
// files it names (one a line, # for a remark), each picture with its sharper twins.
export function bundleFiles(dir, list = null) {
  const names = [];
  const walk = (sub) => {
    for (const entry of fs.readdirSync(path.join(dir, sub), { withFileTypes: true })) {
      const name = sub ? `${sub}/${entry.name}` : entry.name;
      if (entry.isDirectory()) walk(name);
      else if (/\.(png|wav)$/i.test(name)) names.push(name);
    }
  };
  walk('');
  if (!list) return names.sort();
  const wanted = new Set(fs.readFileSync(list, 'utf8').split('\n').map((l) => l.trim()).filter((l) => l && !l.startsWith('#')));
  return names.filter((name) => wanted.has(twinOf(name)[0])).sort();
}

// --- Encoding, each result kept by its input's hash so that a rebuild encodes nothing again ---

function encoded(cache, bytes, suffix, encode) {
  fs.mkdirSync(cache, { recursive: true });
  const file = path.join(cache, sha256(bytes).toString('hex') + suffix);
  if (fs.existsSync(file)) return fs.readFileSync(file);
  const input = `${file}.in`;
  fs.writeFileSync(input, bytes);
  try {
    encode(input, `${file}.tmp`);
    fs.renameSync(`${file}.tmp`, file);
    return fs.readFileSync(file);
  } catch {
    fs.writeFileSync(file, '');  // remembered: this one does not encode
    return Buffer.alloc(0);
  } finally {
    fs.rmSync(input, { force: true });
    fs.rmSync(`${file}.tmp`, { force: true });
  }
}

const run = (program, args) => execFileSync(program, args, { stdio: ['ignore', 'ignore', 'ignore'] });

// A PNG as lossless WebP, every pixel kept (those under full transparency too), if smaller.
function picture(cache, bytes) {
  const webp = encoded(cache, bytes, '.webp', (input, output) =>
    run('cwebp', ['-quiet', '-lossless', '-exact', '-z', '9', '-metadata', 'none', input, '-o', output]));
  return webp.length && webp.length < bytes.length ? webp : bytes;
}

// A WAV file's channels, rate and frames, from its chunks; null if it has none of them.
export function wavHeader(bytes) {
  if (bytes.length < 12 || bytes.toString('latin1', 0, 4) !== 'RIFF' || bytes.toString('latin1', 8, 12) !== 'WAVE') return null;
  let format = null;
  for (let at = 12, chunks = 0; at + 8 <= bytes.length && chunks < 64; chunks++) {
    const id = bytes.toString('latin1', at, at + 4), size = bytes.readUInt32LE(at + 4);
    if (id === 'fmt ' && at + 24 <= bytes.length) {
      format = { channels: bytes.readUInt16LE(at + 10), rate: bytes.readUInt32LE(at + 12), block: bytes.readUInt16LE(at + 20) };
    } else if (id === 'data' && format?.block) {
      return { ...format, frames: Math.floor(Math.min(size, bytes.length - at - 8) / format.block) };
    }
    at += 8 + size + (size & 1);
  }
  return null;
}

// Where an MP3's first sample of sound is, in its own frames, for a decoder that does not cut
// the lead-in itself: the encoder's delay (LAME's tag) and the decoder's own 529; and its rate.
function mp3Lead(bytes) {
  const rates = [[11025, 12000, 8000], null, [22050, 24000, 16000], [44100, 48000, 32000]];
  const version = (bytes[1] >> 3) & 3, rate = rates[version]?.[(bytes[2] >> 2) & 3];
  const tag = bytes.indexOf('LAME', 0, 'latin1');
  if (!rate || tag < 0 || tag > 512) return { lead: 0, rate: rate ?? 0 };
  const delay = (bytes[tag + 21] << 4) | (bytes[tag + 22] >> 4);
  return { lead: delay + 529, rate };
}

// A WAV clip as MP3 where that is smaller and it can be: its file's bytes and extension, and
// what the page needs to keep its start and length exactly.
function clip(cache, bytes) {
  const wav = wavHeader(bytes);
  if (!wav || wav.channels < 1 || wav.channels > 2) return { bytes, ext: 'wav' };
  const mp3 = encoded(cache, bytes, '.mp3', (input, output) =>
    run('lame', ['--quiet', '--noreplaygain', '-b', String(kMp3KbpsPerChannel * wav.channels), input, output]));
  if (!mp3.length || mp3.length >= bytes.length) return { bytes, ext: 'wav' };
  const { lead, rate } = mp3Lead(mp3);
  return { bytes: mp3, ext: 'mp3', frames: wav.frames, rate: wav.rate,
           lead: rate ? Math.round(lead * wav.rate / rate) : 0 };
}

// A picture's size in pixels from its header (PNG or WebP); [0, 0] for neither.
export function pictureSize(bytes) {
  if (bytes.length >= 24 && bytes.readUInt32BE(0) === 0x89504e47) return [bytes.readUInt32BE(16), bytes.readUInt32BE(20)];
  if (bytes.length < 30 || bytes.toString('latin1', 0, 4) !== 'RIFF' || bytes.toString('latin1', 8, 12) !== 'WEBP') return [0, 0];
  const chunk = bytes.toString('latin1', 12, 16);
  if (chunk === 'VP8L') {
    const bits = bytes.readUInt32LE(21);
    return [(bits & 0x3fff) + 1, ((bits >>> 14) & 0x3fff) + 1];
  }
  if (chunk === 'VP8X') return [bytes.readUIntLE(24, 3) + 1, bytes.readUIntLE(27, 3) + 1];
  if (chunk === 'VP8 ') return [bytes.readUInt16LE(26) & 0x3fff, bytes.readUInt16LE(28) & 0x3fff];
  return [0, 0];
}

// --- Writing ------------------------------------------------------------------------------------

// A file named by its contents: "stem.0123456789.ext".
function writeNamed(site, stem, ext, bytes) {
  const name = `${stem}.${hex10(bytes)}.${ext}`;
  fs.writeFileSync(path.join(site, name), bytes);
  return name;
}

// The pack of `files` ([name, bytes] in order; bytes past the bound refused).
export function packBytes(files, limits) {
  const bound = limits.maxPictureFileBytes;
  const list = files.map(([name, bytes]) => (bytes.length > bound
    ? { name, bytes: bytes.length, refused: `larger than ${bound / (1 << 20)} MiB` }
    : { name, bytes: bytes.length }));
  return Buffer.concat([Buffer.from(`${limits.packFormat}\n${JSON.stringify({ files: list })}\n`),
                        ...files.filter(([, bytes]) => bytes.length <= bound).map(([, bytes]) => bytes)]);
}

// A pack's files, as [name, bytes or null for a refused one].
export function unpack(bytes) {
  const first = bytes.indexOf(10), second = bytes.indexOf(10, first + 1);
  const { files } = JSON.parse(bytes.subarray(first + 1, second).toString());
  let at = second + 1;
  return files.map((f) => {
    if (f.refused) return [f.name, null];
    at += f.bytes;
    return [f.name, bytes.subarray(at - f.bytes, at)];
  });
}

// The pictures and clips: {pictures: [null, pack of 1x, ...], clips: [...]}, the files written.
// `pictures` and `clips` map names to bytes (already encoded for the web, or not).
export function writeData(site, pictures, clips, limits, encode = null) {
  const { densities, first } = picturesByDensity(Object.keys(pictures), limits);
  const out = { pictures: [null], clips: [] };
  const webBytes = {};
  const web = (name) => (webBytes[name] ??= encode ? picture(encode, pictures[name]) : pictures[name]);
  for (let density = 1; density < densities.length; density++) {
    // The first frame's largest first, so that the longest to decode starts soonest.
    const names = [...densities[density].slice(0, first).sort((a, b) => web(b).length - web(a).length),
                   ...densities[density].slice(first)];
    const pack = packBytes(names.map((name) => [name, web(name)]), limits);
    // The page lists each picture with its size, which the program has at once: all but those
    // that are no picture, or too large, which are as missing.
    const listed = names.filter((name) => web(name).length <= limits.maxPictureFileBytes && pictureSize(web(name))[0] > 0);
    if (encode) names.filter((name) => !listed.includes(name)).forEach((name) => console.warn(`site.mjs: ${name} is no PNG, or too large: left out`));
    out.pictures.push({ url: writeNamed(site, `pictures@${density}x`, 'pack', pack), bytes: pack.length,
                        names: listed, sizes: listed.map((name) => pictureSize(web(name))) });
  }
  for (const name of Object.keys(clips).sort()) {
    const bytes = clips[name];
    if (bytes.length > limits.maxClipFileBytes) {
      out.clips.push({ name, refused: `larger than ${limits.maxClipFileBytes / (1 << 20)} MiB` });
      continue;
    }
    const made = encode ? clip(encode, bytes) : { bytes, ext: wavHeader(bytes) ? 'wav' : 'mp3' };
    const stem = path.basename(name).replace(/\.[^.]*$/, '').replace(/[^A-Za-z0-9_-]/g, '_');
    out.clips.push({ name, url: writeNamed(site, stem, made.ext, made.bytes), bytes: made.bytes.length,
                     ...(made.frames ? { frames: made.frames, rate: made.rate, lead: made.lead } : {}) });
  }
  return out;
}

// The screens that take a density's pictures, as a media query: those that give a point at least
// that many pixels, a point being the frame's width or height across the screen's, whichever
// fits (Frame.js's twin, less the safe area, which no media query knows). Written as bands of
// the usual densities, each with the screen size that suffices at its lowest: a screen between
// two bands may take the density below its own, which the program then asks for. The page's
// head asks for the pictures these pick (Boot.js), and the browser's preload scanner, reading the
// page, already has: one request, out as soon as the page arrives.
const kUsualDensities = [1, 1.25, 1.5, 1.75, 2, 2.25, 2.5, 2.625, 2.75, 3, 3.5, 4];
export function densityMedia(limits) {
  const atLeast = (density) => kUsualDensities.map((r) => `((min-resolution: ${r}dppx) and ` +
    `(min-width: ${Math.ceil(density * limits.frameWidth / r)}px) and (min-height: ${Math.ceil(density * limits.frameHeight / r)}px))`).join(' or ');
  const media = [null];
  for (let density = 1; density <= limits.sharpestTwin; density++) {
    const above = density < limits.sharpestTwin ? `not (${atLeast(density + 1)})` : null;
    media.push(density === 1 ? above : above ? `(${atLeast(density)}) and (${above})` : atLeast(density));
  }
  return media;
}

const fill = (template, values) => template.replace(/@([A-Z_]+)@/g, (whole, key) => (key in values ? values[key] : whole));
const inScript = (json) => JSON.stringify(json).replace(/<\//g, '<\\/');

// The page, the worker and the compressed copies, from the site's list (`site`) and what the
// folder holds; the files of no list (an older build's) go.
export function finish(dir, site, limits) {
  // The build's version: its files, but the page, which names them.
  site.version = hex10(Buffer.from([site.script, site.wasm, site.mixer.script, site.mixer.wasm,
    ...site.pictures.filter(Boolean).map((p) => p.url), ...site.clips.map((c) => c.url ?? c.name)].join()));
  const escape = (s) => s.replace(/&/g, '&amp;').replace(/"/g, '&quot;').replace(/</g, '&lt;');
  const page = fill(fs.readFileSync(path.join(here, 'index.html.in'), 'utf8'), {
    NAME: escape(site.title), DESCRIPTION: escape(site.description), COLOR: site.color, ENGINE: inScript(limits),
    FRAME_JS: fs.readFileSync(path.join(here, 'Frame.js'), 'utf8'),
    BOOT_JS: fs.readFileSync(path.join(here, 'Boot.js'), 'utf8'), SITE: inScript(site), SCRIPT: site.script,
    PRELOADS: [`<link rel="preload" href="${site.wasm}" as="fetch" crossorigin>`,
      ...site.pictures.map((pack, density) => (pack ? `<link rel="preload" href="${pack.url}" as="fetch" crossorigin media="${site.media[density]}">` : ''))
        .filter(Boolean)].join('\n'),
  });
  fs.writeFileSync(path.join(dir, 'index.html'), page);
  const named = [site.script, site.wasm, site.mixer.script, site.mixer.wasm,
    ...site.pictures.filter(Boolean).map((p) => p.url), ...site.clips.filter((c) => c.url).map((c) => c.url)];
  const plain = ['index.html', 'manifest.webmanifest', ...site.art];
  for (const file of fs.readdirSync(dir)) {
    const base = file.replace(/\.(gz|br)$/, '');
    if (!named.includes(base) && !plain.includes(base) && base !== 'sw.js') fs.rmSync(path.join(dir, file), { recursive: true });
  }
  // The offline copy: what running needs (not one density's pictures, which the page names;
  // not the icons and screenshot only installing takes), each file with its hash.
  const files = {};
  for (const file of [...named, ...plain]) files[file === 'index.html' ? './' : file] = integrity(fs.readFileSync(path.join(dir, file)));
  const precache = ['./', site.script, site.wasm, site.mixer.script, site.mixer.wasm,
    ...site.clips.filter((c) => c.url).map((c) => c.url), 'manifest.webmanifest', 'icon-192.png'];
  fs.writeFileSync(path.join(dir, 'sw.js'), fill(fs.readFileSync(path.join(here, 'sw.js.in'), 'utf8'), {
    SCOPE_NAME: site.program, VERSION: site.version,
    FILES: JSON.stringify(files, null, 1), PRECACHE: JSON.stringify(precache),
  }));
  for (const file of fs.readdirSync(dir)) {
    if (!kTextFile.test(file) && file !== 'sw.js') continue;
    const bytes = fs.readFileSync(path.join(dir, file));
    const gz = zlib.gzipSync(bytes, { level: 9 });
    const br = zlib.brotliCompressSync(bytes, { params: { [zlib.constants.BROTLI_PARAM_QUALITY]: 11 } });
    for (const [ext, packed] of [['gz', gz], ['br', br]]) {
      if (packed.length < bytes.length * 0.9) fs.writeFileSync(path.join(dir, `${file}.${ext}`), packed);
      else fs.rmSync(path.join(dir, `${file}.${ext}`), { force: true });
    }
  }
}

// The site's list, as its page holds it.
export function readList(dir) {
  const page = fs.readFileSync(path.join(dir, 'index.html'), 'utf8');
  return JSON.parse(/<script id="site" type="application\/json">([\s\S]*?)<\/script>/.exec(page)[1]);
}

// The limits, as the page holds them.
export function readLimits(dir) {
  const page = fs.readFileSync(path.join(dir, 'index.html'), 'utf8');
  return JSON.parse(/var kEngine = (\{[\s\S]*?\});\n/.exec(page)[1]);
}

// The site's pictures and clips, as {pictures: {name: bytes}, clips: {name: bytes}}: the bytes
// it sends (WebP, MP3 or the original).
export function readData(dir) {
  const site = readList(dir), pictures = {}, clips = {};
  for (const pack of site.pictures.filter(Boolean)) {
    for (const [name, bytes] of unpack(fs.readFileSync(path.join(dir, pack.url)))) if (bytes) pictures[name] = bytes;
  }
  for (const c of site.clips) if (c.url) clips[c.name] = fs.readFileSync(path.join(dir, c.url));
  return { pictures, clips };
}

// Lays the site out again with some of its pictures and clips replaced (bytes, sent as they
// are), or removed (null); for the tests.
export function rewrite(dir, changes) {
  const site = readList(dir), limits = readLimits(dir), { pictures, clips } = readData(dir);
  const data = { pictures, clips };
  const old = Object.fromEntries(site.clips.filter((c) => c.url).map((c) => [c.name, c]));
  for (const [name, bytes] of Object.entries(changes)) {
    const table = /\.png$/i.test(name) ? data.pictures : data.clips;
    if (bytes === null) delete table[name];
    else table[name] = bytes;
  }
  const written = writeData(dir, data.pictures, data.clips, limits);
  for (const c of written.clips) {  // an unchanged clip keeps what the build knew of it
    if (!(c.name in changes) && old[c.name]?.frames) Object.assign(c, { frames: old[c.name].frames, rate: old[c.name].rate, lead: old[c.name].lead });
  }
  finish(dir, { ...site, ...written }, limits);
}

// --- The build ----------------------------------------------------------------------------------

function build(options) {
  const limits = JSON.parse(fs.readFileSync(options.limits, 'utf8'));
  const dir = options.site;
  fs.mkdirSync(dir, { recursive: true });
  const cache = `${dir}.encoded`;
  const names = bundleFiles(options.bundle, options.files);
  const read = (name) => fs.readFileSync(path.join(options.bundle, name));
  const pictures = Object.fromEntries(names.filter((n) => /\.png$/i.test(n)).map((n) => [n, read(n)]));
  const clips = Object.fromEntries(names.filter((n) => /\.wav$/i.test(n)).map((n) => [n, read(n)]));
  const data = writeData(dir, pictures, clips, limits, cache);
  const copyNamed = (file, stem, ext) => writeNamed(dir, stem, ext, fs.readFileSync(file));
  const art = ['icon-192.png', 'icon-512.png', 'icon-maskable-512.png', 'apple-touch-icon.png'];
  let screenshots = '';
  if (options.screenshot) {
    art.push('screenshot-narrow.png');
    screenshots = `,\n  "screenshots": [\n    {"src": "screenshot-narrow.png", "sizes": "1080x2340", "type": "image/png",\n` +
      `     "form_factor": "narrow", "label": ${JSON.stringify(options.screenshot)}}\n  ]`;
  }
  for (const file of art) fs.copyFileSync(path.join(options.art, file), path.join(dir, file));
  const text = (value) => JSON.stringify(value).slice(1, -1);
  fs.writeFileSync(path.join(dir, 'manifest.webmanifest'), fill(fs.readFileSync(path.join(here, 'manifest.webmanifest.in'), 'utf8'),
    { NAME: text(options.name), DESCRIPTION: text(options.description), COLOR: options.color, SCREENSHOTS: screenshots }));
  const site = {
    program: options.program, title: options.name, description: options.description,
    color: options.color, art,
    script: copyNamed(path.join(options.build, `${options.program}.js`), options.program, 'js'),
    wasm: copyNamed(path.join(options.build, `${options.program}.wasm`), options.program, 'wasm'),
    mixer: { script: copyNamed(path.join(options.engine, 'WebMixer.js'), 'WebMixer', 'js'),
             wasm: copyNamed(options.mixer, 'WebMixer', 'wasm') },
    media: densityMedia(limits),
    ...data,
  };
  finish(dir, site, limits);
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const options = {};
  const args = process.argv.slice(2);
  for (let i = 0; i < args.length; i += 2) options[args[i].replace(/^--/, '')] = args[i + 1];
  build(options);
}
