// Runs before main (linked with --pre-js): fetches every file the bundle lists in bundle.json,
// writes it into the program's file system under /bundle, and has the browser decode each
// picture and clip now, so that the engine's tables get them synchronously. A file that is
// missing or does not decode is left out with a warning: its table then fails as it does on
// a desktop, and the rest still starts.
//
// Some of the desktop's bounds (Engine/Limits.h): a picture is a PNG of at most
// kMaxPictureSide pixels a side, each file at most its kind's size; the browser's own decoders
// take care of the rest.

Module.bundle = {pictures: {}, clips: {}};
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

  function decodePicture(name, bytes) {
    if (!isPng(bytes)) return Promise.reject(new Error('not a PNG file'));
    if (pngSide(bytes) > kMaxPictureSide) {
      return Promise.reject(new Error('larger than ' + kMaxPictureSide + ' pixels'));
    }
    var options = {premultiplyAlpha: 'none', colorSpaceConversion: 'none'};
    return createImageBitmap(new Blob([bytes], {type: 'image/png'}), options).then(function (bitmap) {
      var canvas = document.createElement('canvas');
      canvas.width = bitmap.width;
      canvas.height = bitmap.height;
      var context = canvas.getContext('2d', {willReadFrequently: true});
      context.drawImage(bitmap, 0, 0);
      var rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
      Module.bundle.pictures[kBundle + name] = {width: bitmap.width, height: bitmap.height, rgba: rgba};
      bitmap.close();
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

  // A file's bytes, refused as soon as it is known to be larger than `limit`: from its length
  // before anything is read, else as it streams in. Nothing of a refused file is kept.
  function fetchBounded(name, limit) {
    var tooLarge = new Error('larger than ' + limit / (1024 * 1024) + ' MiB');
    return fetch(name).then(function (response) {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      if (Number(response.headers.get('Content-Length')) > limit) {
        if (response.body) response.body.cancel();
        throw tooLarge;
      }
      if (!response.body || !response.body.getReader) {
        return response.arrayBuffer().then(function (buffer) {
          if (buffer.byteLength > limit) throw tooLarge;
          return new Uint8Array(buffer);
        });
      }
      var reader = response.body.getReader(), parts = [], total = 0;
      return reader.read().then(function next(step) {
        if (step.done) {
          var bytes = new Uint8Array(total), at = 0;
          parts.forEach(function (part) { bytes.set(part, at); at += part.length; });
          return bytes;
        }
        total += step.value.length;
        if (total > limit) {
          reader.cancel();
          throw tooLarge;
        }
        parts.push(step.value);
        return reader.read().then(next);
      });
    });
  }

  // The engine finds a file by its name in the file system; its contents, decoded by the
  // browser, are in Module.bundle, so the file there is left empty.
  function load(name, audio) {
    var picture = /\.png$/i.test(name), clip = /\.wav$/i.test(name) && audio;
    return fetchBounded(name, picture ? kMaxPictureFileBytes : kMaxClipFileBytes).then(function (bytes) {
      if (picture) return decodePicture(name, bytes);
      if (clip) return decodeClip(name, bytes, audio);
    }).then(function () {
      FS.mkdirTree((kBundle + name).replace(/\/[^/]*$/, ''));
      FS.writeFile(kBundle + name, new Uint8Array(0));
    }).catch(function (error) {
      console.warn('Soundboard: ' + name + ' left out: ' + error.message);
    });
  }

  Module.preRun = [].concat(Module.preRun || [], function () {
    addRunDependency('bundle');
    FS.mkdirTree(kBundle);
    FS.mkdirTree('/documents');
    var sound = Module.openSound();
    var audio = sound && sound.audio;
    var files = fetch('bundle.json').then(function (response) {
      return response.json();
    }).then(function (list) {
      return Promise.all(list.files.map(function (name) { return load(name, audio); }));
    }).catch(function (error) {
      console.warn('Soundboard: no bundle: ' + error.message);
    });
    Promise.all([files, sound && sound.mixer]).then(function (done) {
      if (sound) Module.sound = {audio: audio, mixer: done[1]};
      removeRunDependency('bundle');
    });
  });
})();
