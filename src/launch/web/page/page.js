// The page around the game: it loads the module and the game's data/,
// shows the frames, passes keys and taps on, shows messages and offers a
// new game when one ends. It is the module's `page` (src/display/web).
// The picture's size and scaling are the module's (vexlo_web_place).
//
//   index.html              the game, with the keyboard (and touch buttons)
//   index.html#keys=SCRIPT  the replay hook: one unpaced game with the keys
//                           of SCRIPT (URL-encoded, the replay tool's format);
//                           at the end window.vexloReplay = {frames, sound,
//                           exit} and then document.title = "exit S"
//   index.html#record       the game, keeping each frame's line and each key
//                           as a key script (window.vexlo.recorded), for tests
import { SoundOut } from './sound.js';

const byId = (id) => document.getElementById(id);
const stage = byId('stage');
const screen = byId('screen');
const screenContext = screen.getContext('2d', { alpha: false });
// Each update lands here first, at the game's own size (known once the
// first frame comes).
const frame = document.createElement('canvas');
const frameContext = frame.getContext('2d', { alpha: false });
let frameImage = null;

const hash = location.hash;
// The key script of the replay hook; null without one, undefined when the
// address holds one that is not valid URL encoding.
let replayScript = null;
if (hash.startsWith('#keys=')) {
  try {
    replayScript = decodeURIComponent(hash.slice('#keys='.length).replace(/\+/g, ' '));
  } catch (e) {
    replayScript = undefined;
  }
}
const recording = hash === '#record';

const FullscreenKey = 122;  // F11
const EnterKey = 13;
const AltKey = 18;
const RepeatDelayMs = 400, RepeatEveryMs = 50;  // held touch arrows, like held keys

const sound = new SoundOut();
const stderrLines = [];
let module = null;
let running = false;       // a display is open and takes keys
let keyWaiters = [];
let drawPending = false;
let presented = false;     // a frame has come

// What the module and the tests see.
const page = {
  sound,
  updates: 0,              // the player's game's updates so far
  updatedAt: [],           // performance.now() of each (its frame shown or not)
  firstFrameAt: null,      // when the first frame reached the screen
  recorded: null,          // {frames, keys} of a #record game, once it ends

  present(rgba, width, height) {
    if (!frameImage || frameImage.width !== width || frameImage.height !== height) {
      frame.width = width;
      frame.height = height;
      frameImage = frameContext.createImageData(width, height);
    }
    frameImage.data.set(rgba);
    frameContext.putImageData(frameImage, 0, 0);
    presented = true;
    requestDraw();
  },
  updated(update) {
    this.updates = update;
    this.updatedAt.push(performance.now());
  },
  // Resolves when a key comes, or after ms milliseconds.
  keyArrival(ms) {
    return new Promise((resolve) => {
      keyWaiters.push(resolve);
      setTimeout(resolve, ms);
    });
  },
  message(caption, text) { return showBox(caption, text); },
  report(text) { showNote(`The game stopped: ${text}`); },
  open(title) { running = true; hideOffer(); screen.setAttribute('aria-label', title); },
  close() { running = false; },
  replayDone(frames, soundLines, status) {
    window.vexloReplay = { frames: lines(frames), sound: lines(soundLines), exit: status };
    document.title = `exit ${status}`;
  },
  recordDone(frames, keys) { this.recorded = { frames: lines(frames), keys: lines(keys) }; },
  // The frame last shown, at the game's own size, as RGBA bytes.
  framePixels() { return frameContext.getImageData(0, 0, frame.width, frame.height).data; },
};
window.vexlo = page;

function lines(text) { return text === '' ? [] : text.replace(/\n$/, '').split('\n'); }

// --- the picture ------------------------------------------------------------

// The largest 4:3 box the stage holds, and the canvas behind it: the frame
// scaled up by whole factors with hard edges to just at least that size,
// which the browser shrinks the rest of the way smoothly (crisp pixels,
// even rows). The numbers are the module's, as the desktop window's.
function fit() {
  if (!module) return;
  const area = stage.getBoundingClientRect();
  const at = module._vexlo_web_place(Math.floor(area.width), Math.floor(area.height), window.devicePixelRatio || 1);
  const [, , width, height, canvasWidth, canvasHeight] = module.HEAP32.subarray(at >> 2, (at >> 2) + 6);
  screen.style.width = `${width}px`;
  screen.style.height = `${height}px`;
  screen.width = canvasWidth;
  screen.height = canvasHeight;
  draw();
}

function draw() {
  drawPending = false;
  if (!frameImage) return;
  screenContext.imageSmoothingEnabled = false;
  screenContext.drawImage(frame, 0, 0, screen.width, screen.height);
  if (page.firstFrameAt === null && presented) page.firstFrameAt = performance.now();
}

function requestDraw() {
  if (drawPending) return;
  drawPending = true;
  requestAnimationFrame(draw);
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else stage.requestFullscreen?.().catch(() => {});
}

// --- keys and taps ------------------------------------------------------------

function sendKey(code, shift = false, alt = false, control = false, repeat = false) {
  sound.unlock();
  if (!running || !module) return;
  module._vexlo_web_key(code, shift, alt, control, repeat);
  const waiting = keyWaiters;
  keyWaiters = [];
  for (const resolve of waiting) resolve();
}

// As on the desktop, F11 and Alt+Enter switch full screen and never reach
// the game, and so the press of Alt is held back until it is clear that
// Enter does not follow.
let heldAlt = null;

function sendHeldAlt() {
  if (heldAlt) sendKey(...heldAlt);
  heldAlt = null;
}

window.addEventListener('keydown', (event) => {
  sound.unlock();
  if (byId('box').open) return;  // the message box has the keys
  const code = event.keyCode;
  if (code === FullscreenKey || (event.altKey && code === EnterKey)) {
    event.preventDefault();
    heldAlt = null;
    toggleFullscreen();
    return;
  }
  if (!running || replayScript !== null || code === 0 || code === 229) return;
  // The browser keeps its shortcuts; everything else is the game's alone.
  if (!event.ctrlKey && !event.metaKey) event.preventDefault();
  if (code === AltKey && !event.repeat) {
    heldAlt = [code, event.shiftKey, true, event.ctrlKey];
    return;
  }
  sendHeldAlt();
  sendKey(code, event.shiftKey, event.altKey, event.ctrlKey, event.repeat);
});

window.addEventListener('keyup', (event) => { if (event.keyCode === AltKey) sendHeldAlt(); });
window.addEventListener('blur', () => { heldAlt = null; });

window.addEventListener('pointerdown', () => sound.unlock(), true);

// On-screen buttons for touch screens: arrows (which repeat while held), a
// start button and Escape.
function setUpTouch() {
  const pad = byId('touch');
  const show = () => {
    pad.hidden = false;
    byId('help').textContent = 'Start starts · ▲ ▼ steer · ◀ ▶ slower / faster · Esc ends';
  };
  if (window.matchMedia('(pointer: coarse)').matches) show();
  window.addEventListener('touchstart', show, { once: true, passive: true });
  for (const button of pad.querySelectorAll('button[data-key]')) {
    const code = Number(button.dataset.key);
    const repeats = button.dataset.repeat !== undefined;
    let timer = null;
    const release = () => { clearTimeout(timer); timer = null; };
    button.addEventListener('pointerdown', (event) => {
      event.preventDefault();
      release();
      sendKey(code);
      if (!repeats) return;
      const again = (delay) => { timer = setTimeout(() => { sendKey(code); again(RepeatEveryMs); }, delay); };
      again(RepeatDelayMs);
    });
    for (const end of ['pointerup', 'pointercancel', 'pointerleave']) button.addEventListener(end, release);
  }
}

// --- messages -----------------------------------------------------------------

// The sound player's "ERROR!" boxes: modal, the game waits for OK.
function showBox(caption, text) {
  const box = byId('box');
  byId('box-caption').textContent = caption;
  byId('box-text').textContent = text;
  return new Promise((resolve) => {
    box.addEventListener('close', () => resolve(), { once: true });
    box.showModal();
  });
}

function showNote(text) {
  const note = byId('note');
  note.textContent = note.hidden ? text : `${note.textContent}\n${text}`;
  note.hidden = false;
}

function hideOffer() {
  byId('offer').hidden = true;
  byId('note').hidden = true;
  byId('note').textContent = '';
}

// A problem that leaves nothing to play: the note alone, without the button.
function showProblem(text) {
  showNote(text);
  byId('again').hidden = true;
  byId('offer').hidden = false;
}

function offerNewGame(status) {
  // The game's own report, if it made one, says it already.
  if (status !== 0 && byId('note').hidden) showNote(`The game stopped:\n${stderrLines.join('\n')}`);
  byId('offer').hidden = false;
  byId('again').focus();
}

// --- runs -----------------------------------------------------------------------

async function playOnce() {
  hideOffer();
  stderrLines.length = 0;
  page.updates = 0;
  page.updatedAt = [];
  page.recorded = null;
  const status = await module.ccall('vexlo_play', 'number', ['number'], [recording ? 1 : 0], { async: true });
  running = false;
  offerNewGame(status);
}

async function replay() {
  byId('help').textContent = 'Replaying a key script, as fast as the page can.';
  await module.ccall('vexlo_replay', 'number', ['string'], [replayScript], { async: true });
}

// The game's files, fetched into the module's file system under data/. A
// file that cannot be fetched is left out: the game then says which.
async function fetchData() {
  const names = JSON.parse(byId('data-files').textContent);
  return Promise.all(names.map(async (name) => {
    try {
      const response = await fetch(`data/${name}`);
      return response.ok ? [name, new Uint8Array(await response.arrayBuffer())] : [name, null];
    } catch (e) {
      return [name, null];
    }
  }));
}

async function start() {
  setUpTouch();
  byId('fullscreen').addEventListener('click', toggleFullscreen);
  byId('again').addEventListener('click', () => playOnce());
  if (replayScript === undefined) {
    // The replay tool refuses a script it cannot read with status 2.
    showProblem('The key script in the address is not valid URL encoding.');
    page.replayDone('', '', 2);
    return;
  }
  try {
    const [loaded, files] = await Promise.all([
      createVexlo({
        page,
        sound,
        print: (text) => console.log(text),
        printErr: (text) => { stderrLines.push(text); console.warn(text); },
      }),
      fetchData(),
    ]);
    module = loaded;
    fit();
    new ResizeObserver(fit).observe(stage);
    module.FS.mkdir('/data');
    for (const [name, bytes] of files) if (bytes) module.FS.writeFile(`/data/${name}`, bytes);
  } catch (error) {
    showProblem(`The game could not be loaded: ${error.message || error}`);
    return;
  }
  if (replayScript !== null) await replay();
  else await playOnce();
}

start();
