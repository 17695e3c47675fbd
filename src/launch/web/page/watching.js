// Beside the picture while a run is watched: whose run it is (name, score,
// rank, race), the speed (x1 x2 x4 x8, also the keys 1 2 4 8), a bar with
// the updates played out of the run's total, and "Skip to the crash". The
// buttons send the keys the game's window takes for them (the window's
// rules, src/window/watch_speed.h), so the keyboard and the buttons are
// one. The speed chosen is remembered for the next run watched.

const SpeedKey = 'vexlo-race:watch-speed';
const SkipKey = 83;  // S

const byId = (id) => document.getElementById(id);

export class Watching {
  // sendKey(code): a key to the game's window.
  constructor(sendKey) {
    this.section = byId('watching');
    this.who = byId('watch-who');
    this.bar = byId('watch-bar');
    this.count = byId('watch-count');
    this.skipButton = byId('watch-skip');
    this.speeds = [...byId('watch-speeds').querySelectorAll('button')];
    this.total = 0;
    for (const button of this.speeds)
      button.addEventListener('click', () => { button.blur(); sendKey(48 + Number(button.dataset.speed)); });
    this.skipButton.addEventListener('click', () => { this.skipButton.blur(); sendKey(SkipKey); });
  }

  // The speed to start at: the one chosen last.
  get speed() {
    try {
      const kept = Number(localStorage.getItem(SpeedKey));
      return [1, 2, 4, 8].includes(kept) ? kept : 1;
    } catch (e) {
      return 1;
    }
  }

  // A run begins: `who` says whose (null for a game of the player's own).
  begin(who) {
    this.who.textContent = who ?? '';
    this.who.hidden = !who;
    this.total = 0;
    this.updated(0);
    this.section.hidden = false;
  }

  end() { this.section.hidden = true; }

  // The window's word on the speed, the total and the skip.
  changed({ speed, total, skipping, canSkip }) {
    for (const button of this.speeds) button.setAttribute('aria-pressed', String(Number(button.dataset.speed) === speed));
    try {
      localStorage.setItem(SpeedKey, String(speed));
    } catch (e) {
      // Not remembered.
    }
    this.total = total;
    this.skipButton.disabled = !canSkip;
    this.skipButton.textContent = skipping ? 'Skipping to the crash…' : 'Skip to the crash';
  }

  updated(update) {
    if (this.section.hidden && update > 0) return;
    this.bar.max = Math.max(1, this.total);
    this.bar.value = Math.min(update, this.bar.max);
    this.count.textContent = this.total > 0 ? `${update} / ${this.total} updates` : `${update} updates`;
  }
}
