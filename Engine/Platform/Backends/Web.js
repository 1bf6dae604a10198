// The page's side of the browser backend (Web.cpp): the canvas, pointer events, the frame
// callback and Web Audio. Linked with --js-library. Pictures and clips were decoded before
// main by Loader.js, into Module.bundle.
//
// What the page offers its tests and the benchmark, on Module.page:
//   recording  set it to an array and every mixed buffer is pushed to it (16-bit stereo)
//   presses    set it to an array and each press pushes the milliseconds to the end of its
//              handler, where the sound was started: since_event (from the pointer event's
//              time) and in_handler (from the handler's start)
//   audio      the AudioContext; frames, the frames of each of its buffers

mergeInto(LibraryManager.library, {
  $WebPage: {
    canvas: null,
    context: null,
    audio: null,
    node: null,
    held: {},  // pointers down on the canvas, by id: only they report moves (a Set would be
               // lost in the library's build)

    // The context is resumed inside a handler of the user's own gesture: on a phone a finger's
    // press does not count, its release does, so both try.
    wake: function () {
      var audio = WebPage.audio;
      if (audio && audio.state !== 'running') audio.resume().catch(function () {});
    },

    pointer: function (event) {
      var began = performance.now();
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
      if (phase === 0 && Module.page.presses) {
        var now = performance.now();
        Module.page.presses.push({since_event: now - event.timeStamp, in_handler: now - began});
      }
      if (phase !== 1) WebPage.wake();
    },

    // The canvas's pixels: its size on the page at the screen's density.
    fit: function () {
      var canvas = WebPage.canvas;
      var ratio = window.devicePixelRatio || 1;
      var width = Math.round(canvas.clientWidth * ratio);
      var height = Math.round(canvas.clientHeight * ratio);
      if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
      }
    },

    resize: function () {
      WebPage.fit();
      _web_resized();
    },
  },

  web_page_open__deps: ['$WebPage'],
  web_page_open: function (title) {
    var canvas = Module.canvas || document.getElementById('screen');
    WebPage.canvas = canvas;
    WebPage.context = canvas.getContext('2d');
    document.title = UTF8ToString(title);
    ['pointerdown', 'pointermove', 'pointerup', 'pointercancel'].forEach(function (type) {
      canvas.addEventListener(type, WebPage.pointer, {passive: false});
    });
    // No menu, selection or gesture of the browser's under a finger.
    ['contextmenu', 'selectstart', 'touchstart', 'touchmove', 'gesturestart'].forEach(function (type) {
      canvas.addEventListener(type, function (event) { event.preventDefault(); }, {passive: false});
    });
    window.addEventListener('resize', WebPage.resize);
    WebPage.fit();
  },

  web_page_size__deps: ['$WebPage'],
  web_page_size: function (css_width, css_height, pixel_width, pixel_height) {
    var canvas = WebPage.canvas || Module.canvas || document.getElementById('screen');
    HEAP32[css_width >> 2] = canvas.clientWidth;
    HEAP32[css_height >> 2] = canvas.clientHeight;
    HEAP32[pixel_width >> 2] = canvas.width;  // fitted to the screen once the page is open
    HEAP32[pixel_height >> 2] = canvas.height;
  },

  web_page_put__deps: ['$WebPage'],
  web_page_put: function (rgba, stride, x, y, width, height) {
    var image = WebPage.context.createImageData(width, height);
    for (var row = 0; row < height; row++) {
      var from = rgba + ((y + row) * stride + x) * 4;
      image.data.set(HEAPU8.subarray(from, from + width * 4), row * width * 4);
    }
    WebPage.context.putImageData(image, x, y);
  },

  web_page_run: function () {
    function frame() {
      if (_web_frame()) requestAnimationFrame(frame);
    }
    requestAnimationFrame(frame);
  },

  // The shared mixer, pulled on the page's own thread by a script processor: the press starts
  // its clip inside the pointer handler and the next buffer carries it.
  web_audio_open__deps: ['$WebPage'],
  web_audio_open: function (rate, frames, granted_rate, granted_frames) {
    var audio = Module.audioContext;
    if (!audio) return false;
    var size = 256;  // the smallest a script processor takes
    while (size < frames && size < 16384) size *= 2;
    var node = audio.createScriptProcessor(size, 0, 2);
    node.onaudioprocess = function (event) {
      var left = event.outputBuffer.getChannelData(0), right = event.outputBuffer.getChannelData(1);
      var at = _web_audio_pull(size) >> 1;
      var samples = HEAP16;
      for (var i = 0; i < size; i++) {
        left[i] = samples[at + 2 * i] / 32768;
        right[i] = samples[at + 2 * i + 1] / 32768;
      }
      if (Module.page.recording) Module.page.recording.push(samples.slice(at, at + 2 * size));
    };
    node.connect(audio.destination);
    WebPage.audio = audio;
    WebPage.node = node;
    Module.page.audio = audio;
    Module.page.frames = size;
    HEAP32[granted_rate >> 2] = audio.sampleRate;
    HEAP32[granted_frames >> 2] = size;
    return true;
  },

  web_audio_close__deps: ['$WebPage'],
  web_audio_close: function () {
    if (WebPage.node) WebPage.node.disconnect();
    WebPage.node = null;
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

  web_clip_frames: function (path, rate) {
    var clip = Module.bundle.clips[UTF8ToString(path)];
    return clip && clip.rate === rate ? clip.left.length : -1;
  },

  // Web Audio's floats back to the mixer's 16 bits: exact for a 16-bit file.
  web_clip_samples: function (path, stereo) {
    var clip = Module.bundle.clips[UTF8ToString(path)];
    var at = stereo >> 1;
    var sixteen = function (v) { return Math.max(-32768, Math.min(32767, Math.round(v * 32768))); };
    for (var i = 0; i < clip.left.length; i++) {
      HEAP16[at + 2 * i] = sixteen(clip.left[i]);
      HEAP16[at + 2 * i + 1] = sixteen(clip.right[i]);
    }
  },
});
