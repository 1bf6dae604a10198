// The page's side of the browser backend (Web.cpp): the canvas, pointer events, the loop's
// timer and Web Audio. Linked with --js-library. The page's head (Web/Boot.js) started the
// painter and the first requests and decodes the pictures; Loader.js brings the clips.
//
// Nothing stands between a finger and its handler: the page's own thread runs no animation
// frame callback and commits no canvas, either of which makes an event wait for it. The loop
// runs on timers at the ticks' due times and at each event, and the frame is painted by a worker
// that holds the canvas (an OffscreenCanvas), given only the damaged rectangles. Only the first
// frame is also painted on the page, on a canvas of its own under the worker's, so that the
// browser sees it as the page's content (a worker's canvas counts for no contentful paint) and
// shows it at once; that canvas goes once the worker's frame is on the screen. A browser that
// cannot paint in a worker paints every frame on the page.
//
// What the page hands over, on Module:
//   Module.bundle   the decoded pictures and clips, and the clips still pending (Loader.js)
//   Module.sound    {audio, mixer}: the context, and a promise of the mixer's module (Loader.js)
//   Module.openSound(rate)  a new context and mixer, to replace one that stood still
//   Module.loader   clipWanted(path), picturePending(path), has(path): what the program asks of
//                   the loader
//   Module.clipReady, Module.picturesReady  the program's, for the loader: files have come
// What it offers its tests and the benchmark, on Module.page:
//   audio   the AudioContext now in use
//   mixing  where the mixer runs, once it does: 'audio thread' (the worklet) or 'page'
//   read(x, y, width, height)  a promise of the canvas's pixels there, as RGBA
//   scale()  the frame's canvas pixels a point, as the program reckons it (plat_window_scale)
//   size()  the canvas's pixels, [width, height] (fewer than the screen's where the frame is
//           drawn at a whole scale and stretched: Frame.js's backing)
//   firstFrame  when the first frame was handed to the screen, in ms from the page's start
//               (and the window is sent a 'soundboard-shown' event); shown, when the painter's
//               copy of it was on the screen
//   offline  a promise that the offline copy is made, once every clip is in (Loader.js)

mergeInto(LibraryManager.library, {
  $WebPage: {
    canvas: null,
    context: null,   // the canvas's, when the page paints it
    painter: null,   // the worker that paints it otherwise
    first: null,     // the page's own canvas with the first frame, until the painter's shows
    page: null,      // the page's size and safe area (Frame.js's page)
    whole: false,    // the painter is owed the whole frame, not only what changed
    width: 0,        // the canvas's pixels
    height: 0,
    safeArea: null,  // an element whose padding is the safe area's insets
    insets: [0, 0, 0, 0],  // left, top, right, bottom, in CSS pixels
    frame: null,     // an ImageData over the program's frame, for painting on the page
    reads: [],       // what each read the painter answers is waiting for
    timer: null,     // the loop's next step
    audio: null,     // the AudioContext
    node: null,      // its mixer's node: the worklet's, or a script processor
    port: null,      // where the mixer's messages go once it runs
    waiting: [],     // what was posted before: [message, when]
    clips: [],       // [samples, frames] of each clip, for a new context
    replacing: false,  // a new context is on its way
    held: {},  // pointers down on the canvas, by id: only they report moves (a Set would be
               // lost in the library's build)
    layer: null,    // the page's elements over the canvas, for screen readers and the keyboard
    elements: [],   // the program's, as it last gave them
    unshown: null,  // the program's, given before its first frame was on the screen
    pressed: 0,     // the element a key holds down

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
      if (WebPage.replacing) return;
      WebPage.replacing = true;
      console.warn('Soundboard: the sound stood still; starting it again');
      var old = WebPage.audio;
      if (WebPage.node) WebPage.node.disconnect();
      old.close().catch(function () {});
      WebPage.start(Module.openSound(old.sampleRate));  // the clips are at its rate
      WebPage.wake();
    },

    // The mixer for a context: the worklet's node where the audio thread can run it, else the
    // same mixer on the page, pulled by a script processor. Until it runs, what is posted for
    // it waits (the program does not wait for it); then it is given every clip so far and what
    // waited, but a press that waited past kEngine.latePlayMs, which would sound from nowhere.
    start: function (sound) {
      var audio = sound.audio;
      WebPage.audio = Module.page.audio = audio;
      WebPage.node = WebPage.port = null;
      WebPage.replacing = false;
      sound.mixer.then(function (mixer) {
        if (!mixer || WebPage.audio !== audio) return null;
        if (mixer.worklet) {
          var node = new AudioWorkletNode(audio, 'soundboard-mixer', {
            numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
            processorOptions: {wasm: mixer.bytes, cue: kEngine.cue},
          });
          return {node: node, port: node.port, mixing: 'audio thread'};
        }
        return import(new URL(Module.page.mixerScript, document.baseURI).href).then(function (module) {
          return module.Mixer.create(mixer.bytes, kEngine.cue);
        }).then(function (own) {
          var node = audio.createScriptProcessor(kEngine.audioFrames.script, 0, 2);
          node.onaudioprocess = function (event) {
            own.render(event.outputBuffer.getChannelData(0), event.outputBuffer.getChannelData(1));
          };
          return {node: node, port: {postMessage: function (message) { own.apply(message); }}, mixing: 'page'};
        });
      }).then(function (mixer) {
        if (!mixer || WebPage.audio !== audio) return;
        mixer.node.connect(audio.destination);
        WebPage.node = mixer.node;
        WebPage.clips.forEach(function (clip) { WebPage.give(mixer.port, clip); });
        var late = performance.now() - kEngine.latePlayMs;
        WebPage.waiting.forEach(function (waited) {
          if (waited[0][0] !== kEngine.cue.play || waited[1] >= late) mixer.port.postMessage(waited[0]);
        });
        WebPage.waiting = [];
        WebPage.port = mixer.port;
        Module.page.mixing = mixer.mixing;
      }).catch(function (error) {
        console.warn('Soundboard: no mixer (' + error.message + '): no sound');
      });
    },

    // A clip to a mixer: a copy of the program's samples, handed over whole.
    give: function (port, clip) {
      var copy = HEAP16.slice(clip[0] >> 1, (clip[0] >> 1) + 2 * clip[1]);
      port.postMessage({clip: copy.buffer}, [copy.buffer]);
    },

    pointer: function (event) {
      var phases = {pointerdown: kEngine.touch.began, pointermove: kEngine.touch.moved,
                    pointerup: kEngine.touch.ended, pointercancel: kEngine.touch.ended};
      var phase = phases[event.type];
      var finger = event.pointerType !== 'mouse';
      if (phase === kEngine.touch.began) {
        if (!finger && event.button !== 0) return;
        WebPage.held[event.pointerId] = true;
        WebPage.canvas.setPointerCapture(event.pointerId);  // its release comes here, always
      } else if (!WebPage.held[event.pointerId]) {
        return;  // a mouse moving over the page with no button down
      } else if (phase === kEngine.touch.ended) {
        delete WebPage.held[event.pointerId];
      }
      event.preventDefault();
      var box = WebPage.canvas.getBoundingClientRect();
      _web_touch(phase, finger ? 1 : 0, event.pointerId, event.clientX - box.left,
                 event.clientY - box.top);
      if (phase !== kEngine.touch.moved) WebPage.wake();
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
      var page = soundboardBoot.frame.page(WebPage.canvas), size = soundboardBoot.frame.backing(page);
      WebPage.page = page;
      WebPage.insets = page.insets;
      if (size[0] === WebPage.width && size[1] === WebPage.height) return;
      WebPage.width = size[0];
      WebPage.height = size[1];
      if (WebPage.painter) WebPage.painter.postMessage({size: size});
      else { WebPage.canvas.width = size[0]; WebPage.canvas.height = size[1]; }
    },

    resize: function () {
      WebPage.fit();
      _web_resized();
      WebPage.placeElements();
      WebPage.step();
    },

    // The program's elements, as the page's own over the canvas: a button for each control, a
    // picture's text for each text, in the program's order, each over its place in the frame,
    // so that a screen reader finds them where they are drawn and Tab reaches the buttons in
    // turn (the page's style shows a focused one's ring). None takes a pointer: every touch
    // goes to the canvas as before, waiting for none of them. A button pressed by a key, or
    // activated by a screen reader (a click), presses its control through the program's one
    // touch stream, as a finger would.
    showElements: function (list) {
      var layer = WebPage.layer;
      if (!layer) {
        layer = WebPage.layer = document.createElement('div');
        layer.id = 'elements';
        WebPage.canvas.parentNode.insertBefore(layer, WebPage.canvas.nextSibling);
        layer.addEventListener('click', function (event) { WebPage.activate(event, null); });
        layer.addEventListener('keydown', function (event) { WebPage.activate(event, true); });
        layer.addEventListener('keyup', function (event) { WebPage.activate(event, false); });
        layer.addEventListener('focusout', function () { WebPage.pressElement(0, false); });
      }
      while (layer.children.length > list.length) layer.lastChild.remove();
      list.forEach(function (element, i) {
        var control = element.kind === kEngine.element.control, tag = control ? 'button' : 'div';
        var node = layer.children[i];
        if (!node || node.tagName.toLowerCase() !== tag) {
          var made = document.createElement(tag);
          if (control) made.type = 'button';
          else made.setAttribute('role', 'img');
          if (node) layer.replaceChild(made, node);
          else layer.appendChild(made);
          node = made;
        }
        node.dataset.element = i + 1;
        node.hidden = !element.label;
        node.setAttribute('aria-label', element.label);
      });
      WebPage.elements = list;
      WebPage.placeElements();
    },

    placeElements: function () {
      if (!WebPage.layer || !WebPage.page) return;
      var page = WebPage.page, box = soundboardBoot.frame.letterbox(page.width, page.height, page.insets);
      WebPage.elements.forEach(function (element, i) {
        var style = WebPage.layer.children[i].style, f = element.frame;
        style.left = (box.x + f[0] * box.scale) + 'px';
        style.top = (box.y + f[1] * box.scale) + 'px';
        style.width = (f[2] * box.scale) + 'px';
        style.height = (f[3] * box.scale) + 'px';
      });
    },

    // A key on a button holds its control down until the key comes up; a click (a screen
    // reader's activation, or a script's) presses and releases it. The browser's own click for
    // the key is kept from following.
    activate: function (event, down) {
      var element = Number(event.target.dataset && event.target.dataset.element);
      if (!element) return;
      if (down !== null) {
        if (event.key !== ' ' && event.key !== 'Enter') return;
        event.preventDefault();
        if (event.repeat) return;
      }
      if (down !== false) WebPage.wake();  // a gesture: the sound may start
      if (down === null) {
        WebPage.pressElement(element, true);
        WebPage.pressElement(element, false);
      } else {
        WebPage.pressElement(element, down);
      }
    },

    pressElement: function (element, down) {
      if (!down && !WebPage.pressed) return;
      WebPage.pressed = down ? element : 0;
      _web_element_press(element, down ? 1 : 0);
      WebPage.step();
    },

    // Hands the canvas to the painter the page's head started, where there is one.
    takeCanvas: function (canvas) {
      var painter = soundboardBoot.painter;
      if (!painter) {
        WebPage.context = canvas.getContext('2d');
        return;
      }
      var offscreen = canvas.transferControlToOffscreen();
      painter.postMessage({canvas: offscreen}, [offscreen]);
      soundboardBoot.heard = function (message) {
        if (message.shown) {
          Module.page.shown = performance.now();
          WebPage.keepFirst();
          return;
        }
        var waiting = WebPage.reads[message.read];
        delete WebPage.reads[message.read];
        waiting(message.pixels);
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

    // The frame as it is now, whole, to the painter.
    paintWhole: function () {
      WebPage.whole = false;
      var pixels = new Uint8ClampedArray(WebPage.frame.data);
      WebPage.painter.postMessage({rects: [{x: 0, y: 0, w: WebPage.frame.width, h: WebPage.frame.height,
                                           pixels: pixels.buffer}]}, [pixels.buffer]);
    },

    // The painter's first frame is on the screen: the page's own copy goes; the frame's place
    // in it is kept, as a picture, for the next visit on a screen like this (Boot.js shows it),
    // written when the page has nothing else to do, unless it is what this visit showed.
    keepFirst: function () {
      var first = WebPage.first, snapshot = soundboardBoot.snapshot;
      if (!first) return;
      WebPage.first = null;
      var place = soundboardBoot.frame.placed(WebPage.page), crop = document.createElement('canvas');
      crop.width = place.width;
      crop.height = place.height;
      crop.getContext('2d').drawImage(first, place.x, place.y, place.width, place.height, 0, 0, place.width, place.height);
      first.remove();
      if (!window.caches || snapshot.shown) return;
      (window.requestIdleCallback || setTimeout)(function () {
        crop.toBlob(function (picture) {  // WebP where the browser writes it, else PNG
          if (!picture) return;
          caches.open(snapshot.cache).then(function (cache) {
            return cache.keys().then(function (old) {
              return Promise.all(old.map(function (key) { return cache.delete(key); }));
            }).then(function () { return cache.put(snapshot.key, new Response(picture)); });
          }).catch(function () {});
        }, 'image/webp', 0.9);
      });
    },

    // The first frame, on a canvas of the page's own, whole, under the painter's, so that it is
    // on the screen at once and the browser counts it as the page's content (a worker's canvas
    // it does not). It stands in for the picture from the visit before, if that was shown.
    paintFirst: function (frame) {
      var canvas = document.createElement('canvas');
      canvas.setAttribute('aria-hidden', 'true');
      canvas.style.cssText = 'position: fixed; inset: 0; width: 100%; height: 100%; pointer-events: none;';
      canvas.width = frame.width;
      canvas.height = frame.height;
      canvas.getContext('2d').putImageData(frame, 0, 0);
      WebPage.canvas.parentNode.insertBefore(canvas, WebPage.canvas);
      WebPage.first = canvas;
      var shown = soundboardBoot.snapshot.shown;  // goes once painted, with this over it
      if (shown) shown.decode().catch(function () {}).then(function () {
        requestAnimationFrame(function () { setTimeout(function () { shown.remove(); }); });
      });
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
  web_page_open: function () {
    var canvas = document.getElementById('screen');
    WebPage.canvas = canvas;
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
    WebPage.takeCanvas(canvas);
    WebPage.fit();
    Module.page.read = WebPage.read;
    Module.page.size = function () { return [WebPage.width, WebPage.height]; };
    Module.page.scale = function () { return _web_window_scale(); };
  },

  web_page_size__deps: ['$WebPage'],
  web_page_size: function (css_width, css_height, pixel_width, pixel_height) {
    var canvas = WebPage.canvas || document.getElementById('screen');
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
  // the frame's memory onto the page's canvas. The first frame is painted on the page at once,
  // and copied whole to the painter only after it has gone to the screen.
  web_page_put__deps: ['$WebPage'],
  web_page_put: function (rgba, stride, rows, rects, count) {
    var frame = WebPage.frame;
    if (!frame || frame.data.buffer !== HEAPU8.buffer || frame.data.byteOffset !== rgba ||
        frame.width !== stride || frame.height !== rows) {
      frame = WebPage.frame = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, stride * rows * 4), stride, rows);
    }
    var first = !Module.page.firstFrame;
    if (first && WebPage.painter) {
      WebPage.paintFirst(frame);
      WebPage.whole = true;
      setTimeout(function () { if (WebPage.whole) WebPage.paintWhole(); });
    } else if (WebPage.painter && WebPage.whole) {
      WebPage.paintWhole();
    } else if (WebPage.painter) {
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
    } else {
      for (var j = 0; j < count; j++) {
        var q = HEAP32.subarray((rects >> 2) + 4 * j, (rects >> 2) + 4 * j + 4);
        WebPage.context.putImageData(frame, 0, 0, q[0], q[1], q[2], q[3]);
      }
    }
    if (first) {
      Module.page.firstFrame = performance.now();
      dispatchEvent(new Event('soundboard-shown'));
    }
  },

  web_page_run__deps: ['$WebPage'],
  web_page_run: function () {
    Module.clipReady = _web_clips_arrived;  // for Loader.js, once a pending clip has come
    Module.picturesReady = _web_pictures_arrived;  // and once pictures it was asked for have
    Module.soundReady = _web_audio_arrived;  // and once it has made the sound's context
    WebPage.step();
  },

  // The sound: the context the loader made, at its own rate; 0 before it made one (it says when
  // it has, Module.soundReady), -1 without Web Audio. The mixer comes when it comes
  // (WebPage.start).
  web_audio_open__deps: ['$WebPage'],
  web_audio_open: function () {
    var sound = Module.sound;
    if (!sound) return window.AudioContext || window.webkitAudioContext ? 0 : -1;
    WebPage.clips = [];
    WebPage.waiting = [];
    WebPage.start(sound);
    return sound.audio.sampleRate;
  },

  web_audio_close__deps: ['$WebPage'],
  web_audio_close: function () {
    if (WebPage.node) WebPage.node.disconnect();
    WebPage.node = WebPage.port = WebPage.audio = null;
    WebPage.clips = [];
    WebPage.waiting = [];
  },

  // A clip for the mixer, in the order of its voice. The program keeps its own samples, from
  // which a new context is given them again.
  web_mixer_add__deps: ['$WebPage'],
  web_mixer_add: function (samples, frames) {
    var clip = [samples, frames];
    WebPage.clips.push(clip);
    if (WebPage.port) WebPage.give(WebPage.port, clip);
  },

  web_mixer_cue__deps: ['$WebPage'],
  web_mixer_cue: function (cue, voice, frame) {
    var message = [cue, voice, frame];
    if (WebPage.port) WebPage.port.postMessage(message);
    else if (WebPage.audio) WebPage.waiting.push([message, performance.now()]);
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

  web_picture_pending: function (path, width, height) {
    var coming = Module.loader.picturePending(UTF8ToString(path));
    if (!coming) return false;
    HEAP32[width >> 2] = coming.width;
    HEAP32[height >> 2] = coming.height;
    return true;
  },

  web_clip_frames: function (path, rate, channels, mask) {
    var clip = Module.bundle.clips[UTF8ToString(path)];
    if (!clip || clip.rate !== rate) return -1;
    HEAP32[channels >> 2] = clip.channels.length;
    HEAP32[mask >> 2] = clip.mask;
    return clip.channels[0].length;
  },

  // The program's elements changed: all of them, as JSON.
  web_elements__deps: ['$WebPage'],
  // The page's own elements are laid out by the browser: not before the first frame has gone to
  // the screen, which would wait for them.
  web_elements: function (json) {
    var list = JSON.parse(UTF8ToString(json));
    if (Module.page.firstFrame) {
      WebPage.unshown = null;  // older than these
      return WebPage.showElements(list);
    }
    if (!WebPage.unshown) {
      addEventListener('soundboard-shown', function () {
        setTimeout(function () {
          if (WebPage.unshown) WebPage.showElements(WebPage.unshown);
          WebPage.unshown = null;
        });
      }, {once: true});
    }
    WebPage.unshown = list;
  },

  web_file_known: function (path) {
    return Module.loader.has(UTF8ToString(path));
  },

  web_clip_pending: function (path) {
    return !!Module.bundle.pending[UTF8ToString(path)];
  },

  web_clip_wanted: function (path) {
    Module.loader.clipWanted(UTF8ToString(path));
  },

  // Every channel as the browser decoded it, one after another.
  web_clip_channels: function (path, planar) {
    var clip = Module.bundle.clips[UTF8ToString(path)];
    var frames = clip.channels[0].length;
    clip.channels.forEach(function (channel, c) { HEAPF32.set(channel, (planar >> 2) + c * frames); });
  },
});
