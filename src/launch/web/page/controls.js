// The player's keys and taps. While a game takes keys they go to it as the
// desktop's (F11 and Alt+Enter switch full screen instead, Alt held back
// until it is clear that Enter does not follow); while none does, any
// fresh key is the page's (hands.idleKey). The touch buttons stand for
// keys, a tap on the picture is a key where the game waits for one, and a
// page that is hidden or loses the keys tells the game, which pauses.
//
// hands: {takesKeys(), sendKey(code, shift, alt, control, repeat),
//   idleKey(event), tapPicture(), focusLost(), toggleFullscreen(),
//   unlockSound(), touchShown()}

const FullscreenKey = 122;  // F11
const EnterKey = 13;
const AltKey = 18;
const Modifiers = new Set([16, 17, 18, 91, 92, 93, 224]);
const RepeatDelayMs = 400, RepeatEveryMs = 50;  // held touch arrows, like held keys

export class Controls {
  constructor(app, hands) {
    this.app = app;
    this.hands = hands;
    this.heldAlt = null;
    this.down = new Set();   // keys held now
    this.stale = new Set();  // held since before the page took keys itself
    this.touch = false;
    window.addEventListener('keydown', (event) => this.keyDown(event));
    window.addEventListener('keyup', (event) => this.keyUp(event));
    window.addEventListener('blur', () => {
      this.heldAlt = null;
      this.down.clear();
      this.stale.clear();
      hands.focusLost();
    });
    document.addEventListener('visibilitychange', () => { if (document.hidden) hands.focusLost(); });
    window.addEventListener('pointerdown', () => hands.unlockSound(), true);
    app.querySelector('#stage').addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      event.preventDefault();
      hands.tapPicture();
    });
    this.setUpTouch();
  }

  // From now on until they are let go, the keys held do not count as
  // fresh: the key that ended a game cannot also start the next.
  keysHeldAreStale() { this.stale = new Set(this.down); }

  keyDown(event) {
    const { hands } = this;
    hands.unlockSound();
    if (this.app.querySelector('#box').open) return;  // the message box has the keys
    const code = event.keyCode;
    this.down.add(code);
    if (code === FullscreenKey || (event.altKey && code === EnterKey)) {
      event.preventDefault();
      this.heldAlt = null;
      hands.toggleFullscreen();
      return;
    }
    if (code === 0 || code === 229) return;
    if (!hands.takesKeys()) {
      if (!event.repeat && !this.stale.has(code) && !Modifiers.has(code) && !event.ctrlKey && !event.metaKey)
        hands.idleKey(event);
      return;
    }
    // The browser keeps its shortcuts; everything else is the game's alone.
    if (!event.ctrlKey && !event.metaKey) event.preventDefault();
    if (code === AltKey && !event.repeat) {
      this.heldAlt = [code, event.shiftKey, true, event.ctrlKey];
      return;
    }
    this.sendHeldAlt();
    hands.sendKey(code, event.shiftKey, event.altKey, event.ctrlKey, event.repeat);
  }

  keyUp(event) {
    this.down.delete(event.keyCode);
    this.stale.delete(event.keyCode);
    if (event.keyCode === AltKey) this.sendHeldAlt();
  }

  sendHeldAlt() {
    if (this.heldAlt && this.hands.takesKeys()) this.hands.sendKey(...this.heldAlt);
    this.heldAlt = null;
  }

  // On-screen buttons for touch screens: the arrows (which repeat while
  // held), Start, Escape, pause and full screen.
  setUpTouch() {
    const pad = this.app.querySelector('#touch');
    const show = () => {
      if (this.touch) return;
      this.touch = true;
      pad.hidden = false;
      this.hands.touchShown();
    };
    if (window.matchMedia('(pointer: coarse)').matches) queueMicrotask(show);
    window.addEventListener('touchstart', show, { once: true, passive: true });
    for (const button of pad.querySelectorAll('button')) {
      if (button.dataset.action === 'fullscreen') {
        button.addEventListener('click', () => this.hands.toggleFullscreen());
        continue;
      }
      const code = Number(button.dataset.key);
      const repeats = button.dataset.repeat !== undefined;
      let timer = null;
      const release = () => { clearTimeout(timer); timer = null; };
      button.addEventListener('pointerdown', (event) => {
        event.preventDefault();
        release();
        this.tapKey(code);
        if (!repeats) return;
        const again = (delay) => { timer = setTimeout(() => { this.tapKey(code); again(RepeatEveryMs); }, delay); };
        again(RepeatDelayMs);
      });
      for (const end of ['pointerup', 'pointercancel', 'pointerleave']) button.addEventListener(end, release);
    }
  }

  tapKey(code) {
    if (this.hands.takesKeys()) this.hands.sendKey(code);
    else if (code === EnterKey) this.hands.tapPicture();
  }
}
