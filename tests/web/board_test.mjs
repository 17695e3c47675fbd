// The hall of fame in the page, against the score server (vexlo-board
// serve --web with the built page, and a worker) over a PostgreSQL started
// here: a game played with real keys and submitted through the page's own
// controls, verified with the score the replay tool's game-over screen
// shows, marked in the hall of fame with its name as text, and watched
// with the replay tool's frames; the name then the player's (another
// player's name refused, the key shown and one pasted in), and the run
// hidden by the board's operators; and a page with no server that says so.
// With VEXLO_WEB_SCREENSHOTS=DIR it leaves web-board.png there.
//
//   VEXLO_BOARD_PROGRAM  vexlo-board
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import {
  frameHash, launchBrowser, nativeReplay, openGame, scoreOnPicture, site, source, waitForUpdates, withServedPage,
} from './support.mjs';

const databaseControl = path.join(source, 'scripts/board-db.sh');
const processes = [];
let cluster, browser, boardBase, databaseUrl;

// vexlo-board with args; resolves with the process once a line of its
// output matches ready, and with that line's match.
function startBoard(args, databaseUrl, ready) {
  const child = spawn(process.env.VEXLO_BOARD_PROGRAM, args, {
    cwd: source, env: { ...process.env, DATABASE_URL: databaseUrl }, stdio: ['ignore', 'pipe', 'inherit'],
  });
  processes.push(child);
  return new Promise((resolve, reject) => {
    child.once('exit', (status) => reject(new Error(`vexlo-board ${args[0]} ended with ${status}`)));
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      const match = line.match(ready);
      if (match) resolve(match);
    });
  });
}

before(async () => {
  // A short path: the database's socket lives in it.
  cluster = fs.mkdtempSync('/tmp/vexlo-page-db-');
  const started = spawnSync('bash', [databaseControl, 'start', cluster], {
    encoding: 'utf8', env: { ...process.env, BOARD_DB_SETTINGS: '-c fsync=off -c synchronous_commit=off' },
  });
  assert.equal(started.status, 0, started.stderr);
  databaseUrl = started.stdout.trim();
  const [, address] = await startBoard(['serve', '--port', '0', '--web', site], databaseUrl, /serving (http:\S+\/)/);
  boardBase = address;
  await startBoard(['worker', '--game-dir', source], databaseUrl, /ready/);
  browser = await launchBrowser();
});

// Ends a process, killed outright if SIGTERM has not ended it in 10 s.
function end(child) {
  return new Promise((resolve) => {
    if (child.exitCode !== null || child.signalCode !== null) return resolve();
    child.removeAllListeners('exit');
    const killer = setTimeout(() => child.kill('SIGKILL'), 10000);
    child.once('exit', () => {
      clearTimeout(killer);
      resolve();
    });
    child.kill('SIGTERM');
  });
}

// Each of these whatever the one before it did.
after(async () => {
  try {
    await browser?.close();
  } finally {
    try {
      await Promise.all(processes.map(end));
    } finally {
      if (cluster) {
        spawnSync('bash', [databaseControl, 'stop', cluster]);
        fs.rmSync(cluster, { recursive: true, force: true });
      }
    }
  }
});

// vexlo-board admin ARGS, run to its end: what it printed.
function admin(...args) {
  const ran = spawnSync(process.env.VEXLO_BOARD_PROGRAM, ['admin', ...args],
    { encoding: 'utf8', env: { ...process.env, DATABASE_URL: databaseUrl } });
  assert.equal(ran.status, 0, ran.stderr);
  return ran.stdout.trim();
}

async function post(path, body, token = null) {
  const response = await fetch(`${boardBase}${path}`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', ...(token ? { Authorization: `Bearer ${token}` } : {}) },
    body: JSON.stringify(body),
  });
  return { status: response.status, body: await response.json() };
}

async function verifiedRun(id) {
  for (;;) {
    const run = await (await fetch(`${boardBase}api/runs/${id}`)).json();
    if (run.status !== 'queued' && run.status !== 'verifying') return run;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

// A game as a player plays it: the first key after the title's reveal,
// the speed raised to 5, the crash, and a key at the game-over screen.
async function playToTheEnd(page) {
  await waitForUpdates(page, 271);
  await page.keyboard.press('Enter');
  for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowRight');
  await page.waitForFunction(() => window.vexlo.waitsForKey() && window.vexlo.updates > 300, null, { timeout: 60000 });
  await page.keyboard.press('Space');
  await page.waitForFunction(() => window.vexlo.recorded);
  return page.evaluate(() => window.vexlo.recorded);
}

// A name a page would turn into markup if it set it as HTML.
const Name = '&lt;b&gt;Ann & "Bo"';

test('a game played in the page is submitted, verified, shown in the hall of fame and watched', async (t) => {
  const page = await openGame(browser, `${boardBase}index.html#record`, { viewport: { width: 1280, height: 800 } });
  await page.locator('#hall').waitFor();
  const played = await playToTheEnd(page);
  const native = nativeReplay(played.keys.join('\n'), Number(played.frames.at(-2).split(' ')[0]));
  assert.deepEqual(played.frames, native.frames);

  const token = admin('token', 'create', '--note', 'page test');
  await t.test('a name another player claimed: refused in the server\'s words, the game can still be sent', async () => {
    const claim = await post('api/runs', { name: 'Taken', keys: '272 13\n', player_key: 'A'.repeat(43) });
    assert.equal((await verifiedRun(claim.body.id)).status, 'verified');
    // Hidden, so that the board holds the page's run alone: its name stays claimed.
    assert.equal((await post(`api/admin/runs/${claim.body.id}/hide`, { reason: 'out of the way' }, token)).status, 200);
    await page.fill('#name', 'TAKEN');
    await page.click('#send');
    await page.locator('#verdict', { hasText: 'Not sent: this name belongs to another player.' }).waitFor();
    assert.ok(await page.locator('#send').isEnabled());
    assert.ok(await page.locator('#name-note').isHidden());
  });

  await t.test('a name the server refuses: its reason, and the game can still be sent', async () => {
    await page.fill('#name', '<b>Ann</b>');
    await page.click('#send');
    await page.locator('#verdict', { hasText: /^Not sent: / }).waitFor();
    assert.ok(await page.locator('#send').isEnabled());
  });

  let run;
  await t.test('submitted: checked, then verified with the score of the replay tool\'s game-over screen', async () => {
    await page.fill('#name', Name);
    await page.click('#send');
    await page.locator('#verdict', { hasText: /checking/ }).waitFor();
    await page.locator('#verdict', { hasText: /verified: rank \d+ of \d+\.$/ }).waitFor({ timeout: 180000 });
    const id = await page.evaluate(() => JSON.parse(localStorage.getItem('vexlo-race:own-runs'))[0]);
    run = await (await fetch(`${boardBase}api/runs/${id}`)).json();
    assert.equal(run.status, 'verified');
    assert.equal(run.score, scoreOnPicture(native.frame));
    assert.equal(run.score, await page.evaluate(() => window.vexlo.lastGame.score));
    assert.equal(await page.locator('#verdict').textContent(), `Score ${run.score} verified: rank ${run.rank} of 1.`);
    assert.equal(await page.locator('#verified-means').textContent(),
      'Verified: the server played your keys again and reached this score.');
    assert.ok(await page.locator('#verified-means').isVisible());
    assert.equal(await page.evaluate(() => localStorage.getItem('vexlo-race:name')), Name);
  });

  await t.test('the name is the player\'s now: said under it, its key kept and shown, another key refused', async () => {
    assert.ok(await page.locator('#name-note').isVisible());
    assert.equal(await page.locator('#name-note').textContent(), 'This name is yours on this browser');
    const key = await page.evaluate(() => localStorage.getItem('vexlo-race:player-key'));
    assert.match(key, /^[A-Za-z0-9_-]{43}$/);
    await page.click('#player-key summary');
    // Put in as the panel opens, by its toggle event, which comes as a task
    // of its own after the click.
    await page.waitForFunction((k) => document.getElementById('key-shown').value === k, key, { timeout: 10000 });
    await page.click('#player-key summary');
    assert.equal((await post('api/runs', { name: Name.toUpperCase(), keys: '272 13\n300 38\n' })).status, 403);
  });

  await t.test('the hall of fame marks the run, its name as text', async () => {
    const own = page.locator('#hall-rows tr.own');
    assert.equal(await own.count(), 1);
    assert.deepEqual(await own.locator('td').allTextContents(), [String(run.rank), Name, String(run.score), 'WatchShare']);
    assert.equal(await own.locator('td.name').evaluate((cell) => cell.childElementCount), 0);
    if (process.env.VEXLO_WEB_SCREENSHOTS)
      await page.screenshot({ path: path.join(process.env.VEXLO_WEB_SCREENSHOTS, 'web-board.png') });
  });

  await t.test('Watch plays the run with the replay tool\'s frames, at the game\'s pace, then the hall again', async () => {
    await page.locator('#hall-rows tr.own button', { hasText: 'Watch' }).click();
    await page.waitForFunction(() => document.getElementById('help').textContent.startsWith('Watching'));
    await page.waitForFunction(() => window.vexlo.recorded, null, { timeout: 120000 });
    const watched = await page.evaluate(() => window.vexlo.recorded);
    assert.deepEqual(watched.frames, native.frames);
    const { updatedAt } = await page.evaluate(() => window.vexlo);
    const perSecond = ((updatedAt.length - 1) * 1000) / (updatedAt.at(-1) - updatedAt[0]);
    assert.ok(perSecond <= 71, `${perSecond.toFixed(1)} updates a second`);
    assert.ok(await page.locator('#hall-rows tr.own').isVisible());
    assert.match(await page.locator('#status').textContent(), /That was the run of/);
  });
  await t.test('a run the operators hid leaves the hall at its next refresh, and its player is told why', async () => {
    assert.equal((await post(`api/admin/runs/${run.id}/hide`, { reason: 'a test of hiding' }, token)).status, 200);
    await page.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
    await page.locator('#hall-hidden', { hasText: "Hidden by the board's operators: a test of hiding" }).waitFor();
    assert.equal(await page.locator('#hall-rows tr').count(), 0);
    assert.equal((await post(`api/admin/runs/${run.id}/unhide`, {}, token)).status, 200);
    await page.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
    await page.locator('#hall-rows tr.own').waitFor();
    assert.equal(await page.locator('#hall-hidden').textContent(), '');
  });

  await t.test('a key pasted in from another device is taken, anything else is not', async () => {
    await page.click('#player-key summary');
    await page.fill('#key-pasted', 'not a key');
    await page.click('#key-use');
    assert.match(await page.locator('#key-note').textContent(), /^That is not a player key/);
    const moved = `${'b'.repeat(42)}_`;
    await page.fill('#key-pasted', moved);
    await page.click('#key-use');
    assert.equal(await page.evaluate(() => localStorage.getItem('vexlo-race:player-key')), moved);
    assert.equal(await page.inputValue('#key-shown'), moved);
    assert.equal(await page.evaluate(() => localStorage.getItem('vexlo-race:claimed-name')), null);
  });
  // The refused names' answers aside.
  assert.deepEqual(page.errors.filter((e) => !/(400 \(Bad Request\)|403 \(Forbidden\))/.test(e)), []);
  await page.close();
});

test('a page hosted elsewhere shows the server named by #board=', () => withServedPage(async (served) => {
  const page = await openGame(browser, `${served.base}#board=${encodeURIComponent(boardBase)}`,
    { viewport: { width: 1280, height: 800 } });
  await page.locator('#hall-rows tr').first().waitFor();
  assert.equal(await page.locator('#hall-rows td.name').first().textContent(), Name);
  await page.close();
}));

test('with no server answering, the page says so and the game plays', () => withServedPage(async (served) => {
  for (const address of [served.base, `${served.base}#board=${encodeURIComponent('http://127.0.0.1:9/')}`]) {
    const page = await openGame(browser, address, { viewport: { width: 1280, height: 800 } });
    await page.locator('#hall-note', { hasText: /does not answer|No score server answers/ }).waitFor();
    await waitForUpdates(page, 271);
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => !window.vexlo.waitsForKey());
    await page.close();
  }
}));

// --- links, speeds and the page's own games, on runs of the golden scripts -----------

const golden = (name) => fs.readFileSync(path.join(source, 'tests/replay', `${name}.keys`), 'utf8');

// A run submitted straight to the server and followed to its verdict.
async function submitted(name, keys) {
  const answer = await fetch(`${boardBase}api/runs`, {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ name, keys }),
  });
  assert.equal(answer.status, 202);
  const { id } = await answer.json();
  for (;;) {
    const run = await (await fetch(`${boardBase}api/runs/${id}`)).json();
    if (run.status === 'verified' || run.status === 'rejected') return { id, ...run };
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

const LongName = 'WWWWWWWWWWWWWWWWWWWWWWW!';  // 24 of the widest letters
let linked;

test('a link to a run plays it with the replay tool\'s frames, says whose it is, and Share copies it', async (t) => {
  const script = golden('crash_speed1');
  linked = await submitted(LongName, script);
  assert.equal(linked.status, 'verified');
  const native = nativeReplay(script);
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: new URL(boardBase).origin });
  const page = await openGame(context, `${boardBase}index.html#run=${linked.id}&record`);
  await t.test('the run is watched, its name, score, rank and race beside the picture', async () => {
    await page.locator('#watching').waitFor();
    assert.equal(await page.locator('#watch-who').textContent(),
      `The run of ${LongName}: rank ${linked.rank}, score ${linked.score}, the classic race.`);
    await page.waitForFunction(() => window.vexlo.recorded, null, { timeout: 120000 });
    assert.deepEqual((await page.evaluate(() => window.vexlo.recorded)).frames, native.frames);
  });
  await t.test('Share on its row copies the link, and says so', async () => {
    const row = page.locator('#hall-rows tr', { hasText: LongName });
    await row.locator('button', { hasText: 'Share' }).click();
    await page.locator('#hall-note', { hasText: 'Link copied' }).waitFor();
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), `${boardBase}index.html#run=${linked.id}`);
  });
  assert.deepEqual(page.errors, []);
  await context.close();
});

test('a link to a run the board does not show says so in words and offers the game', async () => {
  const page = await openGame(browser, `${boardBase}index.html#run=999999`);
  await page.locator('#status', { hasText: 'Run 999999 is not on the board' }).waitFor();
  assert.match(await page.locator('#status').textContent(), /unknown, or hidden/);
  assert.equal(await page.locator('#again').textContent(), 'Play');
  await page.keyboard.press('Enter');
  await waitForUpdates(page, 71);
  await page.close();
});

// A page that watches at the speed chosen last, as the page remembers it.
async function watchingAt(speed, address) {
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  await page.addInitScript((kept) => localStorage.setItem('vexlo-race:watch-speed', kept), String(speed));
  await page.goto(address);
  return page;
}

test('watching at x8 and skipping to the crash', async (t) => {
  const native = nativeReplay(golden('crash_speed1'));
  const crash = native.frames.length - 1 - 70;  // the game-over screen comes 70 updates after the crash
  await t.test('at x8 the run of 1670 updates ends in under 4 s, the replay tool\'s last frame on screen', async () => {
    const page = await watchingAt(8, `${boardBase}index.html#run=${linked.id}`);
    await page.waitForFunction(() => window.vexlo.watchEndedAt !== null, null, { timeout: 60000 });
    const { updatedAt, watchEndedAt, updates, watch } = await page.evaluate(() => window.vexlo);
    assert.equal(watch.speed, 8);
    assert.equal(updates, native.frames.length);
    const took = watchEndedAt - updatedAt[0];
    assert.ok(took < 4000, `${took.toFixed(0)} ms`);
    const shown = await page.evaluate(() => Array.from(window.vexlo.framePixels()));
    // The game-over screen, the frame before the last, which the game clears on its way out.
    assert.ok(native.frames.at(-2).endsWith(` ${frameHash(shown)}`), 'the last frame shown is the replay tool\'s');
    console.log(`x8: ${updates} updates in ${took.toFixed(0)} ms`);
    await page.close();
  });
  await t.test('Skip to the crash shows it within 2 s', async () => {
    const page = await watchingAt(1, `${boardBase}index.html#run=${linked.id}`);
    await waitForUpdates(page, 300);
    const from = await page.evaluate(() => performance.now());
    await page.click('#watch-skip');
    await page.waitForFunction((n) => window.vexlo.updates >= n, crash, { timeout: 10000 });
    const at = await page.evaluate((n) => window.vexlo.updatedAt[n - 1], crash);
    assert.ok(at - from < 2000, `the crash ${(at - from).toFixed(0)} ms after the click`);
    await page.keyboard.press('Escape');
    await page.close();
  });
});

test('names whole in the hall of fame at 1280 x 800 and on a phone held upright; a blank-looking one said', async (t) => {
  for (const [size, options] of [['1280 x 800', { viewport: { width: 1280, height: 800 } }],
    ['390 x 844', { viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true }]]) {
    await t.test(size, async () => {
      const page = await browser.newPage(options);
      // The server refuses a name that looks blank today, but its board may
      // hold one from before its name rules: one is added to its answer.
      await page.route('**/api/board?*', async (route) => {
        const response = await route.fetch();
        const json = await response.json();
        json.runs.push({ rank: json.total + 1, id: 999990, name: '\u3164\u3164', score: 1, updates: 300 });
        await route.fulfill({ response, json });
      });
      await page.goto(`${boardBase}index.html#run=999998`);
      await page.locator('#hall-rows tr').nth(1).waitFor();
      const cell = page.locator('#hall-rows td.name', { hasText: LongName });
      assert.equal(await cell.textContent(), LongName);
      assert.ok(await cell.evaluate((c) => c.scrollWidth <= c.clientWidth && c.getClientRects().length > 0));
      assert.equal(await page.locator('#hall-rows td.name.blank').textContent(), '(a name that looks blank)');
      await page.close();
    });
  }
});

test('a game kept in the page is submitted from "My games"; a copy is refused with a link to its original', async () => {
  // The linked run's game, with a letter that changes nothing.
  const copy = `${golden('crash_speed1')}1000 65\n`;
  const page = await openGame(browser, `${boardBase}index.html#run=999997`, { viewport: { width: 1280, height: 800 } });
  await page.locator('#status', { hasText: 'is not on the board' }).waitFor();
  await page.evaluate((keys) => new Promise((resolve, reject) => {
    const opening = indexedDB.open('vexlo-race', 1);
    opening.onupgradeneeded = () => opening.result.createObjectStore('games', { keyPath: 'id', autoIncrement: true });
    opening.onsuccess = () => {
      // Kept once the transaction completes: the add's own success comes
      // before it is written, and a reload then could lose it.
      const keeping = opening.result.transaction('games', 'readwrite');
      keeping.objectStore('games').add({ race: 'classic', score: 1, gameOver: true, keys, date: Date.now(), run: null });
      keeping.oncomplete = resolve;
      keeping.onerror = () => reject(keeping.error);
      keeping.onabort = () => reject(keeping.error);
    };
  }), copy);
  await page.reload();
  const row = page.locator('#mine-rows tr');
  await row.waitFor();
  await row.locator('button', { hasText: 'Submit' }).click();
  await page.fill('#name', 'copier');
  await page.click('#send');
  const link = page.locator('#verdict a');
  await link.waitFor({ timeout: 180000 });
  assert.match(await page.locator('#verdict').textContent(), new RegExp(`^Not kept: the same game as run ${linked.id}\\b`));
  assert.equal(await link.getAttribute('href'), `${boardBase}index.html#run=${linked.id}`);
  await page.close();
});
