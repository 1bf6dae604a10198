// Runs as the page loads the program (linked with --pre-js), after the page's head has asked
// for the pictures and the program's WebAssembly and begun decoding and compiling them
// (Boot.js):
//
// - The program starts once its WebAssembly is compiled. The pictures the site lists are the
//   program's from the start, at the size the list gives, as a phone's named picture is before
//   it is decoded: each one still on its way (Module.loader.picturePending) is drawn once it is
//   decoded, and the first frame waits for those it shows. Another density's pictures are asked
//   for only when the screen changes to it.
// - The clips: one file each, asked for once the pictures are in, a few at a time, the smallest
//   first; a press on a clip still on its way asks for it at once (Module.loader.clipWanted).
//   Each is decoded once the first frame is shown; a player made before its clip waits for it
//   (Module.bundle.pending). A thin bar beside the frame shows that sound is still coming.
//   Module.page.clipsIn: when the last of them came, or failed.
// - The offline copy: once every clip is in, the service worker is given the site, taken from
//   what the page already fetched (sw.js).
//
// A file that is missing, refused or does not decode is left out with a warning: its table then
// fails as on a desktop, or its button stays silent, and the rest works. Some of the desktop's
// bounds (Engine/Limits.h) hold here: a picture's side and file size, a clip's file size and
// its size once converted for the mixer, checked before decoding where the file says it.

Module.bundle = {pictures: {}, clips: {}, pending: {}};
Module.page = Module.page || {};  // what the page offers its tests (Web.js)

(function () {
  var boot = soundboardBoot, site = boot.site, frame = boot.frame;
  var kBundle = kEngine.bundleDir + '/';
  var kMaxPackHead = 1 << 20;  // bytes of a pack's list: far above any real one
  var kClipsAtOnce = 2;        // clip requests in flight, besides one pressed for

  function leftOut(name) {
    return function (error) { console.warn('Soundboard: ' + name + ' left out: ' + error.message); };
  }

  // ---------------------------------------------------------------------------------------------
  // The program's WebAssembly, compiled from the head's request.

  Module.instantiateWasm = function (imports, done) {
    boot.module.then(function (module) {
      return WebAssembly.instantiate(module, imports).then(function (instance) { done(instance, module); });
    }).catch(function (error) {
      console.warn('Soundboard: the program cannot start: ' + error.message);
    });
    return {};
  };

  // ---------------------------------------------------------------------------------------------
  // The sound: a context at the output's own rate (or at `rate`, to replace one), so that the
  // browser resamples nothing, and the mixer's module for it. Gives {audio, mixer}, mixer a
  // promise of {bytes, worklet}: the module's bytes, and whether the audio thread can run it
  // (the worklet is loaded into the context); of null when there is no mixer at all. Null
  // without Web Audio. An iPhone plays a page's sound through its silent switch only in a
  // playback session, asked for before the context starts.
  var mixerBytes = null;
  Module.openSound = function (rate) {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return null;
    if (navigator.audioSession) navigator.audioSession.type = 'playback';
    var options = {latencyHint: 'interactive'};
    if (rate) options.sampleRate = rate;
    var audio = new Context(options);
    var bytes = mixerBytes || fetch(site.mixer.wasm).then(function (response) {
      if (!response.ok) throw new Error(site.mixer.wasm + ': HTTP ' + response.status);
      return response.arrayBuffer();
    });
    mixerBytes = bytes;
    var worklet = typeof AudioWorkletNode === 'function' && audio.audioWorklet
      ? audio.audioWorklet.addModule(site.mixer.script).then(function () { return true; }, function (error) {
          console.warn('Soundboard: no mixer on the audio thread (' + error.message + '): mixing on the page');
          return false;
        })
      : Promise.resolve(false);
    var mixer = Promise.all([bytes, worklet]).then(function (got) {
      return {bytes: got[0], worklet: got[1]};
    }, function (error) {
      console.warn('Soundboard: no mixer (' + error.message + '): no sound');
      return null;
    });
    return {audio: audio, mixer: mixer};
  };
  Module.page.mixerScript = site.mixer.script;  // for the page's own mixer (Web.js)

  // ---------------------------------------------------------------------------------------------
  // Pictures, as the page's head brings them (Boot.js): each decoded one in Module.bundle.
  // pictures; each one coming or being decoded is on its way for the program, at its size.

  var picturesTold = false;
  boot.changed = function () {
    Object.keys(boot.decoded).forEach(function (name) { Module.bundle.pictures[kBundle + name] = boot.decoded[name]; });
    if (picturesTold || !Module.picturesReady) return;
    picturesTold = true;
    setTimeout(function () {  // once for the pictures of a moment
      picturesTold = false;
      Module.picturesReady();
    });
  };
  boot.changed();

  // A picture the program asked for that is not decoded: whether it is on its way, and its size.
  // One of a density not asked for yet (the screen changed) is asked for now.
  function picturePending(path) {
    var name = path.slice(kBundle.length);
    for (var twin = 1; twin < site.pictures.length && !boot.pictures[name]; twin++) {
      if (boot.loaded[twin] || site.pictures[twin].names.indexOf(name) < 0) continue;
      boot.load(twin);
    }
    var entry = boot.pictures[name];
    return entry && (entry.state === 'coming' || entry.state === 'here') ? entry : null;
  }

  // ---------------------------------------------------------------------------------------------
  // Clips

  var fourcc = boot.fourcc;
  function isWav(bytes) { return bytes.length >= 12 && fourcc(bytes, 0) === 'RIFF' && fourcc(bytes, 8) === 'WAVE'; }

  // A WAV file's channels, rate, frames and speakers (WAVE_FORMAT_EXTENSIBLE's mask, or 0), from
  // its chunks; null if it has none of them. The program mixes the channels down by the
  // speakers, as on a desktop.
  function wavHeader(bytes) {
    var view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length), format = null;
    for (var at = 12, chunks = 0; at + 8 <= bytes.length && chunks < 64; chunks++) {
      var size = view.getUint32(at + 4, true), id = fourcc(bytes, at);
      if (id === 'fmt ' && at + 24 <= bytes.length) {
        var extensible = size >= 24 && at + 32 <= bytes.length && view.getUint16(at + 8, true) === 0xfffe;
        format = {channels: view.getUint16(at + 10, true), rate: view.getUint32(at + 12, true),
                  block: view.getUint16(at + 20, true), mask: extensible ? view.getUint32(at + 28, true) : 0};
      } else if (id === 'data' && format && format.block > 0) {
        format.frames = Math.floor(size / format.block);
        return format;
      }
      at += 8 + size + (size & 1);
    }
    return null;
  }

  // The clip as the mixer would hold it, stereo 16-bit at the context's rate, is bounded:
  // reckoned from what the file says before decoding, and checked again after.
  function tooLong(frames, rate, outRate) {
    return !(rate > 0) || Math.ceil(frames * outRate / rate) * 4 > kEngine.maxClipBytes;
  }
  var kTooLong = 'longer than ' + kEngine.maxClipBytes / (1024 * 1024) + ' MiB once converted';

  // Decodes a clip's file (WAV, or the site's lossy copy of one) at the context's rate. A
  // decoder that keeps the encoder's lead-in (its priming) has it cut, so that the clip's first
  // sample is heard at the press, and the clip keeps its frames.
  function decodeClip(clip, bytes, audio) {
    var header = isWav(bytes) ? wavHeader(bytes) : null;
    var said = header || (clip.frames ? {frames: clip.frames, rate: clip.rate} : null);
    if (said && tooLong(said.frames, said.rate, audio.sampleRate)) return Promise.reject(new Error(kTooLong));
    return new Promise(function (resolve, reject) {
      // Callbacks for older Safari; the promise that newer browsers also return is the same
      // failure, already handled by them.
      var decoding = audio.decodeAudioData(bytes.buffer, resolve, reject);
      if (decoding && decoding.catch) decoding.catch(function () {});
    }).then(function (buffer) {
      if (tooLong(buffer.length, buffer.sampleRate, buffer.sampleRate)) throw new Error(kTooLong);
      var from = 0, length = buffer.length;
      if (clip.frames && clip.lead) {
        var ratio = buffer.sampleRate / clip.rate, expected = Math.round(clip.frames * ratio);
        var lead = Math.round(clip.lead * ratio);
        if (buffer.length >= expected + lead) [from, length] = [lead, expected];
      }
      var channels = [];
      for (var c = 0; c < buffer.numberOfChannels; c++) channels.push(buffer.getChannelData(c).subarray(from, from + length));
      Module.bundle.clips[kBundle + clip.name] = {rate: buffer.sampleRate, channels: channels,
                                                  mask: header ? header.mask : 0};
    });
  }

  // A file's bytes, counted as they come (for the bar); refused past `bound` unread where the
  // host says its length, else cut there.
  function fetchBytes(url, bound, counted) {
    return fetch(url).then(function (response) {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      var length = Number(response.headers.get('Content-Length'));
      var tooLarge = new Error('larger than ' + bound / (1024 * 1024) + ' MiB');
      if (length > bound) {
        response.body.cancel();
        throw tooLarge;
      }
      var reader = response.body.getReader(), parts = [], got = 0;
      return reader.read().then(function next(step) {
        if (step.done) {
          var bytes = new Uint8Array(got), at = 0;
          parts.forEach(function (part) { bytes.set(part, at); at += part.length; });
          return bytes;
        }
        got += step.value.length;
        if (got > bound) {
          reader.cancel();
          throw tooLarge;
        }
        parts.push(step.value);
        counted(step.value.length);
        return reader.read().then(next);
      });
    });
  }

  // The sound is made once the first frame is on the screen: a browser's first context can
  // hold the page's thread a good while (a third of a second in Chromium), which no first frame
  // should wait for.
  var shown = new Promise(function (done) { addEventListener('soundboard-shown', done, {once: true}); });
  var sound = null;
  var sounding = shown.then(function () {
    return new Promise(function (painted) { requestAnimationFrame(function () { setTimeout(painted); }); });
  }).then(function () {
    sound = Module.sound = Module.openSound();
    if (sound && Module.soundReady) Module.soundReady();
    return sound;
  });
  var clips = (window.AudioContext || window.webkitAudioContext ? site.clips : []).filter(function (clip) {
    if (boot.saneName(clip.name)) return true;
    leftOut(String(clip.name))(new Error('a bad name'));
    return false;
  });
  clips.forEach(function (clip) { Module.bundle.pending[kBundle + clip.name] = true; });
  var queue = clips.slice().sort(function (a, b) { return a.bytes - b.bytes; });
  var inFlight = 0, settled = 0, received = 0, total = 0;
  clips.forEach(function (clip) { total += clip.bytes; });
  var clipsStarted = null;

  function clipCame(clip) {
    delete Module.bundle.pending[kBundle + clip.name];
    settled++;
    progress.update();
    if (Module.clipReady) Module.clipReady();  // once the program runs
    if (settled === clips.length) allClipsIn();
  }

  function fetchClip(clip) {
    clip.state = 'fetching';
    inFlight++;
    fetchBytes(clip.url, kEngine.maxClipFileBytes, function (n) {
      received += n;
      progress.update();
    }).then(function (bytes) {
      return sounding.then(function () {  // the first frame waits for no clip
        return decodeClip(clip, bytes, sound.audio);
      });
    }).catch(leftOut(clip.name)).then(function () {
      inFlight--;
      clipCame(clip);
      nextClips();
    });
  }

  function nextClips() {
    if (!clipsStarted) return;
    while (inFlight < kClipsAtOnce && queue.length) {
      var clip = queue.shift();
      if (!clip.state) fetchClip(clip);
    }
  }

  // A press on a clip still on its way: its request goes now, beside the others.
  function clipWanted(path) {
    clips.forEach(function (clip) {
      if (kBundle + clip.name === path && !clip.state) fetchClip(clip);
    });
  }

  // The bar that says sound is still coming: thin, beside the frame (below it, else above it),
  // in the screen's bars or safe area, never over the frame; none where there is no room.
  var progress = {
    bar: null,
    update: function () {
      if (settled === clips.length) {
        if (this.bar) this.bar.remove();
        this.bar = null;
        return;
      }
      if (!this.bar) {
        if (!clipsStarted || !document.body) return;
        this.bar = document.createElement('div');
        this.bar.setAttribute('role', 'progressbar');
        this.bar.setAttribute('aria-label', 'Sounds loading');
        this.bar.style.cssText = 'position: fixed; height: 3px; border-radius: 2px; pointer-events: none; ' +
          'background: rgba(255, 255, 255, 0.2) linear-gradient(#fff, #fff) no-repeat; ' +
          'background-size: 0% 100%; transition: background-size 0.2s;';
        document.getElementById('screen').parentNode.appendChild(this.bar);
        this.place();
        addEventListener('resize', this.place.bind(this));
      }
      var done = total ? Math.min(1, received / total) : settled / clips.length;
      this.bar.style.backgroundSize = (done * 100).toFixed(1) + '% 100%';
      this.bar.setAttribute('aria-valuenow', Math.round(done * 100));
    },
    place: function () {
      if (!this.bar) return;
      var page = frame.page(), gap = 6, tall = 3;
      var box = frame.letterbox(page.width, page.height, page.insets);
      var top = box.y + kEngine.frameHeight * box.scale, below = page.height - page.insets[3] - top;
      var room = below >= gap + tall ? top + gap : box.y >= gap + tall + page.insets[1] ? box.y - gap - tall : null;
      this.bar.style.display = room === null ? 'none' : 'block';
      this.bar.style.left = (box.x + kEngine.frameWidth * box.scale * 0.25) + 'px';
      this.bar.style.width = (kEngine.frameWidth * box.scale * 0.5) + 'px';
      this.bar.style.top = room + 'px';
    },
  };

  // ---------------------------------------------------------------------------------------------
  // The offline copy, once everything is in: the service worker keeps the site's files as the
  // page took them (sw.js), this screen's pictures among them. Module.page.offline resolves
  // once it has them all.
  var madeOffline;
  Module.page.offline = new Promise(function (done) { madeOffline = done; });
  function allClipsIn() {
    if (Module.page.clipsIn) return;
    Module.page.clipsIn = performance.now();
    if (!('serviceWorker' in navigator)) return madeOffline(false);
    madeOffline(shown.then(function () {
      return navigator.serviceWorker.register('sw.js');
    }).then(function () {
      return navigator.serviceWorker.ready;
    }).then(function (registration) {
      var keep = Object.keys(boot.loaded).map(function (twin) { return site.pictures[twin].url; });
      return new Promise(function (done) {
        var channel = new MessageChannel();
        channel.port1.onmessage = function (event) { done(event.data.kept); };
        registration.active.postMessage({keep: keep}, [channel.port2]);
      });
    }).catch(function (error) {
      console.warn('Soundboard: no offline copy: ' + error.message);
      return false;
    }));
  }

  // ---------------------------------------------------------------------------------------------
  // The order of things

  var firstPictures = boot.load(boot.twin);
  firstPictures.bytes.then(function () {
    clipsStarted = true;  // the pictures' bytes are in: the clips' turn
    if (!clips.length) allClipsIn();
    nextClips();
    progress.update();
  });

  // Whether the bundle has a file, by its full path: a picture the site lists that has not
  // failed, or a clip. The page has no file system: this is what the program's paths find.
  function has(path) {
    var name = path.slice(kBundle.length), picture = boot.pictures[name];
    return path.indexOf(kBundle) === 0 && ((picture && picture.state !== 'failed') ||
      clips.some(function (clip) { return clip.name === name; }));
  }

  Module.loader = {clipWanted: clipWanted, picturePending: picturePending, has: has};

})();
