// Measures the browser build in headless Chromium: the size of the built
// folder and the time from navigation to the first frame (median of
// several loads). The browser tests print the pace over 10 s of play and
// the delay of the crash's sound.
//
//   node bench/measure-web.mjs [--loads 9]
//
// Needs the page (scripts/web.sh --build-only, into build-web/ or
// WEB_SITE_DIR) and the browser tests' packages (npm ci in tests/web).
// The machine is shared: run it when it is quiet, and more than once.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { serve } from '../scripts/serve-web.mjs';

const root = path.dirname(path.dirname(fileURLToPath(import.meta.url)));
const { chromium } = await import(path.join(root, 'tests/web/node_modules/playwright-core/index.mjs'));
const site = process.env.WEB_SITE_DIR ?? path.join(root, 'build-web');
const loads = Number(process.argv[process.argv.indexOf('--loads') + 1]) || 9;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const files = (dir) => fs.readdirSync(dir, { withFileTypes: true })
  .flatMap((e) => (e.isDirectory() ? files(path.join(dir, e.name)) : [path.join(dir, e.name)]));

const server = await serve(site, 0);
const base = `http://127.0.0.1:${server.address().port}/index.html`;
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});

try {
  const sizes = Object.fromEntries(files(site).map((f) => [path.relative(site, f), fs.statSync(f).size]));
  const total = Object.values(sizes).reduce((a, b) => a + b, 0);
  console.log(`size: ${(total / 1e6).toFixed(2)} MB in all; vexlo.wasm ${(sizes['vexlo.wasm'] / 1e6).toFixed(2)} MB, `
    + `vexlo.js ${(sizes['vexlo.js'] / 1e3).toFixed(0)} kB, data/ ${(Object.entries(sizes)
      .filter(([f]) => f.startsWith('data')).reduce((a, [, b]) => a + b, 0) / 1e6).toFixed(2)} MB`);

  const firstFrames = [];
  for (let i = 0; i < loads; i++) {
    const page = await browser.newPage();
    await page.goto(base);
    firstFrames.push(await page.waitForFunction(() => window.vexlo.firstFrameAt).then((h) => h.jsonValue()));
    await page.close();
  }
  console.log(`start-up, navigation to the first frame: median ${median(firstFrames).toFixed(0)} ms `
    + `(${firstFrames.map((t) => t.toFixed(0)).join(', ')})`);

} finally {
  await browser.close();
  server.close();
}
