// The browser build at a phone's size, with a finger held on a button, as a PNG: the README's
// picture of it (Docs/Web.png).
//
//   node Tools/WebScreenshot.mjs SITE_DIR OUT.png     (after make web and make web-test)
import { launch, site, openPage, down, look, BUTTONS } from '../Tests/Web/page.mjs';

const browser = await launch();
const server = await site(process.argv[2]);
try {
  // A phone of 360 x 740 points at two pixels a point: the frame letterboxed, bars above and below.
  const [width, height] = [360, 740];
  const page = await openPage(browser, server.url, { width, height, scale: 2 });
  const frame = await look(page, () => kEngineLimits);
  const scale = Math.min(width / frame.frameWidth, height / frame.frameHeight);
  const [x, y] = BUTTONS.Coin;
  await down(page, (width - frame.frameWidth * scale) / 2 + (x + 20) * scale,
             (height - frame.frameHeight * scale) / 2 + (y + 10) * scale);
  await look(page, () => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  await page.screenshot({ path: process.argv[3] });
} finally {
  await browser.close();
  await server.close();
}
