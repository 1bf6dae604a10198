// The page's start, run as its head is read, before the program's script has come: it asks at
// once for what the first frame needs, and works on it while the rest comes.
//
// - The pictures: this screen density's pack (Web/site.mjs has its format), read as it streams
//   in and each picture decoded as soon as its bytes are, by the browser's image decoder where
//   it has one, else through a canvas. The first frame's come first, then
//   those of buttons held down; another density's pack only when the program asks for it.
// - The program's WebAssembly, compiled as it streams in.
// - The worker that paints the canvas (an OffscreenCanvas) once the program runs.
// - On a later visit, the picture of the first frame that the program drew on the visit before,
//   on a screen of the same size, shown at once until the program draws its own (which is the
//   same, the program starting alike each time): a phone shows an app's last picture so.
// Written into the page by Web/site.mjs, after the engine's numbers (kEngine) and Frame.js; the
// site's list of files is the page's <script id="site">. The program's side (Loader.js,
// Web.js) takes everything from here:
//
//   soundboardBoot.site       the site's list of files
//   soundboardBoot.frame      the letterbox and twin rule (Frame.js)
//   soundboardBoot.twin       the density of pictures this screen takes, as the page's preloads
//                             pick it (the site's media queries, Web/site.mjs)
//   soundboardBoot.module     a promise of the program's compiled WebAssembly
//   soundboardBoot.painter    the painting worker, or null where the browser cannot paint an
//                             OffscreenCanvas in one
//   soundboardBoot.pictures   by name, each picture asked for: {width, height, state}, state
//                             'coming' (its bytes on their way), 'here' (being decoded),
//                             'decoded' (in decoded[name]) or 'failed'
//   soundboardBoot.decoded    by name, each decoded picture: {width, height, rgba}
//   soundboardBoot.load(twin) reads that density's pack: {bytes, all}, promises of its last
//                             byte and of every picture decoded (or failed)
//   soundboardBoot.loaded     by density, what load gave
//   soundboardBoot.changed    called whenever a picture is decoded or fails (set by Loader.js)
//   soundboardBoot.snapshot   {cache, key}: where the first frame's picture is kept; .shown, the
//                             picture on the page while it is there
var soundboardBoot = (function () {
  var site = JSON.parse(document.getElementById('site').textContent);
  var frame = soundboardFrame(kEngine);
  var kMaxPackHead = 1 << 20;  // bytes of a pack's list: far above any real one
  var boot = {site: site, frame: frame, pictures: {}, decoded: {}, loaded: {}, changed: function () {}};

  function warn(name, why) { console.warn('Soundboard: ' + name + ' left out: ' + why); }

  // A file name as the file system may take it: relative, each part a name, none '.' or '..'.
  boot.saneName = function (name) {
    return typeof name === 'string' && name.length > 0 && name.length < 1024 && !/[\0\\]/.test(name) &&
      name.split('/').every(function (part) { return part && part !== '.' && part !== '..'; });
  };

  // -----------------------------------------------------------------------------------------------
  // The worker: paints the canvas it is given, the rectangles it is given, says when the first
  // of them is shown, and reads pixels back for the tests.

  function work() {
    var canvas = null, context = null, shown = false;
    onmessage = function (event) {
      var m = event.data;
      if (m.canvas) {
        canvas = m.canvas;
        context = canvas.getContext('2d');
      } else if (m.size) {
        canvas.width = m.size[0];
        canvas.height = m.size[1];
      } else if (m.read) {
        var r = m.read, pixels = context.getImageData(r[0], r[1], r[2], r[3]).data;
        postMessage({read: m.id, pixels: pixels}, [pixels.buffer]);
      } else {
        m.rects.forEach(function (r) {
          context.putImageData(new ImageData(new Uint8ClampedArray(r.pixels), r.w, r.h), r.x, r.y);
        });
        if (!shown) {
          shown = true;  // committed once this task ends, on screen by the next frame
          (self.requestAnimationFrame || setTimeout)(function () { postMessage({shown: true}); });
        }
      }
    };
  }

  // -----------------------------------------------------------------------------------------------
  // Decoding, by the browser's image decoder where it has one, else through a canvas: both
  // decode off the page's thread. (In the worker instead, each picture's pixels would cross
  // back to the page, which took longer than the decoding they saved.)

  function isPng(bytes) {
    var signature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
    return bytes.length >= 24 && signature.every(function (b, i) { return bytes[i] === b; });
  }

  function fourcc(bytes, at) { return String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]); }
  boot.fourcc = fourcc;

  function isWebp(bytes) { return bytes.length >= 30 && fourcc(bytes, 0) === 'RIFF' && fourcc(bytes, 8) === 'WEBP'; }

  // The longer side from the header, before any decoding: a huge picture is refused unread.
  function pictureSide(bytes) {
    var view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length);
    if (isPng(bytes)) return Math.max(view.getUint32(16), view.getUint32(20));
    var chunk = fourcc(bytes, 12);
    if (chunk === 'VP8L') {
      var bits = view.getUint32(21, true);
      return Math.max((bits & 0x3fff) + 1, ((bits >>> 14) & 0x3fff) + 1);
    }
    if (chunk === 'VP8X') {
      return Math.max((view.getUint32(24, true) & 0xffffff) + 1, (view.getUint32(27, true) & 0xffffff) + 1);
    }
    if (chunk === 'VP8 ') return Math.max(view.getUint16(26, true) & 0x3fff, view.getUint16(28, true) & 0x3fff);
    return Infinity;
  }

  // The picture's type from its header, or why it is refused: a picture too large, or not the
  // size the site's list says, is never decoded.
  function pictureHeader(bytes, entry) {
    var type = isPng(bytes) ? 'image/png' : isWebp(bytes) ? 'image/webp' : null;
    if (!type) return {refused: 'not a PNG or WebP file'};
    var side = pictureSide(bytes);
    if (side > kEngine.maxPictureSide) return {refused: 'larger than ' + kEngine.maxPictureSide + ' pixels'};
    if (entry.width && Math.max(entry.width, entry.height) !== side) return {refused: 'not the size its pack says'};
    return {type: type};
  }

  // Through a canvas, where the browser has no image decoder.
  function onPage(name, bytes, type) {
    var options = {premultiplyAlpha: 'none', colorSpaceConversion: 'none'};
    createImageBitmap(new Blob([bytes], {type: type}), options).then(function (bitmap) {
      var canvas = document.createElement('canvas');
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      var context = canvas.getContext('2d', {willReadFrequently: true});
      context.drawImage(bitmap, 0, 0);
      var rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
      bitmap.close();
      decodedAs(name, {width: canvas.width, height: canvas.height, rgba: rgba});
    }).catch(function (error) { failed(name, error.message); });
  }

  function byDecoder(name, bytes, type) {
    var decoder = new ImageDecoder({data: bytes, type: type, premultiplyAlpha: 'none', colorSpaceConversion: 'none'});
    decoder.decode().then(function (result) {
      var picture = result.image, pixels = new Uint8ClampedArray(picture.codedWidth * picture.codedHeight * 4);
      return picture.copyTo(pixels, {format: 'RGBA'}).then(function () {
        decodedAs(name, {width: picture.codedWidth, height: picture.codedHeight, rgba: pixels});
      }).finally(function () { picture.close(); });
    }).catch(function (error) { failed(name, error.message); }).finally(function () { decoder.close(); });
  }

  function decode(name, bytes, type) {
    if (typeof ImageDecoder === 'function') byDecoder(name, bytes, type);
    else onPage(name, bytes, type);
  }

  function decodedAs(name, picture) {
    var entry = boot.pictures[name];
    if (!entry || entry.state !== 'here') return;
    if (entry.width && (picture.width !== entry.width || picture.height !== entry.height)) return failed(name, 'not the size its pack says');
    boot.decoded[name] = picture;
    entry.state = 'decoded';
    entry.done();
    boot.changed();
  }

  function failed(name, why) {
    var entry = boot.pictures[name];
    if (entry && entry.state === 'decoded') return;
    if (entry) {
      entry.state = 'failed';
      entry.done();
    }
    warn(name, why);
    boot.changed();
  }

  // -----------------------------------------------------------------------------------------------
  // A picture pack, read as it streams in: its format line, one line of JSON listing each file
  // with its size, then the files' bytes one after another. file(name, bytes) for each file as
  // soon as its bytes are, refused(name, why) for one left out. A fault (the pack cut short,
  // longer than its list, a list past any real one) ends the reading; what came before it is
  // kept. No byte of a file past the bound is kept, whatever the pack says of it.

  function readPack(response, file, refused) {
    if (!response.ok) throw new Error('HTTP ' + response.status);
    var kBound = kEngine.maxPictureFileBytes;
    var files = null, at = 0, parts = [], got = 0;
    var head = [], headBytes = 0, lines = [];  // the head's chunks, and where its lines end

    function settle() {  // ends the files that need no more bytes
      while (files && at < files.length) {
        var f = files[at];
        if (f.refused) refused(f.name, f.refused);
        else if (got < f.bytes) return;
        else if (f.bad) refused(f.name, 'a name that climbs out of the bundle, or none');
        else if (f.bytes > kBound) refused(f.name, 'larger than ' + kBound / (1024 * 1024) + ' MiB');
        else {
          var bytes = new Uint8Array(f.bytes), offset = 0;
          parts.forEach(function (part) { bytes.set(part, offset); offset += part.length; });
          file(f.name, bytes);
        }
        at++;
        parts = [];
        got = 0;
      }
    }

    // The two lines of the head, found in one pass over each chunk as it comes; the rest of the
    // chunk that ends them, or null while they go on.
    function takeHead(chunk) {
      for (var i = chunk.indexOf(10); i >= 0 && lines.length < 2; i = chunk.indexOf(10, i + 1)) {
        lines.push(headBytes + i);
      }
      head.push(chunk);
      headBytes += chunk.length;
      if (lines.length < 2) {
        if (headBytes > kMaxPackHead) throw new Error('its list is longer than ' + kMaxPackHead + ' bytes');
        return null;
      }
      var all = new Uint8Array(headBytes), offset = 0;
      head.forEach(function (part) { all.set(part, offset); offset += part.length; });
      head = null;
      var decoder = new TextDecoder();
      if (decoder.decode(all.subarray(0, lines[0])) !== kEngine.packFormat) throw new Error('not a picture pack');
      var list = JSON.parse(decoder.decode(all.subarray(lines[0] + 1, lines[1]))).files;
      if (!Array.isArray(list)) throw new Error('no list of files');
      files = list.map(function (f) {
        if (!f || !Number.isSafeInteger(f.bytes) || f.bytes < 0) throw new Error('a file of no size');
        return {name: String(f.name), bytes: f.bytes, refused: f.refused && String(f.refused), bad: !boot.saneName(f.name)};
      });
      return all.subarray(lines[1] + 1);
    }

    function feed(chunk) {
      if (!files && !(chunk = takeHead(chunk))) return;
      for (var i = 0; i < chunk.length;) {
        settle();
        if (at >= files.length) throw new Error('it is longer than its list');
        var f = files[at], take = Math.min(f.bytes - got, chunk.length - i);
        if (f.bytes <= kBound && !f.bad) parts.push(chunk.slice(i, i + take));
        got += take;
        i += take;
      }
      settle();
    }

    var reader = response.body.getReader();
    return reader.read().then(function next(step) {
      if (step.done) {
        if (!files || at < files.length) throw new Error('it ends early');
        return;
      }
      feed(step.value);
      return reader.read().then(next);
    });
  }

  boot.load = function (twin) {
    if (boot.loaded[twin]) return boot.loaded[twin];
    var pack = site.pictures[twin], waits = [];
    pack.names.forEach(function (name, i) {
      if (boot.pictures[name]) return;
      var entry = boot.pictures[name] = {width: pack.sizes[i][0], height: pack.sizes[i][1], state: 'coming'};
      waits.push(new Promise(function (done) { entry.done = done; }));
    });
    var bytes = fetch(pack.url).then(function (response) {
      return readPack(response, function (name, bytes) {
        var entry = boot.pictures[name];
        if (!entry) return warn(name, 'not a picture the site lists (it is no PNG, or too large)');
        if (entry.state !== 'coming') return;
        var header = pictureHeader(bytes, entry);
        if (header.refused) return failed(name, header.refused);
        entry.state = 'here';
        decode(name, bytes, header.type);
      }, failed);
    }).catch(function (error) {
      console.warn('Soundboard: pictures (' + pack.url + ') cut short: ' + error.message);
    }).then(function () {
      pack.names.forEach(function (name) {  // listed, never came
        if (boot.pictures[name].state === 'coming') failed(name, 'not in the pack');
      });
    });
    return boot.loaded[twin] = {bytes: bytes, all: bytes.then(function () { return Promise.all(waits); })};
  };

  // -----------------------------------------------------------------------------------------------
  // The program's WebAssembly: compiled as it streams in where the host names its type, else
  // once it is all here.

  boot.twin = 1;
  site.media.forEach(function (media, twin) { if (media && matchMedia(media).matches) boot.twin = twin; });
  boot.load(boot.twin);
  boot.module = fetch(site.wasm).then(function (response) {
    if (!response.ok) throw new Error(site.wasm + ': HTTP ' + response.status);
    return WebAssembly.compileStreaming(response.clone()).catch(function () {
      return response.arrayBuffer().then(function (bytes) { return WebAssembly.compile(bytes); });
    });
  });
  boot.module.catch(function () {});  // said when the program asks for it

  // The first frame's picture from the visit before, for this build on a screen just like this.
  var page = frame.page(), backing = frame.backing(page);
  boot.snapshot = {cache: site.program + ' first frame ' + new URL('.', location).pathname,
                   key: new URL('first-frame?' + [site.version, backing, page.width, page.height, page.insets].join('/'), location).href};
  // Put on the page as soon as it has a body (the page calls this first thing there), shown by
  // the browser once decoded, off the page's thread; on a visit after the first, asked of the
  // offline copy's worker (sw.js), which has it if the visit before kept it.
  boot.snapshot.show = function () {
    if (!navigator.serviceWorker || !navigator.serviceWorker.controller) return;
    var shown = boot.snapshot.shown = new Image();
    shown.alt = '';
    shown.decoding = 'async';
    var place = frame.placed(page).css;
    shown.style.cssText = 'position: fixed; pointer-events: none; left: ' + place.x + 'px; top: ' + place.y +
      'px; width: ' + place.width + 'px; height: ' + place.height + 'px;';
    shown.onerror = function () { shown.remove(); };
    shown.src = boot.snapshot.key;
    shown.decode().catch(function () {});  // as soon as it is here, not at the next paint
    document.body.insertBefore(shown, document.body.firstChild);
  };
  // The painter, made once the first requests are out.
  var paints = typeof OffscreenCanvasRenderingContext2D === 'function' &&
               typeof HTMLCanvasElement.prototype.transferControlToOffscreen === 'function';
  boot.painter = paints ? new Worker(URL.createObjectURL(new Blob(['(' + work.toString() + ')()'], {type: 'text/javascript'}))) : null;
  boot.heard = null;  // what the painter says, for the program's side (Web.js)
  if (boot.painter) boot.painter.onmessage = function (event) { if (boot.heard) boot.heard(event.data); };
  return boot;
})();
