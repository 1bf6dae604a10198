// The page's side of the browser backend (Web.cpp): the canvas, pointer events, the loop's
// timer and Web Audio. Linked with --js-library. Pictures and clips were decoded before main by
// Loader.js, into Module.bundle.
//
// Nothing stands between a finger and its handler: the page's own thread runs no animation
// frame callback and commits no canvas, either of which makes an event wait for it. The loop
// runs on timers at the ticks' due times and at each event, and the frame is painted by a worker
// that holds the canvas (an OffscreenCanvas), given only the damaged rectangles; a browser
// without one paints on the page.
//
// What the page offers its tests and the benchmark, on Module.page:
//   audio   the AudioContext now in use
//   mixing  where the mixer runs: 'audio thread' (the worklet) or 'page' (a script processor)
//   read(x, y, width, height)  a promise of the canvas's pixels there, as RGBA
//   firstFrame  when the first frame was painted, in ms from the page's start (and the window
//               is sent a 'soundboard-shown' event)

mergeInto(LibraryManager.library, {
  $WebPage: {
    canvas: null,
    context: null,   // the canvas's, when the page paints it
    painter: null,   // the worker that paints it otherwise
    width: 0,        // the canvas's pixels
    height: 0,
    safeArea: null,  // an element whose padding is the safe area's insets
    insets: [0, 0, 0, 0],  // left, top, right, bottom, in CSS pixels
    frame: null,     // an ImageData over the program's frame, for painting on the page
    reads: [],       // what each read the painter answers is waiting for
    timer: null,     // the loop's next step
    audio: null,   // the AudioContext
    node: null,    // its mixer: the worklet's node, or a script processor
    mixer: null,   // the worklet mixer's module, when it mixes
    frames: 0,     // of each render
    clips: [],     // [samples, frames] of each clip given to the worklet
    replacing: false,  // a new context is on its way
    held: {},  // pointers down on the canvas, by id: only they report moves (a Set would be
               // lost in the library's build)

    // The context is resumed inside a handler of the user's own gesture: on a phone a finger's
    // press does not count, its release does, so both try. After an interruption (a call, the
    // page hidden) it comes back the same way, from 'suspended' or 'interrupted'. A context
    // whose clock stands still once running is replaced, and the players carry on in the new.
    wake: function () {
      var audio = WebPage.audio;
      if (!audio || audio.state === 'running') return;
      audio.resume().then(function () {
        var then = audio.currentTime;
        setTimeout(function () {
          var stuck = audio.state === 'running' && audio.currentTime === then;
          if (stuck && audio === WebPage.audio && !document.hidden) WebPage.replace();
        }, 500);
      }, function () {});
    },

    replace: function () {
      var old = WebPage.audio;
      if (WebPage.replacing) return;
      WebPage.replacing = true;
      console.warn('Soundboard: the sound stood still; starting it again');
      var sound = Module.openSound(old.sampleRate);  // the clips are at its rate
      sound.mixer.then(function (mixer) {
        if (WebPage.node) WebPage.node.disconnect();
        old.close().catch(function () {});
        WebPage.start({audio: sound.audio, mixer: mixer}, WebPage.frames);
        WebPage.wake();
      });
    },

    // The mixer's node on a context: the worklet, given every clip so far, or a script node.
    start: function (sound, frames) {
      var audio = sound.audio, node;
      if (sound.mixer) {
        node = new AudioWorkletNode(audio, 'soundboard-mixer', {
          numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
          processorOptions: {wasm: sound.mixer},
        });
        WebPage.frames = 128;  // a render quantum
      } else {
        var size = 256;  // the smallest a script processor takes
        while (size < frames && size < 16384) size *= 2;
        node = audio.createScriptProcessor(size, 0, 2);
        node.onaudioprocess = WebPage.pull;
        WebPage.frames = size;
      }
      node.connect(audio.destination);
      WebPage.audio = audio;
      WebPage.node = node;
      WebPage.replacing = false;
      WebPage.mixer = sound.mixer;
      WebPage.clips.forEach(function (clip) { WebPage.send(clip[0], clip[1]); });
      Module.page.audio = audio;
      Module.page.mixing = sound.mixer ? 'audio thread' : 'page';
    },

    send: function (samples, frames) {
      if (!WebPage.mixer) return;
      var copy = HEAP16.slice(samples >> 1, (samples >> 1) + 2 * frames);
      WebPage.node.port.postMessage({clip: copy.buffer}, [copy.buffer]);
    },

    pull: function (event) {
      var left = event.outputBuffer.getChannelData(0), right = event.outputBuffer.getChannelData(1);
      var frames = left.length;
      var at = _web_audio_pull(frames) >> 1;
      var samples = HEAP16;
      for (var i = 0; i < frames; i++) {
        left[i] = samples[at + 2 * i] / 32768;
        right[i] = samples[at + 2 * i + 1] / 32768;
      }
    },

    pointer: function (event) {
      var phases = {pointerdown: 0, pointermove: 1, pointerup: 2, pointercancel: 2};
      var phase = phases[event.type];
      var finger = event.pointerType !== 'mouse';
      if (phase === 0) {
        if (!finger && event.button !== 0) return;
        WebPage.held[event.pointerId] = true;
        WebPage.canvas.setPointerCapture(event.pointerId);  // its release comes here, always
      } else if (!WebPage.held[event.pointerId]) {
        return;  // a mouse moving over the page with no button down
      } else if (phase === 2) {
        delete WebPage.held[event.pointerId];
      }
      event.preventDefault();
      var box = WebPage.canvas.getBoundingClientRect();
      _web_touch(phase, finger ? 1 : 0, event.pointerId, event.clientX - box.left,
                 event.clientY - box.top);
      if (phase !== 1) WebPage.wake();
      WebPage.step();  // what the touch changed is painted now
    },

    // A release may never come to a page hidden or out of focus: the touch ends now.
    cancel: function () {
      WebPage.held = {};
      _web_touch_cancel();
      WebPage.step();
    },

    // The canvas's pixels: its size on the page at the screen's density; and the safe area's
    // insets, which the page's CSS knows as env(safe-area-inset-*).
    fit: function () {
      var safe = getComputedStyle(WebPage.safeArea);
      WebPage.insets = ['paddingLeft', 'paddingTop', 'paddingRight', 'paddingBottom'].map(function (side) {
        return parseFloat(safe[side]) || 0;
      });
      var canvas = WebPage.canvas;
      var ratio = window.devicePixelRatio || 1;
      var width = Math.round(canvas.clientWidth * ratio);
      var height = Math.round(canvas.clientHeight * ratio);
      if (width === WebPage.width && height === WebPage.height) return;
      WebPage.width = width;
      WebPage.height = height;
      if (WebPage.painter) WebPage.painter.postMessage({size: [width, height]});
      else { canvas.width = width; canvas.height = height; }
    },

    resize: function () {
      WebPage.fit();
      _web_resized();
      WebPage.step();
    },

    // The worker's whole program: it holds the canvas, paints the rectangles it is given, and
    // reads pixels back for the tests.
    paint: function () {
      var canvas = null, context = null;
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
        }
      };
    },

    // Hands the canvas to a painter where the browser can paint one in a worker.
    takeCanvas: function (canvas) {
      if (typeof canvas.transferControlToOffscreen !== 'function' ||
          typeof OffscreenCanvasRenderingContext2D !== 'function') {
        WebPage.context = canvas.getContext('2d');
        return;
      }
      var code = '(' + WebPage.paint.toString() + ')()';
      var painter = new Worker(URL.createObjectURL(new Blob([code], {type: 'text/javascript'})));
      var offscreen = canvas.transferControlToOffscreen();
      painter.postMessage({canvas: offscreen}, [offscreen]);
      painter.onmessage = function (event) {
        var waiting = WebPage.reads[event.data.read];
        delete WebPage.reads[event.data.read];
        waiting(event.data.pixels);
      };
      WebPage.painter = painter;
    },

    read: function (x, y, width, height) {
      if (!WebPage.painter) {
        return Promise.resolve(WebPage.context.getImageData(x, y, width, height).data);
      }
      var id = WebPage.reads.length;
      var pixels = new Promise(function (done) { WebPage.reads[id] = done; });
      WebPage.painter.postMessage({read: [x, y, width, height], id: id});
      return pixels;
    },

    // One pass of the program's loop now, and the next at the next tick's due time. A hidden
    // page takes none: shown again, its clock skips the ticks it missed.
    step: function () {
      clearTimeout(WebPage.timer);
      WebPage.timer = null;
      if (document.hidden || !_web_frame()) return;
      var wait = _web_wait_ms();
      if (wait >= 0) WebPage.timer = setTimeout(WebPage.step, wait);
    },
  },

  web_page_open__deps: ['$WebPage'],
  web_page_open: function (title) {
    var canvas = Module.canvas || document.getElementById('screen');
    WebPage.canvas = canvas;
    document.title = UTF8ToString(title);
    ['pointerdown', 'pointermove', 'pointerup', 'pointercancel'].forEach(function (type) {
      canvas.addEventListener(type, WebPage.pointer, {passive: false});
    });
    // No menu, selection or gesture of the browser's under a finger.
    ['contextmenu', 'selectstart', 'touchstart', 'touchmove', 'gesturestart'].forEach(function (type) {
      canvas.addEventListener(type, function (event) { event.preventDefault(); }, {passive: false});
    });
    window.addEventListener('resize', WebPage.resize);
    document.addEventListener('visibilitychange', function () {
      if (document.hidden) WebPage.cancel();
      WebPage.step();
    });
    window.addEventListener('blur', WebPage.cancel);
    var safe = document.createElement('div');
    safe.style.cssText = 'position: fixed; visibility: hidden; pointer-events: none; padding: ' +
      'env(safe-area-inset-top) env(safe-area-inset-right) env(safe-area-inset-bottom) env(safe-area-inset-left)';
    document.body.appendChild(safe);
    WebPage.safeArea = safe;
    WebPage.takeCanvas(canvas);
    WebPage.fit();
    Module.page.read = WebPage.read;
  },

  web_page_size__deps: ['$WebPage'],
  web_page_size: function (css_width, css_height, pixel_width, pixel_height) {
    var canvas = WebPage.canvas || Module.canvas || document.getElementById('screen');
    HEAP32[css_width >> 2] = canvas.clientWidth;
    HEAP32[css_height >> 2] = canvas.clientHeight;
    HEAP32[pixel_width >> 2] = WebPage.width;  // fitted to the screen once the page is open
    HEAP32[pixel_height >> 2] = WebPage.height;
  },

  web_page_insets__deps: ['$WebPage'],
  web_page_insets: function (left, top, right, bottom) {
    HEAPF32[left >> 2] = WebPage.insets[0];
    HEAPF32[top >> 2] = WebPage.insets[1];
    HEAPF32[right >> 2] = WebPage.insets[2];
    HEAPF32[bottom >> 2] = WebPage.insets[3];
  },

  // Paints the damaged rectangles of the program's frame (RGBA, `stride` pixels a row): copies
  // of them to the painter, all in one message so that they show together, or straight from
  // the frame's memory onto the page's canvas.
  web_page_put__deps: ['$WebPage'],
  web_page_put: function (rgba, stride, rows, rects, count) {
    if (!Module.page.firstFrame) {
      Module.page.firstFrame = performance.now();
      dispatchEvent(new Event('soundboard-shown'));
    }
    if (WebPage.painter) {
      var list = [], buffers = [];
      for (var i = 0; i < count; i++) {
        var r = HEAP32.subarray((rects >> 2) + 4 * i, (rects >> 2) + 4 * i + 4);
        var pixels = new Uint8ClampedArray(r[2] * r[3] * 4);
        for (var row = 0; row < r[3]; row++) {
          var from = rgba + ((r[1] + row) * stride + r[0]) * 4;
          pixels.set(HEAPU8.subarray(from, from + r[2] * 4), row * r[2] * 4);
        }
        list.push({x: r[0], y: r[1], w: r[2], h: r[3], pixels: pixels.buffer});
        buffers.push(pixels.buffer);
      }
      WebPage.painter.postMessage({rects: list}, buffers);
      return;
    }
    var frame = WebPage.frame;
    if (!frame || frame.data.buffer !== HEAPU8.buffer || frame.data.byteOffset !== rgba ||
        frame.width !== stride || frame.height !== rows) {
      frame = WebPage.frame = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, stride * rows * 4), stride, rows);
    }
    for (var j = 0; j < count; j++) {
      var q = HEAP32.subarray((rects >> 2) + 4 * j, (rects >> 2) + 4 * j + 4);
      WebPage.context.putImageData(frame, 0, 0, q[0], q[1], q[2], q[3]);
    }
  },

  web_page_run__deps: ['$WebPage'],
  web_page_run: function () {
    Module.clipReady = _web_clips_arrived;  // for Loader.js, once a pending clip has come
    WebPage.step();
  },

  // The sound: the mixer on the browser's audio thread, in a worklet with a copy of it
  // (WebMixer.js), where the browser has worklets; else the core's mixer pulled on the page's
  // own thread by a script processor, whose buffers a busy page can make late.
  // Returns 0 without Web Audio, 1 when the core's mixer is pulled, 2 when the worklet mixes.
  web_audio_open__deps: ['$WebPage'],
  web_audio_open: function (rate, frames, granted_rate, granted_frames) {
    var sound = Module.sound;
    if (!sound) return 0;
    WebPage.start(sound, frames);
    HEAP32[granted_rate >> 2] = sound.audio.sampleRate;
    HEAP32[granted_frames >> 2] = WebPage.frames;
    return WebPage.mixer ? 2 : 1;
  },

  web_audio_close__deps: ['$WebPage'],
  web_audio_close: function () {
    if (WebPage.node) WebPage.node.disconnect();
    WebPage.node = null;
    WebPage.clips = [];
  },

  // A clip for the worklet's mixer: a copy of the program's samples, handed over whole. The
  // program keeps its own, from which a new context is given them again.
  web_mixer_add__deps: ['$WebPage'],
  web_mixer_add: function (samples, frames) {
    WebPage.clips.push([samples, frames]);
    WebPage.send(samples, frames);
  },

  web_mixer_cue__deps: ['$WebPage'],
  web_mixer_cue: function (cue, voice, frame) {
    if (WebPage.node) WebPage.node.port.postMessage([cue, voice, frame]);
  },

  web_picture_size: function (path, width, height) {
    var picture = Module.bundle.pictures[UTF8ToString(path)];
    if (!picture) return false;
    HEAP32[width >> 2] = picture.width;
    HEAP32[height >> 2] = picture.height;
    return true;
  },

  web_picture_pixels: function (path, rgba) {
    HEAPU8.set(Module.bundle.pictures[UTF8ToString(path)].rgba, rgba);
  },

  web_clip_frames: function (path, rate, channels, mask) {
    var clip = Module.bundle.clips[UTF8ToString(path)];
    if (!clip || clip.rate !== rate) return -1;
    HEAP32[channels >> 2] = clip.channels.length;
    HEAP32[mask >> 2] = clip.mask;
    return clip.channels[0].length;
  },

  web_clip_pending: function (path) {
    return !!Module.bundle.pending[UTF8ToString(path)];
  },

  // Every channel as the browser decoded it, one after another.
  web_clip_channels: function (path, planar) {
    var clip = Module.bundle.clips[UTF8ToString(path)];
    var frames = clip.channels[0].length;
    clip.channels.forEach(function (channel, c) { HEAPF32.set(channel, (planar >> 2) + c * frames); });
  },
});
