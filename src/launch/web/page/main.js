// The page around the game, put together and started: it loads the module
// and the game's data/, shows the frames, passes keys and taps on, says how
// each game ended and offers the next. The runs and what is offered
// between them are runs.js; the module's side of the page is
// module_bridge.js; what the tests read, test_hook.js; what the address
// asks for, link.js; the layout, layout.js.
import { SoundOut } from './sound.js';
import { readAddress } from './link.js';
import { Picture } from './picture.js';
import { arrange } from './layout.js';
import { Controls } from './controls.js';
import { Panel } from './panel.js';
import { Board } from './board.js';
import { Hall } from './hall.js';
import { Submission } from './submit.js';
import { ModuleBridge } from './module_bridge.js';
import { TestHook } from './test_hook.js';
import { Runs } from './runs.js';

const byId = (id) => document.getElementById(id);
const app = byId('app');
const stage = byId('stage');
const screen = byId('screen');
const help = byId('help');
const address = readAddress(location.hash);
const keyHelp = help.innerHTML;
const TapHelp = 'Tap the picture to start · ▲ ▼ steer · ◀ ▶ slower / faster · ❚❚ pauses · Esc ends';

const sound = new SoundOut();
const picture = new Picture(screen);
const panel = new Panel();
const hook = new TestHook(sound, () => picture.pixels(), () => bridge.waitsForKey());
const bridge = new ModuleBridge({ sound, picture, panel, hook, screen });
picture.onFirstDraw = () => hook.firstFrameShown();

// --- the layout -----------------------------------------------------------------

function relayout() {
  arrange(app, controls.touch);
  if (bridge.loaded) {
    const box = stage.getBoundingClientRect();
    picture.fit(bridge.place(box.width, box.height));
  }
}

// The keys, or on a touch screen the buttons, in a line under the picture.
function showKeyHelp() {
  if (controls.touch) help.textContent = TapHelp;
  else help.innerHTML = keyHelp;
}

function toggleFullscreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else app.requestFullscreen?.().catch(() => {});
}

// --- the parts --------------------------------------------------------------------

// A key or a tap lets the sound start.
function sendKey(...key) {
  sound.unlock();
  bridge.sendKey(...key);
}

const controls = new Controls(app, {
  takesKeys: () => runs.takesKeys(),
  sendKey,
  // Between games any key takes up the offer, but not one meant for a
  // field or a button the player is on.
  idleKey(event) {
    const on = event.target;
    if (on instanceof HTMLInputElement || on instanceof HTMLTextAreaElement) return;
    if (on instanceof HTMLButtonElement && (event.key === 'Enter' || event.key === ' ' || event.key === 'Tab')) return;
    if (event.key === 'Tab' || !panel.offered) return;
    event.preventDefault();
    runs.takeOffer();
  },
  tapPicture: () => runs.tapPicture(),
  focusLost: () => bridge.focusLost(),
  toggleFullscreen,
  unlockSound: () => sound.unlock(),
  touchShown() {
    if (address.replay === null) showKeyHelp();
    relayout();
  },
});
panel.changed = () => { if (bridge.loaded) relayout(); };

const board = new Board(address.board);
const hall = new Hall(board, (shown) => runs.watch(shown));
const submission = new Submission(board, hall);
const runs = new Runs({
  app, bridge, hook, panel, controls, board, hall, submission, address, sendKey,
  sayHelp: (text) => { help.textContent = text; },
  showKeyHelp,
  relayout,
});

byId('fullscreen').addEventListener('click', toggleFullscreen);
byId('again').addEventListener('click', () => runs.takeOffer());
new ResizeObserver(relayout).observe(app);
relayout();
runs.start();
