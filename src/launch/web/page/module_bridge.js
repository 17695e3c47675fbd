// The seam between the page and the game's module (vexlo.js and
// vexlo.wasm, built from src/launch/web/main.cpp and src/display/web/):
// the object the module calls as Module.page, every export of the module
// as the page calls it, and the loading of the module and of data/. The
// sound's half of the seam, Module.sound, is sound.js.
//
// A run (play, watch, replay) resolves with the game's exit status when the
// game ends; the module runs one at a time.

export class ModuleBridge {
  // sound: the page's SoundOut; picture: its Picture; panel: its Panel;
  // hook: its TestHook; screen: the picture's canvas.
  constructor({ sound, picture, panel, hook, screen }) {
    this.sound = sound;
    this.hook = hook;
    this.module = null;
    this.running = false;   // a display is open and takes keys
    this.lastGame = null;   // {status, gameOver, score, keys} of the last game played
    this.errorLines = [];   // what the game wrote to stderr in the player's last game
    this.keyWaiters = [];
    const bridge = this;
    // What the module calls (src/display/web/display_web.cpp,
    // src/launch/web/main.cpp).
    this.page = {
      present(rgba, width, height) { picture.present(rgba, width, height); },
      updated(update) { hook.updated(update); },
      // Resolves when a key comes, or after ms milliseconds.
      keyArrival(ms) {
        return new Promise((resolve) => {
          bridge.keyWaiters.push(resolve);
          setTimeout(resolve, ms);
        });
      },
      message(caption, text) { return panel.showBox(caption, text); },
      report(text) { panel.addNote(`The game stopped: ${text}`); },
      open(title) {
        bridge.running = true;
        screen.setAttribute('aria-label', title);
      },
      close() { bridge.running = false; },
      replayDone(frames, soundLines, status) { hook.replayDone(frames, soundLines, status); },
      recordDone(frames, keys) { hook.recordDone(frames, keys); },
      gameEnded(status, gameOver, score, keys) {
        bridge.lastGame = { status, gameOver, score, keys };
        hook.gameEnded(bridge.lastGame);
      },
    };
  }

  get loaded() { return this.module !== null; }

  // The module, and the game's files (dataNames) fetched into its file
  // system under data/. A file that cannot be fetched is left out: the game
  // then says which.
  async load(dataNames) {
    const [loaded, files] = await Promise.all([
      createVexlo({
        page: this.page,
        sound: this.sound,
        print: (text) => console.log(text),
        printErr: (text) => { this.errorLines.push(text); console.warn(text); },
      }),
      Promise.all(dataNames.map(fetchData)),
    ]);
    this.module = loaded;
    this.module.FS.mkdir('/data');
    for (const [name, bytes] of files) if (bytes) this.module.FS.writeFile(`/data/${name}`, bytes);
  }

  // --- the module's exports -------------------------------------------------------

  // The player's key, to the open display; whatever waits for a key goes on.
  sendKey(code, shift = false, alt = false, control = false, repeat = false) {
    if (!this.running || !this.module) return;
    this.module._vexlo_web_key(code, shift, alt, control, repeat);
    const waiting = this.keyWaiters;
    this.keyWaiters = [];
    for (const resolve of waiting) resolve();
  }

  // The page is hidden or has lost the keys: the game pauses.
  focusLost() { if (this.running && this.module) this.module._vexlo_web_focus_lost(); }

  // The game waits for a key to start or to end its game-over screen.
  waitsForKey() { return this.running && this.module !== null && this.module._vexlo_web_waits_for_key() === 1; }

  // Ends the game under way, as closing the window does.
  close() { this.module._vexlo_web_close(); }

  // Where the picture goes in an area of width x height CSS pixels, by the
  // desktop window's rules: {boxWidth, boxHeight, canvasWidth, canvasHeight}.
  place(width, height) {
    const at = this.module._vexlo_web_place(Math.floor(width), Math.floor(height), window.devicePixelRatio || 1);
    const [, , boxWidth, boxHeight, canvasWidth, canvasHeight] = this.module.HEAP32.subarray(at >> 2, (at >> 2) + 6);
    return { boxWidth, boxHeight, canvasWidth, canvasHeight };
  }

  // One game with the player's keys; recording, its frames and keys are
  // kept for the tests.
  async play(recording) {
    this.errorLines.length = 0;
    const status = await this.module.ccall('vexlo_play', 'number', ['number'], [recording ? 1 : 0], { async: true });
    this.running = false;
    return status;
  }

  // A run's key script played at the game's pace, as the desktop's --watch.
  async watch(keys, recording) {
    await this.module.ccall('vexlo_watch', 'number', ['string', 'number'], [keys, recording ? 1 : 0], { async: true });
    this.running = false;
  }

  // The replay hook: one game with the keys of script, as fast as it goes.
  replay(script) { return this.module.ccall('vexlo_replay', 'number', ['string'], [script], { async: true }); }
}

// A file of data/ as [name, its bytes], or [name, null] when it cannot be
// fetched.
async function fetchData(name) {
  try {
    const response = await fetch(`data/${name}`);
    return response.ok ? [name, new Uint8Array(await response.arrayBuffer())] : [name, null];
  } catch (e) {
    return [name, null];
  }
}
