// The bundle as one file, bundle.pack, that the page fetches in one request and reads as it
// streams in (Loader.js): one line naming the format, one line of JSON listing each file with
// its size in bytes, then the files' bytes one after another, pictures first. A file past its
// kind's bound (Engine/Limits.h) is listed with its size and the reason, and its bytes left out.
//
//   node Web/pack.mjs BUNDLE_DIR SITE_DIR LIMITS_JSON    (the build, after the native one)
import fs from 'node:fs';
import path from 'node:path';

export const MAGIC = 'soundboard-bundle 1';

// Pictures before clips, so that the first frame waits for no sound; within each, by name.
function order(a, b) {
  const picture = (name) => (/\.png$/i.test(name) ? 0 : 1);
  return picture(a) - picture(b) || (a < b ? -1 : a > b ? 1 : 0);
}

// Every picture and clip under a folder, by their names relative to it.
export function bundleFiles(dir) {
  const names = [];
  const walk = (sub) => {
    for (const entry of fs.readdirSync(path.join(dir, sub), { withFileTypes: true })) {
      const name = sub ? `${sub}/${entry.name}` : entry.name;
      if (entry.isDirectory()) walk(name);
      else if (/\.(png|wav)$/i.test(name)) names.push(name);
    }
  };
  walk('');
  return names.sort(order);
}

function bound(name, limits) {
  return /\.png$/i.test(name) ? limits.maxPictureFileBytes : limits.maxClipFileBytes;
}

// Writes the pack of `files` ({name: its bytes, or the path of a file holding them}) to `out`.
export function writePack(out, files, limits) {
  const names = Object.keys(files).sort(order);
  const size = (v) => (typeof v === 'string' ? fs.statSync(v).size : v.length);
  const read = (v) => (typeof v === 'string' ? fs.readFileSync(v) : v);
  const list = names.map((name) => {
    const bytes = size(files[name]);
    return bytes > bound(name, limits)
      ? { name, bytes, refused: `larger than ${bound(name, limits) / (1 << 20)} MiB` }
      : { name, bytes };
  });
  const fd = fs.openSync(out, 'w');
  try {
    fs.writeSync(fd, `${MAGIC}\n${JSON.stringify({ files: list })}\n`);
    for (const entry of list) if (!entry.refused) fs.writeSync(fd, read(files[entry.name]));
  } finally {
    fs.closeSync(fd);
  }
}

// The files of a pack, as {name: bytes}; a refused one as null.
export function readPack(file) {
  const data = fs.readFileSync(file);
  const first = data.indexOf(10), second = data.indexOf(10, first + 1);
  const { files } = JSON.parse(data.subarray(first + 1, second).toString());
  const out = {};
  let at = second + 1;
  for (const entry of files) {
    out[entry.name] = entry.refused ? null : data.subarray(at, at + entry.bytes);
    if (!entry.refused) at += entry.bytes;
  }
  return out;
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const [bundle, site, limitsFile] = process.argv.slice(2);
  const limits = JSON.parse(fs.readFileSync(limitsFile, 'utf8'));
  const files = Object.fromEntries(bundleFiles(bundle).map((name) => [name, path.join(bundle, name)]));
  writePack(path.join(site, 'bundle.pack'), files, limits);
}
