// The hall of fame in the page, against the score server (vexlo-board
// serve --web with the built page, and a worker) over a PostgreSQL started
// here: a game played with real keys and submitted through the page's own
// controls, verified with the score the replay tool's game-over screen
// shows, marked in the hall of fame with its name as text, and watched
// with the replay tool's frames; and a page with no server that says so.
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
  launchBrowser, nativeReplay, openGame, scoreOnPicture, site, source, waitForUpdates, withServedPage,
} from './support.mjs';

const databaseControl = path.join(source, 'scripts/board-db.sh');
const processes = [];
let cluster, browser, boardBase;

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
  const databaseUrl = started.stdout.trim();
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
    assert.equal(await page.evaluate(() => localStorage.getItem('vexlo-race:name')), Name);
  });

  await t.test('the hall of fame marks the run, its name as text', async () => {
    const own = page.locator('#hall-rows tr.own');
    assert.equal(await own.count(), 1);
    assert.deepEqual(await own.locator('td').allTextContents(), [String(run.rank), Name, String(run.score), 'Watch']);
    assert.equal(await own.locator('td.name').evaluate((cell) => cell.childElementCount), 0);
    if (process.env.VEXLO_WEB_SCREENSHOTS)
      await page.screenshot({ path: path.join(process.env.VEXLO_WEB_SCREENSHOTS, 'web-board.png') });
  });

  await t.test('Watch plays the run with the replay tool\'s frames, at the game\'s pace, then the hall again', async () => {
    await page.locator('#hall-rows tr.own button').click();
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
  // The refused name's answer aside.
  assert.deepEqual(page.errors.filter((e) => !e.includes('400 (Bad Request)')), []);
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
