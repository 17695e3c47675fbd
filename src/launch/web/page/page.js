// The page around the game: it loads the module and the game's data/,
// shows the frames, passes keys and taps on, says how each game ended and
// offers the next. It is the module's `page` (src/display/web). What the
// address asks for is in link.js, the layout in layout.js.
import { SoundOut } from './sound.js';
import { readAddress, badLinkText } from './link.js';
import { Picture } from './picture.js';
import { arrange } from './layout.js';
import { Controls } from './controls.js';
import { Panel } from './panel.js';
import { keepOffline } from './offline.js';
import { Board } from './board.js';
import { Hall } from './hall.js';
import { Submission } from './submit.js';

const byId = (id) => document.getElementById(id);
const app = byId('app');
const stage = byId('stage');
const address = readAddress(location.hash);
const normalTitle = document.title;
const keyHelp = byId('help').innerHTML;
const TapHelp = 'Tap the picture to start · ▲ ▼ steer · ◀ ▶ slower / faster · ❚❚ pauses · Esc ends';
const WatchHelp = 'Watching a game from the hall of fame · P pauses · Esc stops';

const sound = new SoundOut();
const picture = new Picture(byId('screen'));
const panel = new Panel();
const stderrLines = [];
let module = null;
let running = false;   // a display is open and takes keys
let state = 'loading'; // then 'playing', 'watching', 'replaying', or 'idle' between runs
let run = null;        // the run under way (a promise)
let keyWaiters = [];

// What the module and the tests see.
const page = {
  sound,
  updates: 0,              // the player's game's updates so far
  updatedAt: [],           // performance.now() of each (its frame shown or not)
  firstFrameAt: null,      // when the first frame reached the screen
  recorded: null,          // {frames, keys} of a #record game, once it ends
  lastGame: null,          // {status, gameOver, score, keys} of the last game played

  present(rgba, width, height) { picture.present(rgba, width, height); },
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
  message(caption, text) { return panel.showBox(caption, text); },
  report(text) { panel.addNote(`The game stopped: ${text}`); },
  open(title) {
    running = true;
    byId('screen').setAttribute('aria-label', title);
  },
  close() { running = false; },
  replayDone(frames, soundLines, status) {
    window.vexloReplay = { frames: lines(frames), sound: lines(soundLines), exit: status };
    document.title = `exit ${status}`;
  },
  recordDone(frames, keys) { this.recorded = { frames: lines(frames), keys: lines(keys) }; },
  gameEnded(status, gameOver, score, keys) { this.lastGame = { status, gameOver, score, keys }; },
  framePixels() { return picture.pixels(); },
  // The game waits for a key to start or to end its game-over screen.
  waitsForKey() { return running && module !== null && module._vexlo_web_waits_for_key() === 1; },
};
window.vexlo = page;
picture.onFirstDraw = () => { page.firstFrameAt = performance.now(); };

function lines(text) { return text === '' ? [] : text.replace(/\n$/, '').split('\n'); }

// --- the layout -----------------------------------------------------------------

function relayout() {
  arrange(app, controls.touch);
  if (module) {
    const box = stage.getBoundingClientRect();
    picture.fit(module, box.width, box.height);
  }
}

// The keys, or on a touch screen the buttons, in a line under the picture.
function showHelp() {
  if (controls.touch) byId('help').textContent = TapHelp;
  else byId('help').innerHTML = keyHelp;
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else app.requestFullscreen?.().catch(() => {});
}

// --- keys and taps ----------------------------------------------------------------

function sendKey(code, shift = false, alt = false, control = false, repeat = false) {
  sound.unlock();
  if (!running || !module) return;
  module._vexlo_web_key(code, shift, alt, control, repeat);
  const waiting = keyWaiters;
  keyWaiters = [];
  for (const resolve of waiting) resolve();
}

const controls = new Controls(app, {
  takesKeys: () => state !== 'idle' && state !== 'loading' && running && address.replay === null,
  sendKey,
  // Between games any key takes up the offer, but not one meant for a
  // field or a button the player is on.
  idleKey(event) {
    const on = event.target;
    if (on instanceof HTMLInputElement || on instanceof HTMLTextAreaElement) return;
    if (on instanceof HTMLButtonElement && (event.key === 'Enter' || event.key === ' ' || event.key === 'Tab')) return;
    if (event.key === 'Tab' || !panel.offered) return;
    event.preventDefault();
    takeOffer();
  },
  tapPicture() {
    if (state === 'idle' && panel.offered) takeOffer();
    else if (page.waitsForKey()) sendKey(13);
  },
  focusLost() { if (running && module) module._vexlo_web_focus_lost(); },
  toggleFullscreen,
  unlockSound: () => sound.unlock(),
  touchShown() {
    if (address.replay === null) showHelp();
    relayout();
  },
});
panel.changed = () => { if (module) relayout(); };

const board = new Board(address.board);
const hall = new Hall(board, watch);
const submission = new Submission(board, hall);

// --- runs -----------------------------------------------------------------------

let offer = null;  // what the offer's button does

function takeOffer() {
  if (offer) offer();
}

function setState(now) {
  state = now;
  if (now === 'playing' || now === 'watching') app.dataset.playing = '';
  else delete app.dataset.playing;
}

function playOnce() {
  if (state === 'playing' || state === 'watching') return run;
  run = (async () => {
    setState('playing');
    panel.clear();
    submission.hide();
    stderrLines.length = 0;
    Object.assign(page, { updates: 0, updatedAt: [], recorded: null, lastGame: null });
    const status = await module.ccall('vexlo_play', 'number', ['number'], [address.record ? 1 : 0], { async: true });
    running = false;
    setState('idle');
    controls.keysHeldAreStale();
    sayHowItEnded(status);
  })();
  return run;
}

function sayHowItEnded(status) {
  // The game's own report, if it made one, says it already.
  if (status !== 0 && !panel.hasNote()) panel.addNote(`The game stopped:\n${stderrLines.join('\n')}`);
  const again = controls.touch ? 'Tap to play again.' : 'Any key plays again.';
  const game = page.lastGame;
  if (game?.gameOver) {
    panel.say(`Game over. Your final score: ${game.score}.\n${again}`);
    submission.offer(game.keys);
  } else if (status === 0) {
    panel.say(`You ended the game.\n${again}`);
  }
  offer = playOnce;
  panel.showOffer('Play again');
}

// A run of the hall of fame, watched at the game's pace; a game waiting on
// its title or game-over screen gives way to it, one in play does not.
async function watch(shown) {
  if (state === 'replaying' || state === 'loading') return;
  if (state === 'playing' && running && !page.waitsForKey()) {
    hall.say('End your game first (Esc), then watch.');
    return;
  }
  let keys;
  try {
    keys = await board.keys(shown.id);
  } catch (error) {
    hall.say(`That run cannot be fetched: ${error.message}.`);
    return;
  }
  if (state === 'playing' || state === 'watching') {
    module._vexlo_web_close();
    await run;
  }
  run = (async () => {
    setState('watching');
    panel.clear();
    submission.hide();
    byId('help').textContent = WatchHelp;
    Object.assign(page, { updates: 0, updatedAt: [], recorded: null });
    await module.ccall('vexlo_watch', 'number', ['string', 'number'], [keys, address.record ? 1 : 0], { async: true });
    running = false;
    setState('idle');
    controls.keysHeldAreStale();
    showHelp();
    panel.say(`That was the run of ${shown.name}, rank ${shown.rank}, score ${shown.score}.`);
    offer = playOnce;
    panel.showOffer('Play');
  })();
  await run;
}

async function replay() {
  setState('replaying');
  byId('help').textContent = 'Replaying the recorded game in this link, as fast as the page can.';
  const status = await module.ccall('vexlo_replay', 'number', ['string'], [address.replay], { async: true });
  setState('idle');
  const bad = badLinkText(address.replay, status, stderrLines.find((line) => line.startsWith('keys:')));
  // The game's own words for a script it cannot read are the link's, said above.
  if (bad) panel.clear();
  offerNormalGame(bad ?? 'That was the recorded game in this link, replayed as fast as the page can.');
}

// After a replay link, good or bad: the game itself, as without the link.
function offerNormalGame(text) {
  const how = controls.touch ? 'Tap Play to play the game yourself.' : 'Press Play (or any key) to play the game yourself.';
  panel.say(`${text}\n${how}`);
  offer = () => {
    history.replaceState(null, '', location.pathname + location.search);
    address.replay = null;
    document.title = normalTitle;
    showHelp();
    keepOffline();
    findBoard();
    playOnce();
  };
  panel.showOffer(module ? 'Play' : null);
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

async function load() {
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
  relayout();
  module.FS.mkdir('/data');
  for (const [name, bytes] of files) if (bytes) module.FS.writeFile(`/data/${name}`, bytes);
}

async function start() {
  byId('fullscreen').addEventListener('click', toggleFullscreen);
  byId('again').addEventListener('click', takeOffer);
  new ResizeObserver(relayout).observe(app);
  relayout();
  // The replay tool refuses a script it cannot read with status 2, at once.
  if (address.replay === undefined) page.replayDone('', '', 2);
  try {
    await load();
  } catch (error) {
    panel.addNote(`The game could not be loaded: ${error.message || error}`);
    panel.showOffer(null);
    return;
  }
  if (address.replay === undefined) {
    setState('idle');
    offerNormalGame(badLinkText(undefined));
  } else if (address.replay !== null) {
    await replay();
  } else {
    keepOffline();
    findBoard();
    await playOnce();
  }
}

// The hall of fame, where a score server answers.
async function findBoard() {
  await board.find();
  await hall.start();
}

start();
