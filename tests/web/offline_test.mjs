// The page kept for offline play and installable: after one visit its
// service worker serves the page, the program and the data with the
// server gone, a new build replaces every kept file, the manifest names
// the game and its icons; and the folder packed by `web.sh --zip` plays
// when unpacked and served.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { launchBrowser, servePage, site, waitForUpdates, withServedPage } from './support.mjs';

let browser;
const folders = [];

before(async () => { browser = await launchBrowser(); });

after(async () => {
  try {
    await browser?.close();
  } finally {
    for (const folder of folders) fs.rmSync(folder, { recursive: true, force: true });
  }
});

// A copy of the built page in a folder of its own.
function copyOfSite() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vexlo-site-'));
  folders.push(folder);
  fs.cpSync(site, folder, { recursive: true, filter: (from) => !from.endsWith('.zip') });
  return folder;
}

// The page loads and its game plays: the title, then a key starts it.
async function plays(page) {
  await waitForUpdates(page, 271);
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => !window.vexlo.waitsForKey());
  const at = await page.evaluate(() => window.vexlo.updates);
  await waitForUpdates(page, at + 35);
}

// The files the worker of a built folder keeps.
function keptFiles(folder) {
  const worker = fs.readFileSync(path.join(folder, 'sw.js'), 'utf8');
  return JSON.parse(`[${worker.match(/const Kept = \[([^\]]*)\]/)[1]}]`);
}

// What fn (which may be async) gives in the page, once it is not null.
async function until(page, fn, arg, timeout = 30000) {
  for (const start = Date.now(); Date.now() - start < timeout;) {
    const value = await page.evaluate(fn, arg);
    if (value !== null) return value;
    await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 50)));
  }
  assert.fail(`still nothing after ${timeout} ms: ${fn}`);
}

// Once the worker controls the page and has kept every file: its cache's name.
const kept = (page, count) => until(page, async (files) => {
  const names = await caches.keys();
  return navigator.serviceWorker.controller !== null && names.length === 1
    && (await (await caches.open(names[0])).keys()).length === files ? names[0] : null;
}, count);

test('after one visit the page plays with the server gone, and a new build replaces it', async () => {
  const folder = copyOfSite();
  // Stopped and started again on its port in between; closed however the test ends.
  let served = await servePage(folder);
  try {
    const port = served.server.address().port;
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(served.base);
    const files = keptFiles(folder);
    assert.ok(['index.html', 'vexlo.js', 'vexlo.wasm', 'data/vexlo.xm', 'data/titre.raw'].every((f) => files.includes(f)));
    const first = await kept(page, files.length);
    served.close();

    await page.reload();
    const missing = await page.evaluate(async (names) => {
      const answers = await Promise.all(names.map((name) => fetch(name).then((r) => r.ok, () => false)));
      return names.filter((name, i) => !answers[i]);
    }, files);
    assert.deepEqual(missing, []);
    await plays(page);

    // A new build: one file changed, and with it the worker's hash. Online,
    // the new worker takes over and drops the old files.
    fs.appendFileSync(path.join(folder, 'vexlo.css'), '\n/* a new build */\n');
    const worker = path.join(folder, 'sw.js');
    const renamed = 'vexlo-race-0123456789abcdef';
    fs.writeFileSync(worker, fs.readFileSync(worker, 'utf8').replace(/vexlo-race-[0-9a-f]{16}/, renamed));
    served = await servePage(folder, port);
    await page.reload();
    await until(page, async (name) => ((await caches.keys()).join() === name ? true : null), renamed);
    served.close();
    await page.reload();
    assert.match(await page.evaluate(async () => (await fetch('vexlo.css')).text()), /a new build/);
    assert.notEqual(first, renamed);
    await plays(page);
    await context.close();
  } finally {
    served.close();
  }
});

test('the manifest names the game, its icons and how it opens', () => withServedPage(async (served) => {
  const page = await browser.newPage();
  await page.goto(served.base);
  const session = await page.context().newCDPSession(page);
  const { errors, data } = await session.send('Page.getAppManifest');
  assert.deepEqual(errors, []);
  const manifest = JSON.parse(data);
  assert.equal(manifest.name, 'Vexlo Race');
  assert.equal(manifest.display, 'standalone');
  assert.equal(manifest.orientation, 'landscape');
  for (const icon of manifest.icons) {
    const size = await page.evaluate(async (src) => {
      const image = new Image();
      image.src = src;
      await image.decode();
      return `${image.naturalWidth}x${image.naturalHeight}`;
    }, icon.src);
    assert.equal(size, icon.sizes);
  }
  await page.close();
}));

test('the zip from web.sh --zip holds index.html at its root and plays unpacked', async (t) => {
  const zip = path.join(site, 'vexlo-race-web.zip');
  if (!fs.existsSync(zip)) {
    t.skip('no zip: build with scripts/web.sh --zip');
    return;
  }
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vexlo-zip-'));
  folders.push(folder);
  const listed = spawnSync('python3', ['-m', 'zipfile', '-l', zip], { encoding: 'utf8' });
  assert.equal(listed.status, 0, listed.stderr);
  assert.match(listed.stdout, /^index\.html\s/m);
  assert.equal(spawnSync('python3', ['-m', 'zipfile', '-e', zip, folder]).status, 0);
  await withServedPage(async (served) => {
    const page = await browser.newPage();
    await page.goto(served.base);
    await plays(page);
    await page.close();
  }, folder);
});
