// The page as a way to play, in headless Chromium: pause and mute as on
// the desktop (P, a hidden page, M), the game-over screen kept with its
// score in the page's words and the next game on any fresh key, and
// replay links that fail kindly without changing the replay hook.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  frameHash, nativeReplay, openGame, pageAndBrowser, scoreOnPicture, updates, waitForUpdates,
} from './support.mjs';

const shared = pageAndBrowser();

// The title fully shown (70 blank frames, then 200 rows), and the key that
// starts the game.
async function startGame(page) {
  await waitForUpdates(page, 271);
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => !window.vexlo.waitsForKey());
}

const animationFrames = (page, n) => page.evaluate((count) => new Promise((resolve) => {
  const next = (left) => (left === 0 ? resolve() : requestAnimationFrame(() => next(left - 1)));
  next(count);
}), n);

// The pause picture: the sign's panel (its edge and inside) in the middle,
// everything outside it dimmed to at most three eighths of full.
const pausePictureShown = (page) => page.evaluate(() => {
  const p = window.vexlo.framePixels();
  const at = (x, y) => { const i = 4 * (y * 320 + x); return (p[i] << 16) | (p[i + 1] << 8) | p[i + 2]; };
  if (at(92, 70) !== 0xd0d0d0 || at(93, 71) !== 0x181818) return false;
  for (let y = 0; y < 200; y++)
    for (let x = 0; x < 320; x++)
      if ((x < 92 || x >= 228 || y < 70 || y >= 130) && [16, 8, 0].some((s) => ((at(x, y) >> s) & 0xff) > 94))
        return false;
  return true;
});

// Whether the music bus stays silent for `frames` animation frames.
const musicSilent = (page, frames) => page.evaluate(async (count) => {
  const { sound } = window.vexlo;
  const analyser = sound.context.createAnalyser();
  sound.musicBus.connect(analyser);
  const samples = new Float32Array(analyser.fftSize);
  let loudest = 0;
  for (let i = 0; i < count; i++) {
    await new Promise(requestAnimationFrame);
    analyser.getFloatTimeDomainData(samples);
    for (const v of samples) loudest = Math.max(loudest, Math.abs(v));
  }
  sound.musicBus.disconnect(analyser);
  return loudest < 1e-4;
}, frames);

test('P pauses and goes on, M mutes, and the paused game replays natively', async (t) => {
  // A context of its own, where another page can take the front.
  const context = await shared.browser.newContext();
  const page = await context.newPage();
  page.errors = [];
  page.on('pageerror', (e) => page.errors.push(String(e)));
  await page.goto(`${shared.served.base}#record`);
  await startGame(page);
  const playing = await updates(page);
  await waitForUpdates(page, playing + 35);
  assert.equal(await musicSilent(page, 5), false, 'the music plays');

  await t.test('P: the pause picture shows, game time and the sound stand', async () => {
    await page.keyboard.press('KeyP');
    await page.waitForFunction(() => window.vexlo.sound.context.state === 'suspended');
    const at = await updates(page);
    assert.ok(await pausePictureShown(page));
    await animationFrames(page, 40);
    assert.equal(await updates(page), at);
    await page.keyboard.press('KeyP');
    await waitForUpdates(page, at + 35);
    assert.equal(await pausePictureShown(page), false);
  });

  await t.test('M silences the output, and M again brings it back', async () => {
    await page.keyboard.press('KeyM');
    await page.waitForFunction(() => window.vexlo.sound.musicBus.gain.value === 0);
    assert.ok(await musicSilent(page, 10));
    await page.keyboard.press('KeyM');
    await page.waitForFunction(() => window.vexlo.sound.musicBus.gain.value === 1);
    assert.equal(await musicSilent(page, 10), false);
  });

  // Paused by the page itself, then P goes on.
  async function pausedUntilP() {
    await page.waitForFunction(() => window.vexlo.sound.paused);
    assert.ok(await pausePictureShown(page));
    const at = await updates(page);
    await animationFrames(page, 20);
    assert.equal(await updates(page), at);
    await page.keyboard.press('Pause');
    await waitForUpdates(page, at + 10);
  }

  await t.test('another window taking the keys pauses the game', async () => {
    // Playwright has every page think it has the focus; this one no more.
    await (await context.newCDPSession(page)).send('Emulation.setFocusEmulationEnabled', { enabled: false });
    const other = await context.newPage();
    await other.bringToFront();
    await page.waitForFunction(() => !document.hasFocus());
    await page.bringToFront();
    await other.close();
    await pausedUntilP();
  });

  await t.test('the page hidden pauses the game', async () => {
    // Headless Chromium shows every page, so the page is told it is hidden.
    await page.evaluate(() => {
      Object.defineProperty(document, 'hidden', { configurable: true, get: () => true });
      document.dispatchEvent(new Event('visibilitychange'));
      delete document.hidden;
    });
    await pausedUntilP();
  });

  await page.keyboard.press('Escape');
  await page.waitForFunction(() => window.vexlo.recorded);
  const played = await page.evaluate(() => window.vexlo.recorded);
  assert.ok(played.keys.some((k) => / 80$/.test(k)) === false, 'P is the window\'s, never the game\'s');
  assert.deepEqual(played.frames, nativeReplay(played.keys.join('\n')).frames);
  assert.deepEqual(page.errors, []);
  await context.close();
});

test('the game-over screen stays with its score, and only a fresh key plays again', async () => {
  const page = await openGame(shared.browser, `${shared.served.base}#record`);
  await startGame(page);
  for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowRight');
  // At speed 5 the traffic soon hits the car; the game-over screen waits.
  await page.waitForFunction(() => window.vexlo.waitsForKey(), null, { timeout: 60000 });
  // The key that ends the game is held past its end: neither it nor its
  // release may start the next one.
  await page.keyboard.down('Space');
  await page.waitForFunction(() => window.vexlo.recorded);
  await page.keyboard.up('Space');
  await animationFrames(page, 10);
  assert.ok(await page.locator('#again').isVisible());
  assert.equal(await updates(page), (await page.evaluate(() => window.vexlo.recorded)).frames.length);

  const [played, game, shown] = await page.evaluate(() =>
    [window.vexlo.recorded, window.vexlo.lastGame, Array.from(window.vexlo.framePixels())]);
  assert.ok(game.gameOver);
  assert.equal(scoreOnPicture(shown), game.score);
  assert.match(await page.locator('#status').textContent(), new RegExp(`final score: ${game.score}\\b`));
  assert.equal(await page.locator('#status').getAttribute('role'), 'status');
  // The picture is the game-over screen, the frame before the last (which
  // the game clears on its way out).
  const native = nativeReplay(played.keys.join('\n'));
  assert.deepEqual(played.frames, native.frames);
  assert.ok(native.frames.at(-2).endsWith(` ${frameHash(shown)}`), 'the game-over screen is shown');
  assert.equal(game.keys.trim(), played.keys.join('\n'), 'every game\'s keys are kept');

  await page.keyboard.press('KeyQ');
  await page.waitForFunction(() => document.getElementById('offer').hidden && window.vexlo.updates > 0);
  assert.equal(await page.locator('#status').textContent(), '');
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('a replay link that holds no game says so, keeps the hook, and the game plays', async (t) => {
  for (const [kind, hash, words] of [
    ['empty', '#keys=', /it is empty/],
    ['not a key script', '#keys=garbage', /cannot be read: it is not a list of keys \(line 1: /],
    ['not valid URL encoding', '#keys=272%E0', /damaged/]]) {
    await t.test(kind, async () => {
      const page = await openGame(shared.browser, shared.served.base + hash);
      await page.waitForFunction(() => document.title.startsWith('exit '));
      // The replay tool refuses what it cannot read with status 2 and nothing else.
      const expected = kind === 'empty' ? nativeReplay('') : { frames: [], sound: [], exit: 2 };
      assert.deepEqual(await page.evaluate(() => window.vexloReplay), expected);
      await page.locator('#again').waitFor();
      assert.match(await page.locator('#status').textContent(), words);
      assert.equal(await page.locator('#again').textContent(), 'Play');
      await page.keyboard.press('Enter');
      await waitForUpdates(page, 71);
      assert.equal(page.url().includes('#'), false, 'the link is left for the game itself');
      await page.close();
    });
  }
});

test('a key far past any game replays as natively, though a browser\'s long has 32 bits', async () => {
  const script = '3000000000 13\n';
  const page = await openGame(shared.browser, `${shared.served.base}#keys=${encodeURIComponent(script)}`);
  await page.waitForFunction(() => document.title.startsWith('exit '), null, { timeout: 60000 });
  assert.deepEqual(await page.evaluate(() => window.vexloReplay), nativeReplay(script));
  await page.close();
});

test('#daily plays today\'s race, named beside the picture, and the page keeps its games through a reload', async () => {
  const page = await openGame(shared.browser, `${shared.served.base}#daily&record`);
  const today = new Date().toISOString().slice(0, 10);
  assert.equal(await page.locator('#race-daily').textContent(), `Daily race ${today}`);
  assert.equal(await page.locator('#race-daily').getAttribute('aria-pressed'), 'true');
  await startGame(page);
  for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowRight');
  // Today's traffic may end the game before then: Escape ends its game-over screen too.
  await page.waitForFunction(() => window.vexlo.updates >= 600 || window.vexlo.waitsForKey());
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => window.vexlo.recorded);
  const played = await page.evaluate(() => window.vexlo.recorded);
  assert.equal(played.keys[0], `race daily ${today}`);
  assert.deepEqual(played.frames, nativeReplay(played.keys.join('\n')).frames);
  // The same keys in the classic race meet other traffic.
  assert.notDeepEqual(nativeReplay(played.keys.slice(1).join('\n')).frames, played.frames);
  const kept = page.locator('#mine-rows tr');
  await kept.first().waitFor();
  const score = await page.evaluate(() => window.vexlo.lastGame.score);
  const [race, shown] = await kept.first().locator('td').allTextContents();
  assert.equal(race, `Daily ${today}`);
  assert.match(shown, new RegExp(`^${score}( \\(ended\\))?$`));
  // After the reload a new game waits on its title, over which the list is hidden.
  await page.reload();
  await kept.first().waitFor({ state: 'attached' });
  assert.equal(await kept.count(), 1);
  assert.match(await kept.first().textContent(), new RegExp(`^Daily ${today}`));
  // Picking the classic race ends a game on its title and plays the classic one.
  await page.click('#race-classic');
  assert.equal(await page.locator('#race-classic').getAttribute('aria-pressed'), 'true');
  await startGame(page);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => window.vexlo.recorded);
  assert.match((await page.evaluate(() => window.vexlo.recorded)).keys[0], /^\d+ 13$/);
  assert.deepEqual(page.errors, []);
  await page.close();
});
