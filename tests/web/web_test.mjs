// The browser build in headless Chromium, against the native replay tool:
// whole games through the page's replay hook, a game played with real key
// events (and played again), its pace and its sound, and broken data.
//
//   VEXLO_WEB_SITE  the built page (scripts/web.sh --build-only)
//   VEXLO_REPLAY    the native replay tool
//   VEXLO_SOURCE    the repository (data/ and tests/replay/)
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import {
  frameHash, launchBrowser, nativeReplay, openGame as openPage, servePage, site, source, updates, waitForUpdates,
} from './support.mjs';

const goldenKeys = path.join(source, 'tests/replay');

let served, server, browser, base;

before(async () => {
  served = await servePage();
  ({ server, base } = served);
  browser = await launchBrowser();
});

after(async () => {
  try {
    await browser?.close();
  } finally {
    served?.close();
  }
});

// --- helpers ---------------------------------------------------------------------

const openGame = (hash, viewport = { width: 1024, height: 800 }) => openPage(browser, base + hash, { viewport });

// The row of the player's car in the frame shown: its picture is looked
// for in the page, at column 10, where the car always stands.
const carPicture = [...fs.readFileSync(path.join(source, 'data/gentil.raw'))];
function carRow(page) {
  return page.evaluate((car) => {
    const rgba = window.vexlo.framePixels();
    for (let y = 0; y + 30 <= 200; y++) {
      let same = true;
      for (let i = 0; i < 900 && same; i++) {
        const [r, g, b] = car.slice(3 * i, 3 * i + 3);
        if (r === 255 && g === 0 && b === 255) continue;  // transparent
        const at = 4 * ((y + Math.floor(i / 30)) * 320 + 10 + (i % 30));
        same = rgba[at] === r && rgba[at + 1] === g && rgba[at + 2] === b;
      }
      if (same) return y;
    }
    return -1;
  }, carPicture);
}

async function waitForCarRow(page, row) {
  for (const start = Date.now(); Date.now() - start < 5000;) {
    if (await carRow(page) === row) return;
    await page.evaluate(() => new Promise(requestAnimationFrame));
  }
  assert.fail(`the car never reached row ${row}`);
}

// The game's 320 x 200 picture read off a screenshot of the page: the
// middle of each pixel's block.
async function pictureInScreenshot(page) {
  const box = await page.locator('#screen').boundingBox();
  const shot = await page.screenshot({ clip: box });
  return page.evaluate(async ([png, width, height]) => {
    const image = new Image();
    image.src = `data:image/png;base64,${png}`;
    await image.decode();
    const canvas = new OffscreenCanvas(image.width, image.height);
    const context = canvas.getContext('2d');
    context.drawImage(image, 0, 0);
    const all = context.getImageData(0, 0, image.width, image.height).data;
    const out = [];
    for (let y = 0; y < 200; y++)
      for (let x = 0; x < 320; x++) {
        const at = 4 * (Math.floor(((y + 0.5) * height) / 200) * image.width + Math.floor(((x + 0.5) * width) / 320));
        out.push(all[at], all[at + 1], all[at + 2], 255);
      }
    return out;
  }, [shot.toString('base64'), shot.readUInt32BE(16), shot.readUInt32BE(20)]);
}

// Listens on one of the sound's buses; resolves once it is not silent, with
// the time (performance.now()) at which the sound reached the output.
function listenForSound(page, bus) {
  return page.evaluate((name) => {
    const sound = window.vexlo.sound;
    const context = sound.context;
    const analyser = context.createAnalyser();
    analyser.fftSize = 2048;
    sound[name].connect(analyser);
    const samples = new Float32Array(analyser.fftSize);
    window.vexloHeard = window.vexloHeard ?? {};
    const heard = new Promise((resolve) => {
      const look = () => {
        analyser.getFloatTimeDomainData(samples);
        const first = samples.findIndex((v) => Math.abs(v) > 1e-3);
        if (first < 0) return setTimeout(look, 2);
        // The samples end at currentTime; the output plays contextTime at
        // performanceTime.
        const at = context.currentTime - (samples.length - first) / context.sampleRate;
        const stamp = context.getOutputTimestamp();
        resolve(stamp.performanceTime + (at - stamp.contextTime) * 1000);
      };
      look();
    });
    window.vexloHeard[name] = heard;
  }, bus);
}

const heardAt = (page, bus) => page.evaluate((name) => window.vexloHeard[name], bus);

// --- the tests -----------------------------------------------------------------------

test('the replay hook plays whole games exactly as the native replay tool does', async (t) => {
  const scripts = fs.readdirSync(goldenKeys).filter((f) => f.endsWith('.keys'))
    .filter((f) => !fs.existsSync(path.join(goldenKeys, f.replace(/\.keys$/, '.args'))));
  assert.ok(scripts.length >= 3);
  for (const file of scripts) {
    await t.test(file, async () => {
      const script = fs.readFileSync(path.join(goldenKeys, file), 'utf8');
      const page = await openGame(`#keys=${encodeURIComponent(script)}`);
      await page.waitForFunction(() => document.title.startsWith('exit '), null, { timeout: 60000 });
      const result = await page.evaluate(() => window.vexloReplay);
      const native = nativeReplay(script);
      assert.equal(await page.title(), `exit ${native.exit}`);
      assert.equal(result.exit, native.exit);
      assert.deepEqual(result.sound, native.sound);
      assert.equal(result.frames.length, native.frames.length);
      assert.deepEqual(result.frames, native.frames);
      assert.deepEqual(page.errors, []);
      await page.close();
    });
  }
  await t.test('a script that runs out of keys at the game-over screen', async () => {
    const script = fs.readFileSync(path.join(goldenKeys, 'crash_speed1.keys'), 'utf8').replace(/\n5000 32\n$/, '\n');
    const page = await openGame(`#keys=${encodeURIComponent(script)}`);
    await page.waitForFunction(() => document.title.startsWith('exit '), null, { timeout: 60000 });
    const native = nativeReplay(script);
    assert.equal(native.exit, 1, 'the native tool ends on "end of key script"');
    assert.deepEqual(await page.evaluate(() => window.vexloReplay), native);
    await page.close();
  });
  await t.test('a script the replay tool cannot read, or an address that cannot be decoded', async () => {
    for (const hash of [`#keys=${encodeURIComponent('272 13\n300 up\n')}`, '#keys=272%E0']) {
      const page = await openGame(hash);
      await page.waitForFunction(() => document.title === 'exit 2');
      assert.deepEqual(await page.evaluate(() => window.vexloReplay), { frames: [], sound: [], exit: 2 }, hash);
      await page.close();
    }
  });
});

// Ends a game with key, waits for the page to offer a new one and gives
// the game's frames and keys.
async function endGame(page, key) {
  await page.keyboard.press(key);
  await page.waitForFunction(() => window.vexlo.recorded);
  assert.ok(await page.locator('#again').isVisible());
  return page.evaluate(() => window.vexlo.recorded);
}

test('real keys play the game as the desktop does, at its pace, with its sound', async (t) => {
  const page = await openGame('#record');
  const startedAt = await page.waitForFunction(() => window.vexlo.firstFrameAt).then((h) => h.jsonValue());
  t.diagnostic(`start-up: navigation to the first frame ${startedAt.toFixed(0)} ms`);

  // The first key cuts the title's reveal short and lets the sound start;
  // the second starts the game.
  await page.keyboard.press('Enter');
  await waitForUpdates(page, 71);
  await listenForSound(page, 'musicBus');
  await page.keyboard.press('Enter');

  await t.test('the music plays after the first key', () => heardAt(page, 'musicBus'));

  await t.test('70 updates a second', async () => {
    const from = await updates(page);
    await waitForUpdates(page, from + 701, 20000);
    const took = await page.evaluate((n) => window.vexlo.updatedAt[n + 699] - window.vexlo.updatedAt[n - 1], from);
    const rate = (700 * 10000) / took;
    t.diagnostic(`pace: ${rate.toFixed(1)} updates in 10 s`);
    assert.ok(Math.abs(rate - 700) <= 4, `${rate} updates in 10 s`);
  });

  await t.test('Escape ends the game; the native replay of its keys shows the same frames', async () => {
    const played = await endGame(page, 'Escape');
    const native = nativeReplay(played.keys.join('\n'));
    assert.equal(native.exit, 0);
    assert.deepEqual(played.frames, native.frames);
  });

  // A new game, from the focused "Play again".
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('offer').hidden && window.vexlo.updates >= 1);
  await page.keyboard.press('Enter');
  await waitForUpdates(page, 71);
  await listenForSound(page, 'effectBus');
  await page.keyboard.press('Enter');

  await t.test('the arrows move the car', async () => {
    assert.equal(await carRow(page), 100);
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('ArrowDown');
    await waitForCarRow(page, 110);
    await page.keyboard.press('ArrowUp');
    await waitForCarRow(page, 105);
  });
  for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowRight');

  // At speed 5 the traffic soon hits the car.
  const heard = await heardAt(page, 'effectBus');
  const [hit, hitAt, effectAt] = await page.evaluate(() => {
    const { updatedAt, sound } = window.vexlo;
    const n = updatedAt.filter((at) => at <= sound.lastEffectAt).length;
    return [n, updatedAt[n - 1], sound.lastEffectAt];
  });
  await t.test('the crash is heard within 50 ms of the hit\'s update', () => {
    t.diagnostic(`crash: heard ${(heard - hitAt).toFixed(1)} ms after update ${hit} `
      + `(asked for after ${(effectAt - hitAt).toFixed(1)} ms)`);
    assert.ok(heard - hitAt <= 50, `${heard - hitAt} ms`);
  });
  // The crash runs 70 updates, the last the game-over screen, which waits
  // for a key: the picture stands still there for a screenshot, however
  // long the browser takes to make it.
  await waitForUpdates(page, hit + 70);
  const shown = frameHash(await pictureInScreenshot(page));
  const played = await endGame(page, 'Space');
  const native = nativeReplay(played.keys.join('\n'));

  await t.test('the new game started afresh: the native replay of its keys shows the same frames', () => {
    assert.deepEqual(played.frames, native.frames);
    assert.ok(native.sound.includes(`${hit} FSOUND_PlaySound`), native.sound.join('; '));
  });

  await t.test('the speed keys changed the game', () => {
    const right = played.keys.find((k) => k.split(' ')[1] === '39');
    const without = nativeReplay(played.keys.filter((k) => k !== right).join('\n'));
    const partsAt = without.frames.findIndex((line, i) => line !== native.frames[i]) + 1;
    assert.ok(partsAt > Number(right.split(' ')[0]), `frames part at update ${partsAt}, key ${right}`);
  });

  await t.test('a screenshot of the page shows one of those frames', () => {
    assert.ok(played.frames.some((line) => line.endsWith(` ${shown}`)), `no frame hashes to ${shown}`);
  });

  assert.deepEqual(page.errors, []);
  await page.close();
});

test('a game recorded in the page replays natively wherever its keys came', async () => {
  const page = await openGame('#record');
  // The title fully shown (70 blank frames, 200 rows and the whole title):
  // the first key comes while the game waits for it, after the reveal.
  await waitForUpdates(page, 271);
  await page.keyboard.press('Enter');
  for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowRight');
  // At speed 5 the traffic soon hits the car; the crash runs 70 updates,
  // the last the game-over screen, which waits for a key.
  await page.waitForFunction(() => window.vexlo.sound.lastEffectAt !== null, null, { timeout: 60000 });
  const hit = await page.evaluate(() => window.vexlo.updatedAt.filter((at) => at <= window.vexlo.sound.lastEffectAt).length);
  await waitForUpdates(page, hit + 70);
  const played = await endGame(page, 'Space');
  const [first] = played.keys;
  assert.ok(Number(first.split(' ')[0]) > 271, `the first key was written at ${first}`);
  const native = nativeReplay(played.keys.join('\n'));
  assert.equal(native.exit, 0);
  assert.deepEqual(played.frames, native.frames);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('a missing or broken data file is shown on the page', async (t) => {
  // A page whose file named is answered with body (or 404 for null).
  async function withFile(name, body) {
    const page = await browser.newPage();
    await page.route(`**/data/${name}`, (route) => route.fulfill(body === null ? { status: 404 } : { body }));
    await page.goto(base);
    return page;
  }
  await t.test('a missing picture', async () => {
    const page = await withFile('titre.raw', null);
    await page.locator('#note').waitFor();
    assert.match(await page.locator('#note').textContent(), /cannot open data\/titre\.raw/);
    await page.close();
  });
  const music = fs.readFileSync(path.join(source, 'data/vexlo.xm'));
  for (const [what, body, text] of [['missing', null, 'File not found'],
    ['not a module', Buffer.alloc(5000, 'x'), 'Unknown file format'],
    ['cut short', music.subarray(0, 4000), 'Error loading file']]) {
    await t.test(`a music file ${what}: the sound player's box, then the game`, async () => {
      const page = await withFile('vexlo.xm', body);
      await page.locator('#box').waitFor();
      assert.equal(await page.locator('#box-caption').textContent(), 'ERROR!');
      assert.equal(await page.locator('#box-text').textContent(), text);
      await page.keyboard.press('Enter');
      // Without music the game ends after its intro, as on the desktop.
      await page.locator('#note').waitFor();
      assert.match(await page.locator('#note').textContent(), /did not start/);
      await page.close();
    });
  }
  await t.test('a missing explosion: no box, the game plays', async () => {
    const page = await withFile('explode.mp3', null);
    await waitForUpdates(page, 71);
    assert.equal(await page.locator('#box').isVisible(), false);
    await page.close();
  });
});

test('the page passes keys on as the desktop does, and taps as keys', async () => {
  const context = await browser.newContext({ hasTouch: true, viewport: { width: 600, height: 700 } });
  const page = await context.newPage();
  await page.goto(`${base}#record`);
  await page.waitForFunction(() => window.vexlo.firstFrameAt);
  await page.keyboard.press('F11');  // full screen: the page's, not the game's
  await page.keyboard.press('Alt+Enter');
  await page.keyboard.press('Shift+KeyA');
  await page.tap('#touch [data-key="13"]');
  await waitForUpdates(page, 71);
  await page.keyboard.press('Control+ArrowDown');
  await page.tap('#touch [data-key="40"]');
  await page.tap('#touch [data-key="27"]');
  await page.waitForFunction(() => window.vexlo.recorded);
  const codes = (await page.evaluate(() => window.vexlo.recorded.keys)).map((k) => k.replace(/^\d+ /, ''));
  assert.deepEqual(codes, ['16 shift', '65 shift', '13', '17 ctrl', '40 ctrl', '40', '27']);
  await context.close();
});

test('the server gives nothing outside its folder', async () => {
  const get = (wanted) => new Promise((resolve, reject) => {
    http.get({ host: '127.0.0.1', port: server.address().port, path: wanted }, (response) => {
      response.resume();
      resolve(response.statusCode);
    }).on('error', reject);
  });
  assert.equal(await get('/data/vexlo.xm'), 200);
  // Nothing outside, and a request it cannot read is refused, not fatal.
  for (const wanted of ['/../CMakeLists.txt', '/data/..%2f..%2fREADME.md', '/%2e%2e/%2e%2e/README.md', '/%', '/%00'])
    assert.equal(await get(wanted), 404, wanted);
  assert.equal(await get('/index.html'), 200);
});

test('the built folder stays small', () => {
  // The folder packed for a game-hosting site (web.sh --zip) aside.
  const size = (dir) => fs.readdirSync(dir, { withFileTypes: true }).filter((e) => e.name !== 'vexlo-race-web.zip')
    .reduce((sum, e) => sum + (e.isDirectory() ? size(path.join(dir, e.name)) : fs.statSync(path.join(dir, e.name)).size), 0);
  const bytes = size(site);
  assert.ok(bytes <= 4 * 1024 * 1024, `${bytes} bytes`);
});
