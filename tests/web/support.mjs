// What the browser tests share: Debian's Chromium, headless, the page
// served from its built folder, and the native replay tool to hold the
// page's games against.
//
//   VEXLO_WEB_SITE  the built page (scripts/web.sh --build-only)
//   VEXLO_REPLAY    the native replay tool
//   VEXLO_SOURCE    the repository (data/ and tests/replay/)
import { after, before } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { serve } from '../../scripts/serve-web.mjs';

export const site = process.env.VEXLO_WEB_SITE;
export const replayTool = process.env.VEXLO_REPLAY;
export const source = process.env.VEXLO_SOURCE;

// Serves folder on a loopback port (0: any free one); {server, base} with
// base the address of its index.html. close() also ends open connections.
export async function servePage(folder = site, port = 0) {
  assert.ok(fs.existsSync(path.join(folder, 'index.html')), `no page in ${folder}: run scripts/web.sh --build-only`);
  const server = await serve(folder, port);
  return {
    server,
    base: `http://127.0.0.1:${server.address().port}/index.html`,
    close() {
      server.close();
      server.closeAllConnections();
    },
  };
}

// fn(served) with folder served; the server is closed however fn ends, so
// that a failed test leaves nothing that keeps node from ending.
export async function withServedPage(fn, folder = site, port = 0) {
  const served = await servePage(folder, port);
  try {
    return await fn(served);
  } finally {
    served.close();
  }
}

// For a file of tests: the built page served and a browser, from before
// its first test to after its last ({served, browser} once started).
export function pageAndBrowser() {
  const shared = {};
  before(async () => {
    shared.served = await servePage();
    shared.browser = await launchBrowser();
  });
  after(async () => {
    try {
      await shared.browser?.close();
    } finally {
      shared.served?.close();
    }
  });
  return shared;
}

// Flags that keep Chromium off the network it has no business with.
export function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.VEXLO_CHROMIUM ?? '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
}

export function lines(text) { return text === '' ? [] : text.replace(/\n$/, '').split('\n'); }

// The native replay tool's frames, sound calls and status for a key script;
// with dump, also the frame of that update, as RGBA bytes.
export function nativeReplay(script, dump = null) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vexlo-web-'));
  try {
    fs.writeFileSync(path.join(dir, 'keys'), script);
    const run = spawnSync(replayTool, ['--keys', path.join(dir, 'keys'), '--out', dir, ...(dump ? ['--dump', dump] : [])],
      { cwd: source, encoding: 'utf8' });
    assert.match(run.stdout, /exit \d+\n$/, run.stderr);
    const result = {
      frames: lines(fs.readFileSync(path.join(dir, 'frames.txt'), 'utf8')),
      sound: lines(fs.readFileSync(path.join(dir, 'sound.txt'), 'utf8')),
      exit: Number(run.stdout.trim().split(/\s/).pop()),
    };
    if (dump) {
      // The game's 0x00RRGGBB pixels, in the machine's (little-endian) order.
      const raw = fs.readFileSync(path.join(dir, `frame-${dump}.raw`));
      result.frame = Array.from({ length: raw.length }, (_, i) => (i % 4 === 3 ? 255 : raw[i - (i % 4) + 2 - (i % 4)]));
    }
    return result;
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
}

// The six digits a game-over screen shows (each 8 x 16, the units at
// column 203, row 128), read off its RGBA bytes with the digits' own files.
const digitPictures = [...Array(10).keys()].map((d) => [...fs.readFileSync(path.join(source, `data/${d}.raw`))]);
export function scoreOnPicture(rgba) {
  let score = 0;
  for (let k = 5; k >= 0; k--) {
    const digit = digitPictures.findIndex((sprite) => {
      for (let i = 0; i < 128; i++) {
        const [r, g, b] = sprite.slice(3 * i, 3 * i + 3);
        if (r === 255 && g === 0 && b === 255) continue;  // transparent
        const at = 4 * ((128 + Math.floor(i / 8)) * 320 + 203 - 8 * k + (i % 8));
        if (rgba[at] !== r || rgba[at + 1] !== g || rgba[at + 2] !== b) return false;
      }
      return true;
    });
    assert.ok(digit >= 0, `no digit at place ${k}`);
    score = score * 10 + digit;
  }
  return score;
}

// A page of the game in a context of its own (options as browser.newPage's),
// with every console error and uncaught exception kept; but a static host
// answering the page's look for a score server with 404 is no error.
export async function openGame(browser, address, options = { viewport: { width: 1024, height: 800 } }) {
  const page = await browser.newPage(options);
  page.errors = [];
  page.on('console', (m) => {
    if (m.type() === 'error' && !(m.location().url.endsWith('/api/health') && m.text().includes('404')))
      page.errors.push(m.text());
  });
  page.on('pageerror', (e) => page.errors.push(String(e)));
  await page.goto(address);
  return page;
}

export const updates = (page) => page.evaluate(() => window.vexlo.updates);
export const waitForUpdates = (page, n, timeout = 30000) =>
  page.waitForFunction((count) => window.vexlo.updates >= count, n, { timeout });

// 64-bit FNV-1a of RGBA bytes taken as the game's 0x00RRGGBB pixels, as
// the replay tool names frames.
export function frameHash(rgba) {
  let hash = 0xcbf29ce484222325n;
  for (let i = 0; i < rgba.length; i += 4)
    for (const byte of [rgba[i + 2], rgba[i + 1], rgba[i], 0]) {
      hash ^= BigInt(byte);
      hash = (hash * 0x100000001b3n) & 0xffffffffffffffffn;
    }
  return hash.toString(16).padStart(16, '0');
}
