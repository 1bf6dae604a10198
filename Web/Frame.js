// Where the frame lies on a page, as the platform reckons it (Views.cpp's letterbox, in single
// precision, so that a page's script and the program agree to the pixel), and the picture twin
// a page's screen takes. The one copy of that rule for the page (written into it by
// Web/site.mjs) and for the tests, which load it with require().
//
//   var frame = soundboardFrame(limits)   limits: kEngine (the engine's numbers, limits.json)
//   frame.letterbox(width, height, insets)  the frame's scale and top left corner in a surface
//                                           of that size, kept clear of insets [left, top,
//                                           right, bottom], all in the surface's units
//   frame.twin(pixelWidth, pixelHeight, cssWidth, insets)  the twin (1 to the sharpest) for a
//                                           canvas of those pixels and CSS width, insets in CSS
//   frame.page(element)  {width, height, pixelWidth, pixelHeight, insets, twin} of an element
//                        that fills the page (or the page itself), at the screen's density
//   frame.backing(page)  [width, height]: the pixels a canvas filling that page takes
//   frame.placed(page)   where the frame lies on a canvas filling that page: {x, y, width,
//                        height} in its pixels (those the frame fills whole), {css: ...} in CSS
//                        pixels, and {box: letterbox} in its pixels
function soundboardFrame(limits) {
  var f = Math.fround;
  var width = limits.frameWidth, height = limits.frameHeight;

  function letterbox(surfaceWidth, surfaceHeight, insets) {
    var left = f(insets[0]), top = f(insets[1]);
    var safeWidth = f(f(f(surfaceWidth) - left) - f(insets[2]));
    var safeHeight = f(f(f(surfaceHeight) - top) - f(insets[3]));
    var scale = Math.min(f(safeWidth / width), f(safeHeight / height));
    if (!(scale > 0)) return {scale: 1, x: f((surfaceWidth - width) / 2), y: f((surfaceHeight - height) / 2)};
    return {scale: scale, x: f(left + f(f(safeWidth - f(width * scale)) / 2)),
            y: f(top + f(f(safeHeight - f(height * scale)) / 2))};
  }

  // The platform reckons the twin from the scale in pixels, the insets made pixels as it does.
  function twin(pixelWidth, pixelHeight, cssWidth, insets) {
    var per = cssWidth > 0 ? f(pixelWidth / cssWidth) : 1;
    var box = letterbox(pixelWidth, pixelHeight, insets.map(function (inset) { return f(f(inset) * per); }));
    return Math.min(limits.sharpestTwin, Math.max(1, Math.floor(box.scale)));
  }

  // The page's safe area (viewport-fit=cover), in CSS pixels, as its style sheet knows it.
  function safeInsets() {
    var probe = document.createElement('div');
    probe.style.cssText = 'position: fixed; visibility: hidden; pointer-events: none; padding: ' +
      'env(safe-area-inset-top) env(safe-area-inset-right) env(safe-area-inset-bottom) env(safe-area-inset-left)';
    document.documentElement.appendChild(probe);
    var style = getComputedStyle(probe);
    var insets = ['paddingLeft', 'paddingTop', 'paddingRight', 'paddingBottom'].map(function (side) {
      return parseFloat(style[side]) || 0;
    });
    probe.remove();
    return insets;
  }

  function page(element) {
    var box = element || document.documentElement;
    var ratio = window.devicePixelRatio || 1;
    var w = box.clientWidth, h = box.clientHeight, insets = safeInsets();
    var pixelWidth = Math.round(w * ratio), pixelHeight = Math.round(h * ratio);
    return {width: w, height: h, pixelWidth: pixelWidth, pixelHeight: pixelHeight, insets: insets,
            twin: w > 0 && h > 0 ? twin(pixelWidth, pixelHeight, w, insets) : 1};
  }

  // The screen's own pixels; but where they would draw the frame at a scale past a whole one
  // (3.66 pixels a point), as many as draw it at that whole scale exactly (3), the browser
  // stretching the canvas the rest of the way, smoothly, as the frame would have been: each
  // picture's twin then lands pixel for pixel, and a frame is a third fewer pixels to draw,
  // copy and show.
  function backing(page) {
    var own = [page.pixelWidth, page.pixelHeight];
    var box = letterbox(page.width, page.height, page.insets);
    var want = page.twin / box.scale;  // pixels a CSS pixel
    if (!(box.scale > 0) || page.twin < 1 || want >= page.pixelWidth / page.width) return own;
    var w0 = Math.round(page.width * want), h0 = Math.round(page.height * want);
    for (var d = 0; d < 9; d++) {
      var w = w0 + [0, 1, 0, 1, -1, 0, -1, 1, -1][d], h = h0 + [0, 0, 1, 1, 0, -1, -1, -1, 1][d];
      var per = f(w / page.width);
      var insets = page.insets.map(function (inset) { return f(f(inset) * per); });
      if (letterbox(w, h, insets).scale === page.twin) return [w, h];
    }
    return own;
  }

  function placed(page) {
    var size = backing(page), per = f(size[0] / page.width);
    var box = letterbox(size[0], size[1], page.insets.map(function (inset) { return f(f(inset) * per); }));
    var x = Math.max(0, Math.ceil(box.x - 0.5)), y = Math.max(0, Math.ceil(box.y - 0.5));
    var right = Math.min(size[0], Math.ceil(box.x + width * box.scale - 0.5));
    var bottom = Math.min(size[1], Math.ceil(box.y + height * box.scale - 0.5));
    var across = size[0] / page.width;
    return {x: x, y: y, width: right - x, height: bottom - y, box: box,
            css: {x: x / across, y: y / across, width: (right - x) / across, height: (bottom - y) / across}};
  }

  return {letterbox: letterbox, twin: twin, page: page, backing: backing, placed: placed, safeInsets: safeInsets};
}

if (typeof module === 'object' && module.exports) module.exports = soundboardFrame;
