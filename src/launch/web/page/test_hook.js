// What the browser tests (tests/web) and checks from outside read of the
// page; the page itself never reads any of it back.
//
//   window.vexlo        the games as they go:
//     updates           the game's updates so far
//     updatedAt         performance.now() of each (its frame shown or not)
//     firstFrameAt      when the first frame reached the screen
//     recorded          {frames, keys} of a #record game, once it ends
//     lastGame          {status, gameOver, score, keys} of the last game played
//     sound             the page's sound output (sound.js)
//     framePixels()     the frame last shown, at the game's size, as RGBA bytes
//     waitsForKey()     the game waits for a key to start or to end its
//                       game-over screen
//   window.vexloReplay  the replay hook's result (index.html#keys=, link.js):
//                       {frames, sound, exit}, the lines of the replay tool's
//                       frames.txt and sound.txt and its exit status; then
//                       document.title becomes "exit S"

function lines(text) { return text === '' ? [] : text.replace(/\n$/, '').split('\n'); }

export class TestHook {
  // framePixels() and waitsForKey() as above.
  constructor(sound, framePixels, waitsForKey) {
    this.seen = {
      sound, updates: 0, updatedAt: [], firstFrameAt: null, recorded: null, lastGame: null, framePixels, waitsForKey,
    };
    window.vexlo = this.seen;
  }

  // A game starts: the player's (which forgets the last game's end too) or
  // a watched one.
  gameStarts(forgetLastGame) {
    Object.assign(this.seen, { updates: 0, updatedAt: [], recorded: null });
    if (forgetLastGame) this.seen.lastGame = null;
  }

  firstFrameShown() { this.seen.firstFrameAt = performance.now(); }

  updated(update) {
    this.seen.updates = update;
    this.seen.updatedAt.push(performance.now());
  }

  recordDone(frames, keys) { this.seen.recorded = { frames: lines(frames), keys: lines(keys) }; }

  gameEnded(game) { this.seen.lastGame = game; }

  replayDone(frames, sound, status) {
    window.vexloReplay = { frames: lines(frames), sound: lines(sound), exit: status };
    document.title = `exit ${status}`;
  }
}
