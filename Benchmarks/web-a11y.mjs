// What a finger and a screen reader meet on a phone of 390 x 844 points at three pixels a point,
// in headless Chromium on loopback:
//   - each control's size in CSS pixels, the page's own button over its picture, against
//     WCAG 2.2's minimum target of 24 x 24 and Apple's advice of 44 x 44;
//   - each text's contrast as the screen shows it (a screenshot, not the picture's file): its
//     letters against what is around them, by WCAG's ratio (4.5 for small text, 3 for large);
//   - what axe-core finds to fault on the page.
//
//   node Benchmarks/web-a11y.mjs SITE_DIR     (make bench; Tests/Web/node_modules)
import fs from 'node:fs';
import { launch, site, openPage, look } from '../Tests/Web/page.mjs';

const print = (name, value) => console.log(`${name} ${Number(value).toFixed(3)}`);

// WCAG's contrast of the letters in a patch of the screen: the background is the commonest
// luminance, the letters the one farthest from it that a hundredth of the pixels reach (the
// cores of the strokes, not their smoothed edges). Runs in the page on a PNG's base64.
const contrast = `async (png) => {
  const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,' + png)).blob());
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height), context = canvas.getContext('2d');
  context.drawImage(bitmap, 0, 0);
  const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
  const linear = (c) => (c /= 255) <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
  const levels = [];
  for (let i = 0; i < rgba.length; i += 4)
    levels.push(0.2126 * linear(rgba[i]) + 0.7152 * linear(rgba[i + 1]) + 0.0722 * linear(rgba[i + 2]));
  const buckets = new Map();
  for (const l of levels) buckets.set(Math.round(l * 200), (buckets.get(Math.round(l * 200)) ?? 0) + 1);
  const background = [...buckets].sort((a, b) => b[1] - a[1])[0][0] / 200;
  levels.sort((a, b) => a - b);
  const dark = levels[Math.floor(levels.length * 0.01)], light = levels[Math.floor(levels.length * 0.99)];
  const letters = Math.abs(dark - background) > Math.abs(light - background) ? dark : light;
  return (Math.max(letters, background) + 0.05) / (Math.min(letters, background) + 0.05);
}`;

const server = await site(process.argv[2]);
const browser = await launch();
try {
  const page = await openPage(browser, server.url, { width: 390, height: 844, scale: 3 });
  const elements = await look(page, () => [...document.querySelectorAll('#elements > *')].map((e) => {
    const r = e.getBoundingClientRect();
    return { label: e.getAttribute('aria-label'), button: e.tagName === 'BUTTON', x: r.x, y: r.y, w: r.width, h: r.height };
  }));
  const controls = elements.filter((e) => e.button);
  for (const c of controls) console.log(`# target ${c.label}: ${c.w.toFixed(1)} x ${c.h.toFixed(1)} CSS px`);
  print('web_target_min_width_css_px', Math.min(...controls.map((c) => c.w)));
  print('web_target_min_height_css_px', Math.min(...controls.map((c) => c.h)));
  print('web_targets_under_24_css_px', controls.filter((c) => c.w < 24 || c.h < 24).length);
  print('web_targets_under_44_css_px', controls.filter((c) => c.w < 44 || c.h < 44).length);

  const ratios = [];
  for (const text of elements.filter((e) => !e.button)) {
    const { data } = await page.devtools.send('Page.captureScreenshot', {
      format: 'png', clip: { x: text.x, y: text.y, width: text.w, height: text.h, scale: 1 },
    });
    const ratio = await look(page, `(png) => (${contrast})(png)`, data);
    console.log(`# contrast "${text.label}": ${ratio.toFixed(2)} : 1`);
    ratios.push(ratio);
  }
  print('web_text_contrast_min', Math.min(...ratios));

  const axe = fs.readFileSync(new URL('../Tests/Web/node_modules/axe-core/axe.min.js', import.meta.url), 'utf8');
  const violations = await look(page, async (axe) => {
    (0, eval)(axe);
    return (await window.axe.run(document)).violations.map((v) => `${v.id} (${v.nodes.length})`);
  }, axe);
  for (const v of violations) console.log(`# axe: ${v}`);
  print('axe_violations', violations.length);
  await page.context().close();
} finally {
  await browser.close();
  server.close();
}
