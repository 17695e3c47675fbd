// The page on phones, in headless Chromium with touch: upright and
// sideways, the picture as large as 4:3 allows and every button on the
// screen, in full screen too; the picture taken as Start where the game
// waits for a key; the pause button. With VEXLO_WEB_SCREENSHOTS=DIR it
// leaves a PNG of each layout there (web-portrait.png, web-landscape.png,
// web-desktop.png).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { pageAndBrowser, waitForUpdates } from './support.mjs';

const shots = process.env.VEXLO_WEB_SCREENSHOTS;
const shared = pageAndBrowser();

// The boxes of the picture and of every touch button, and the screen's size.
const boxes = (page) => page.evaluate(() => {
  const box = (e) => { const r = e.getBoundingClientRect(); return { x: r.x, y: r.y, width: r.width, height: r.height }; };
  return {
    screen: { width: window.innerWidth, height: window.innerHeight },
    picture: box(document.getElementById('screen')),
    buttons: [...document.querySelectorAll('#touch button')].map((b) => ({ label: b.getAttribute('aria-label'), ...box(b) })),
  };
});

function assertAllOnScreen({ screen, picture, buttons }, what) {
  const inside = (b) => b.width > 0 && b.height > 0 && b.x >= 0 && b.y >= 0
    && b.x + b.width <= screen.width + 0.5 && b.y + b.height <= screen.height + 0.5;
  const apart = (a, b) => a.x + a.width <= b.x + 0.5 || b.x + b.width <= a.x + 0.5
    || a.y + a.height <= b.y + 0.5 || b.y + b.height <= a.y + 0.5;
  assert.ok(inside(picture), `${what}: the picture ${JSON.stringify(picture)} leaves the screen`);
  assert.equal(buttons.length, 8);
  for (const button of buttons) {
    assert.ok(inside(button), `${what}: ${button.label} ${JSON.stringify(button)} leaves the screen`);
    assert.ok(apart(button, picture), `${what}: ${button.label} lies on the picture`);
    assert.ok(button.width >= 36 && button.height >= 30, `${what}: ${button.label} is too small for a finger`);
  }
  assert.ok(Math.abs(picture.width * 3 - picture.height * 4) <= 4, `${what}: the picture is not 4:3`);
}

const pauseSignShown = (page) => page.evaluate(() => {
  const p = window.vexlo.framePixels();
  return p[4 * (70 * 320 + 92)] === 0xd0 && p[4 * (71 * 320 + 93)] === 0x18;
});

for (const [name, viewport] of [['portrait', { width: 390, height: 844 }], ['landscape', { width: 844, height: 390 }]]) {
  test(`a phone held ${name === 'portrait' ? 'upright' : 'sideways'}`, async () => {
    const context = await shared.browser.newContext({ viewport, hasTouch: true, isMobile: true, deviceScaleFactor: 2 });
    const page = await context.newPage();
    page.errors = [];
    page.on('pageerror', (e) => page.errors.push(String(e)));
    await page.goto(shared.served.base);
    await waitForUpdates(page, 271);
    await page.waitForFunction(() => !document.getElementById('touch').hidden);

    const layout = await boxes(page);
    assertAllOnScreen(layout, name);
    // As large as 4:3 allows: sideways the whole height, upright the whole width.
    if (name === 'landscape') assert.ok(layout.picture.height >= viewport.height - 1, JSON.stringify(layout.picture));
    else assert.ok(layout.picture.width >= viewport.width - 1, JSON.stringify(layout.picture));
    const steer = layout.buttons.filter((b) => b.label === 'Up' || b.label === 'Down');
    const speed = layout.buttons.filter((b) => b.label === 'Slower' || b.label === 'Faster');
    if (name === 'landscape') {
      assert.ok(steer.every((b) => b.x + b.width <= layout.picture.x), 'steering left of the picture');
      assert.ok(speed.every((b) => b.x >= layout.picture.x + layout.picture.width), 'speed right of it');
    } else {
      assert.ok([...steer, ...speed].every((b) => b.y >= layout.picture.y + layout.picture.height), 'the buttons under it');
    }
    assert.match(await page.locator('#help').textContent(), /^Tap /);
    if (shots) await page.screenshot({ path: path.join(shots, `web-${name}.png`) });

    // Full screen takes the picture and the buttons together.
    await page.tap('#touch [data-action="fullscreen"]');
    await page.waitForFunction(() => document.fullscreenElement?.id === 'app');
    assertAllOnScreen(await boxes(page), `${name}, full screen`);

    // A tap on the picture starts the game; the pause button pauses it.
    await page.tap('#screen');
    await page.waitForFunction(() => !window.vexlo.waitsForKey());
    const at = await page.evaluate(() => window.vexlo.updates);
    await waitForUpdates(page, at + 10);
    await page.tap('#touch [data-key="80"]');
    await page.waitForFunction(() => window.vexlo.sound.context === null || window.vexlo.sound.paused);
    assert.ok(await pauseSignShown(page));
    await page.tap('#touch [data-key="80"]');
    await page.tap('#touch [data-key="27"]');
    await page.locator('#again').waitFor();
    assertAllOnScreen(await boxes(page), `${name}, the game ended`);
    assert.match(await page.locator('#status').textContent(), /Tap to play again/);
    // And a tap on the picture plays again.
    await page.tap('#screen', { position: { x: 10, y: layout.picture.height - 10 } });
    await page.waitForFunction(() => document.getElementById('offer').hidden && window.vexlo.updates > 0);
    assert.deepEqual(page.errors, []);
    await context.close();
  });
}

test('a desktop window: the game-over beside the picture', async () => {
  const page = await shared.browser.newPage({ viewport: { width: 1280, height: 800 } });
  await page.goto(`${shared.served.base}#record`);
  await waitForUpdates(page, 271);
  await page.keyboard.press('Enter');
  for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowRight');
  await page.waitForFunction(() => window.vexlo.waitsForKey(), null, { timeout: 60000 });
  await page.keyboard.press('Space');
  await page.locator('#again').waitFor();
  const [picture, side] = await Promise.all(['#screen', '#side'].map((s) => page.locator(s).boundingBox()));
  assert.ok(side.x >= picture.x + picture.width, 'the side panel is beside the picture');
  assert.ok(picture.height >= 760, `the picture keeps its size: ${picture.height}`);
  if (shots) await page.screenshot({ path: path.join(shots, 'web-desktop.png') });
  await page.close();
});
