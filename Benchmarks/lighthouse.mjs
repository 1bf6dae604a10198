// Lighthouse's own view of the site, as PageSpeed Insights and field tools take it: its mobile
// settings (a phone's screen, slow 4G and a CPU four times slower, simulated), Debian's
// Chromium, the site served on loopback as a static host serves it (Web/serve.mjs). Prints each
// category's score (0 to 1) and the metrics the performance score is made of.
//
//   node Benchmarks/lighthouse.mjs SITE_DIR     (make bench; Benchmarks/node_modules)
import lighthouse from 'lighthouse';
import * as chromeLauncher from 'chrome-launcher';
import { serve } from '../Web/serve.mjs';

const print = (name, value) => console.log(`${name} ${Number(value).toFixed(3)}`);

const server = await serve(process.argv[2]);
const chrome = await chromeLauncher.launch({
  chromePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  chromeFlags: ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                '--disable-component-update', '--disable-sync', '--no-first-run'],
});
try {
  const { lhr } = await lighthouse(`http://127.0.0.1:${server.address().port}/`, {
    port: chrome.port, output: 'json', logLevel: 'error',
    onlyCategories: ['performance', 'accessibility', 'best-practices', 'seo'],
  });
  if (lhr.runtimeError) console.log(`# lighthouse: ${lhr.runtimeError.code}: ${lhr.runtimeError.message}`);
  for (const [id, name] of [['performance', 'performance'], ['accessibility', 'accessibility'],
                            ['best-practices', 'best_practices'], ['seo', 'seo']]) {
    print(`lighthouse_${name}`, lhr.categories[id].score ?? NaN);
  }
  for (const [id, name] of [['first-contentful-paint', 'fcp'], ['largest-contentful-paint', 'lcp'],
                            ['speed-index', 'speed_index'], ['total-blocking-time', 'tbt']]) {
    print(`lighthouse_${name}_ms`, lhr.audits[id]?.numericValue ?? NaN);
  }
  print('lighthouse_cls', lhr.audits['cumulative-layout-shift']?.numericValue ?? NaN);
  // What kept any category from full marks, a line each.
  for (const category of Object.values(lhr.categories)) {
    for (const ref of category.auditRefs) {
      const audit = lhr.audits[ref.id];
      if (ref.weight > 0 && audit.score !== null && audit.score < 1) {
        console.log(`# ${category.id}: ${ref.id} ${audit.score} ${audit.displayValue ?? ''}`);
      }
    }
  }
} finally {
  await chrome.kill();
  server.close();
}
