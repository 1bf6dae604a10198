// Runs as the page loads the program (linked with --pre-js), beside the program's own
// compiling: fetches the bundle, every picture and clip in one pack (bundle.pack), and has the
// browser decode each as it comes. The program starts once the pictures are in, so that its first frame
// is drawn; the clips go on arriving, and a player made before its clip waits for it
// (Module.bundle.pending). A file that is missing or does not decode is left out with a
// warning: its table then fails as on a desktop, or its button stays silent, and the rest works.
//
// Some of the desktop's bounds (Engine/Limits.h): a picture is a PNG of at most
// kMaxPictureSide pixels a side, each file at most its kind's size; the browser's own decoders
// take care of the rest.

Module.bundle = {pictures: {}, clips: {}, pending: {}};
Module.page = Module.page || {};  // what the page offers its tests (Web.js)

(function () {
  var kBundle = '/bundle/';
  var kMaxPictureSide = kEngineLimits.maxPictureSide;  // Engine/Limits.h, through limits.js
  var kMaxPictureFileBytes = kEngineLimits.maxPictureFileBytes;
  var kMaxClipFileBytes = kEngineLimits.maxClipFileBytes;
  var mixerBytes = null;  // the worklet mixer's module, fetched once

  // The page's sound: a context at the output's own rate (or at `rate`, to replace one), so that
  // the browser resamples nothing, and, where the browser has audio worklets, the mixer's
  // worklet loaded into it. Gives {audio, mixer}, mixer a promise of the worklet's module, or of
  // null to mix on the page; null without Web Audio. An iPhone plays a page's sound through its
  // silent switch only in a playback session, asked for before the context starts.
  Module.openSound = function (rate) {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return null;
    if (navigator.audioSession) navigator.audioSession.type = 'playback';
    var options = {latencyHint: 'interactive'};
    if (rate) options.sampleRate = rate;
    var audio = new Context(options);
    if (typeof AudioWorkletNode !== 'function' || !audio.audioWorklet) {
      return {audio: audio, mixer: Promise.resolve(null)};
    }
    var bytes = mixerBytes ? Promise.resolve(mixerBytes) : fetch('WebMixer.wasm').then(function (response) {
      if (!response.ok) throw new Error('WebMixer.wasm: HTTP ' + response.status);
      return response.arrayBuffer();
    });
    var mixer = Promise.all([bytes, audio.audioWorklet.addModule('WebMixer.js')]).then(function (loaded) {
      mixerBytes = loaded[0];
      return mixerBytes;
    }, function (error) {
      console.warn('Soundboard: no mixer on the audio thread (' + error.message + '): mixing on the page');
      return null;
    });
    return {audio: audio, mixer: mixer};
  };

  function isPng(bytes) {
    var signature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
    return bytes.length >= 24 && signature.every(function (b, i) { return bytes[i] === b; });
  }

  function isWav(bytes) {
    var text = String.fromCharCode.apply(null, bytes.subarray(0, 12));
    return text.slice(0, 4) === 'RIFF' && text.slice(8, 12) === 'WAVE';
  }

  // The size from the header, before any decoding: a huge picture is refused unread.
  function pngSide(bytes) {
    var view = new DataView(bytes.buffer, bytes.byteOffset);
    return Math.max(view.getUint32(16), view.getUint32(20));
  }

  // A PNG to straight RGBA: by the browser's image decoder where it has one (the page's thread
  // then only copies, where a canvas would draw and read back), else through a canvas.
  function decodePicture(name, bytes) {
    if (!isPng(bytes)) return Promise.reject(new Error('not a PNG file'));
    if (pngSide(bytes) > kMaxPictureSide) {
      return Promise.reject(new Error('larger than ' + kMaxPictureSide + ' pixels'));
    }
    var decoded = typeof ImageDecoder === 'function' ? byDecoder(bytes) : Promise.reject();
    return decoded.catch(function () { return byCanvas(bytes); }).then(function (picture) {
      Module.bundle.pictures[kBundle + name] = picture;
    });
  }

  // Where each of R, G, B and A is in a frame's pixels, by the frame's format; -1: opaque.
  var kChannels = {RGBA: [0, 1, 2, 3], RGBX: [0, 1, 2, -1], BGRA: [2, 1, 0, 3], BGRX: [2, 1, 0, -1]};

  function byDecoder(bytes) {
    var decoder = new ImageDecoder({data: bytes, type: 'image/png', premultiplyAlpha: 'none',
                                    colorSpaceConversion: 'none'});
    return decoder.decode().then(function (result) {
      var frame = result.image, width = frame.codedWidth, height = frame.codedHeight;
      var channels = kChannels[frame.format];
      if (!channels || frame.allocationSize() !== width * height * 4) {
        frame.close();
        throw new Error('a frame of ' + frame.format);
      }
      var pixels = new Uint8ClampedArray(width * height * 4);
      return frame.copyTo(pixels).then(function () {
        frame.close();
        if (channels[0] !== 0 || channels[3] < 0) {
          var r = channels[0], b = channels[2], a = channels[3];
          for (var i = 0; i < pixels.length; i += 4) {
            var red = pixels[i + r], blue = pixels[i + b];
            pixels[i] = red;
            pixels[i + 2] = blue;
            if (a < 0) pixels[i + 3] = 255;
          }
        }
        return {width: width, height: height, rgba: pixels};
      });
    }).finally(function () { decoder.close(); });
  }

  function byCanvas(bytes) {
    var options = {premultiplyAlpha: 'none', colorSpaceConversion: 'none'};
    return createImageBitmap(new Blob([bytes], {type: 'image/png'}), options).then(function (bitmap) {
      var canvas = document.createElement('canvas');
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      var context = canvas.getContext('2d', {willReadFrequently: true});
      context.drawImage(bitmap, 0, 0);
      var rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
      bitmap.close();
      return {width: canvas.width, height: canvas.height, rgba: rgba};
    });
  }

  // The speakers a WAV file names for its channels (WAVE_FORMAT_EXTENSIBLE), or 0: the
  // browser decodes every channel, and the program mixes them down by these, as on a desktop.
  function channelMask(bytes) {
    var view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length);
    for (var at = 12, chunks = 0; at + 8 <= bytes.length && chunks < 64; chunks++) {
      var size = view.getUint32(at + 4, true);
      var id = String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
      if (id === 'fmt ') {
        var extensible = size >= 24 && at + 32 <= bytes.length && view.getUint16(at + 8, true) === 0xfffe;
        return extensible ? view.getUint32(at + 28, true) : 0;
      }
      at += 8 + size + (size & 1);
    }
    return 0;
  }

  function decodeClip(name, bytes, audio) {
    if (!isWav(bytes)) return Promise.reject(new Error('not a WAV file'));
    var mask = channelMask(bytes);
    return new Promise(function (resolve, reject) {
      // Callbacks for older Safari; the promise that newer browsers also return is the same
      // failure, already handled by them.
      var decoding = audio.decodeAudioData(bytes.buffer, resolve, reject);
      if (decoding && decoding.catch) decoding.catch(function () {});
    }).then(function (buffer) {
      var channels = [];
      for (var c = 0; c < buffer.numberOfChannels; c++) channels.push(buffer.getChannelData(c));
      Module.bundle.clips[kBundle + name] = {rate: buffer.sampleRate, channels: channels, mask: mask};
    });
  }

  // Reads the bundle's pack as it streams in (Web/pack.mjs has its format): list(files) once
  // the list is in, then file(name, bytes) for each file as soon as its bytes are, or
  // refused(name, why) for one left out. No byte of a file past its kind's bound is kept,
  // whatever the pack says of it.
  function readPack(list, file, refused) {
    var files = null, at = 0;  // the list, and the file being read
    var head = new Uint8Array(0), parts = [], got = 0;
    function bound(name) { return /\.png$/i.test(name) ? kMaxPictureFileBytes : kMaxClipFileBytes; }
    function tooLarge(name) { return 'larger than ' + bound(name) / (1024 * 1024) + ' MiB'; }
    // Ends the files that need no more bytes: those refused, and those whose bytes are all in.
    function settle() {
      while (files && at < files.length) {
        var f = files[at];
        if (f.refused) refused(f.name, f.refused);
        else if (got < f.bytes) return;
        else if (f.bytes > bound(f.name)) refused(f.name, tooLarge(f.name));
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
    function feed(chunk) {
      if (!files) {  // the two lines of the head
        var all = new Uint8Array(head.length + chunk.length);
        all.set(head);
        all.set(chunk, head.length);
        var first = all.indexOf(10), second = first < 0 ? -1 : all.indexOf(10, first + 1);
        if (second < 0) {
          head = all;
          return;
        }
        var text = String.fromCharCode.apply(null, all.subarray(0, first));
        if (text !== 'soundboard-bundle 1') throw new Error('not a bundle pack');
        files = JSON.parse(new TextDecoder().decode(all.subarray(first + 1, second))).files;
        list(files);
        chunk = all.subarray(second + 1);
      }
      for (var i = 0; i < chunk.length;) {
        settle();
        if (at >= files.length) throw new Error('the pack is longer than its list');
        var f = files[at], take = Math.min(f.bytes - got, chunk.length - i);
        if (f.bytes <= bound(f.name)) parts.push(chunk.slice(i, i + take));
        got += take;
        i += take;
      }
      settle();
    }
    return fetch('bundle.pack').then(function (response) {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      var reader = response.body.getReader();
      return reader.read().then(function next(step) {
        if (step.done) {
          if (!files || at < files.length) throw new Error('the pack ends early');
          return;
        }
        feed(step.value);
        return reader.read().then(next);
      });
    });
  }

  // A failure to load a file is a warning and no more: its table fails as on a desktop.
  function leftOut(name) {
    return function (error) { console.warn('Soundboard: ' + name + ' left out: ' + error.message); };
  }

  // The twin this screen takes, reckoned as the platform reckons it (Views.cpp's letterbox, in
  // single precision, over the canvas's size and the page's safe area, as Web.js gives them):
  // the whole pixels a point the frame shows, from 1 (the plain picture) to 3.
  function twinScale() {
    var f = Math.fround;
    var canvas = Module.canvas || document.getElementById('screen');
    if (!canvas || !canvas.clientWidth || !canvas.clientHeight) return 1;
    var ratio = window.devicePixelRatio || 1;
    var width = Math.round(canvas.clientWidth * ratio), height = Math.round(canvas.clientHeight * ratio);
    var probe = document.createElement('div');
    probe.style.cssText = 'position: fixed; visibility: hidden; padding: env(safe-area-inset-top) ' +
      'env(safe-area-inset-right) env(safe-area-inset-bottom) env(safe-area-inset-left)';
    document.documentElement.appendChild(probe);
    var style = getComputedStyle(probe);
    var per = f(width / canvas.clientWidth);
    var inset = ['paddingLeft', 'paddingTop', 'paddingRight', 'paddingBottom'].map(function (side) {
      return f(f(parseFloat(style[side]) || 0) * per);
    });
    probe.remove();
    var scale = Math.min(f(f(f(width - inset[0]) - inset[2]) / kEngineLimits.frameWidth),
                         f(f(f(height - inset[1]) - inset[3]) / kEngineLimits.frameHeight));
    return scale > 0 ? Math.min(3, Math.max(1, Math.floor(scale))) : 1;
  }

  // Started now, not when the program is ready to run. The sound is made once the list is in
  // (it can hold the page's thread a while), while the rest streams in. Only the pictures the
  // program will take are decoded: the program asks for a plain name and takes its twin at the
  // screen's scale, or the nearest below it that is there, so each twin at this scale is
  // decoded as it comes, and the rest once all are in (the scale reckoned again, lest the page
  // changed size meanwhile). Each clip is decoded once the first frame is shown.
  var sound = null, clips = [], pngs = {}, decoding = {}, early = twinScale();
  var shown = new Promise(function (done) { addEventListener('soundboard-shown', done, {once: true}); });
  var picturesRead, readingPictures = new Promise(function (done) { picturesRead = done; });
  var clipCame = function (name) {
    delete Module.bundle.pending[kBundle + name];
    if (Module.clipReady) Module.clipReady();  // once the program runs
  };
  function decodeOnce(name) {
    if (!decoding[name]) {
      decoding[name] = decodePicture(name, pngs[name]).then(function () { return name; }, leftOut(name));
    }
    return decoding[name];
  }
  function twinScaleOf(name) {
    var twin = /@([0-9])x\.png$/i.exec(name);
    return twin ? Number(twin[1]) : 1;
  }
  // The file the program takes for a picture at a scale, decoded; null if none decodes.
  function take(plain, scale) {
    if (scale < 1) return Promise.resolve(null);
    var name = scale > 1 ? plain.replace(/(\.png)$/i, '@' + scale + 'x$1') : plain;
    if (!pngs[name]) return take(plain, scale - 1);
    return decodeOnce(name).then(function (taken) { return taken || take(plain, scale - 1); });
  }
  readPack(function (files) {
    sound = Module.openSound();
    files.forEach(function (f) {
      if (/\.wav$/i.test(f.name) && sound) {
        clips.push(f.name);
        Module.bundle.pending[kBundle + f.name] = true;
      }
    });
  }, function (name, bytes) {
    if (/\.png$/i.test(name)) {
      pngs[name] = bytes;
      if (twinScaleOf(name) === early) decodeOnce(name);
    } else {
      picturesRead();  // the pictures come first
      if (!sound) return;
      shown.then(function () {  // the first frame waits for no clip
        return decodeClip(name, bytes, sound.audio);
      }).catch(leftOut(name)).then(function () { clipCame(name); });
    }
  }, function (name, why) {
    leftOut(name)(new Error(why));
    if (/\.wav$/i.test(name)) clipCame(name);
  }).catch(function (error) {
    console.warn('Soundboard: no bundle: ' + error.message);
    clips.forEach(clipCame);
  }).then(picturesRead);
  var pictures = readingPictures.then(function () {
    var scale = twinScale(), plains = {};
    Object.keys(pngs).forEach(function (name) { plains[name.replace(/@[0-9]x(\.png)$/i, '$1')] = true; });
    return Promise.all(Object.keys(plains).map(function (plain) { return take(plain, scale); }));
  }).then(function (taken) {
    pngs = null;  // the bytes of twins not taken
    return taken;
  });

  // The engine finds a file by its name in the file system; its contents, decoded by the
  // browser, are in Module.bundle, so the file there is left empty. Each clip has its file
  // from the start: the player made for it waits while it is pending.
  Module.preRun = [].concat(Module.preRun || [], function () {
    addRunDependency('bundle');
    var mixer = pictures.then(function () { return sound && sound.mixer; });
    Promise.all([pictures, mixer]).then(function (ready) {
      FS.mkdirTree('/documents');
      ready[0].concat(clips).forEach(function (name) {
        if (!name) return;
        FS.mkdirTree((kBundle + name).replace(/\/[^/]*$/, ''));
        FS.writeFile(kBundle + name, new Uint8Array(0));
      });
      if (sound) Module.sound = {audio: sound.audio, mixer: ready[1]};
      removeRunDependency('bundle');
    });
  });
})();
