// The browser build on a tall phone, with a finger held on a button, as a PNG: the README's
// picture of it (Docs/Web.png).
//
//   node Tools/WebScreenshot.mjs SITE_DIR OUT.png [WIDTH HEIGHT SCALE [TOP BOTTOM]]
//   (after make web and make web-test; the default is 390 x 844 points at three pixels a
//   point, its notch 47 points and its home indicator 34, as a recent iPhone)
import { launch, site, openPage, press, look, until } from '../Tests/Web/page.mjs';

const [siteDir, out, ...size] = process.argv.slice(2);
const [width, height, scale, top, bottom] = size.length ? size.map(Number) : [390, 844, 3, 47, 34];
const browser = await launch();
const server = await site(siteDir);
try {
  const page = await openPage(browser, server.url, { width, height, scale, before: (page) =>
    page.devtools.send('Emulation.setSafeAreaInsetsOverride',
                       { insets: { top: top ?? 0, bottom: bottom ?? 0, left: 0, right: 0 } }) });
  await press(page, 'Coin');  // where the letterbox puts it in the safe area
  await until(page, () => true, null, 'a frame');
  await look(page, () => new Promise((done) => setTimeout(done, 200)));  // the painter's turn
  await page.screenshot({ path: out });
} finally {
  await browser.close();
  await server.close();
}
