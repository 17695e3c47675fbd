// What the page is doing, one run at a time, and what it offers between
// runs. The states:
//
//   loading    until the module and data/ are in
//   playing    the player's game
//   watching   a run of the hall of fame, at the game's pace
//   replaying  the game of a replay link, as fast as it goes
//   idle       between runs: the panel says how the last one ended and
//              offers the next (its button, any fresh key, a tap)
import { badLinkText } from './link.js';
import { keepOffline } from './offline.js';

const WatchHelp = 'Watching a game from the hall of fame · P pauses · Esc stops';

export class Runs {
  // parts: {app, bridge, hook, panel, controls, board, hall, submission,
  // address (link.js), sendKey(code) (a key as if pressed), sayHelp(text)
  // and showKeyHelp() (the line under the picture), relayout()}
  constructor(parts) {
    Object.assign(this, parts);
    this.state = 'loading';
    this.run = null;     // the run under way (a promise)
    this.offer = null;   // what the offer's button does
    this.normalTitle = document.title;
  }

  // The player's keys go to the game, not to the page.
  takesKeys() {
    return this.state !== 'idle' && this.state !== 'loading' && this.bridge.running && this.address.replay === null;
  }

  takeOffer() {
    if (this.offer) this.offer();
  }

  // A tap on the picture: the offer between runs, or the key a game waits for.
  tapPicture() {
    if (this.state === 'idle' && this.panel.offered) this.takeOffer();
    else if (this.bridge.waitsForKey()) this.sendKey(13);
  }

  setState(now) {
    this.state = now;
    if (now === 'playing' || now === 'watching') this.app.dataset.playing = '';
    else delete this.app.dataset.playing;
  }

  // The first run: what the address asks for, once the module is in.
  async start() {
    const { address, bridge, panel } = this;
    // The replay tool refuses a script it cannot read with status 2, at once.
    if (address.replay === undefined) this.hook.replayDone('', '', 2);
    try {
      await bridge.load(JSON.parse(document.getElementById('data-files').textContent));
    } catch (error) {
      panel.addNote(`The game could not be loaded: ${error.message || error}`);
      panel.showOffer(null);
      return;
    }
    this.relayout();
    if (address.replay === undefined) {
      this.setState('idle');
      this.offerNormalGame(badLinkText(undefined));
    } else if (address.replay !== null) {
      await this.replay();
    } else {
      keepOffline();
      this.findBoard();
      await this.playOnce();
    }
  }

  playOnce() {
    if (this.state === 'playing' || this.state === 'watching') return this.run;
    this.run = (async () => {
      this.setState('playing');
      this.panel.clear();
      this.submission.hide();
      this.hook.gameStarts(true);
      const status = await this.bridge.play(this.address.record);
      this.setState('idle');
      this.controls.keysHeldAreStale();
      this.sayHowItEnded(status);
    })();
    return this.run;
  }

  sayHowItEnded(status) {
    const { panel } = this;
    // The game's own report, if it made one, says it already.
    if (status !== 0 && !panel.hasNote()) panel.addNote(`The game stopped:\n${this.bridge.errorLines.join('\n')}`);
    const again = this.controls.touch ? 'Tap to play again.' : 'Any key plays again.';
    const game = this.bridge.lastGame;
    if (game?.gameOver) {
      panel.say(`Game over. Your final score: ${game.score}.\n${again}`);
      this.submission.offer(game.keys);
    } else if (status === 0) {
      panel.say(`You ended the game.\n${again}`);
    }
    this.offer = () => this.playOnce();
    panel.showOffer('Play again');
  }

  // A run of the hall of fame, watched at the game's pace; a game waiting on
  // its title or game-over screen gives way to it, one in play does not.
  async watch(shown) {
    const { bridge, panel } = this;
    if (this.state === 'replaying' || this.state === 'loading') return;
    if (this.state === 'playing' && bridge.running && !bridge.waitsForKey()) {
      this.hall.say('End your game first (Esc), then watch.');
      return;
    }
    let keys;
    try {
      keys = await this.board.keys(shown.id);
    } catch (error) {
      this.hall.say(`That run cannot be fetched: ${error.message}.`);
      return;
    }
    if (this.state === 'playing' || this.state === 'watching') {
      bridge.close();
      await this.run;
    }
    this.run = (async () => {
      this.setState('watching');
      panel.clear();
      this.submission.hide();
      this.sayHelp(WatchHelp);
      this.hook.gameStarts(false);
      await bridge.watch(keys, this.address.record);
      this.setState('idle');
      this.controls.keysHeldAreStale();
      this.showKeyHelp();
      panel.say(`That was the run of ${shown.name}, rank ${shown.rank}, score ${shown.score}.`);
      this.offer = () => this.playOnce();
      panel.showOffer('Play');
    })();
    await this.run;
  }

  async replay() {
    const { address } = this;
    this.setState('replaying');
    this.sayHelp('Replaying the recorded game in this link, as fast as the page can.');
    const status = await this.bridge.replay(address.replay);
    this.setState('idle');
    const bad = badLinkText(address.replay, status, this.bridge.errorLines.find((line) => line.startsWith('keys:')));
    // The game's own words for a script it cannot read are the link's, said above.
    if (bad) this.panel.clear();
    this.offerNormalGame(bad ?? 'That was the recorded game in this link, replayed as fast as the page can.');
  }

  // After a replay link, good or bad: the game itself, as without the link.
  offerNormalGame(text) {
    const how = this.controls.touch ? 'Tap Play to play the game yourself.' : 'Press Play (or any key) to play the game yourself.';
    this.panel.say(`${text}\n${how}`);
    this.offer = () => {
      history.replaceState(null, '', location.pathname + location.search);
      this.address.replay = null;
      document.title = this.normalTitle;
      this.showKeyHelp();
      keepOffline();
      this.findBoard();
      this.playOnce();
    };
    this.panel.showOffer(this.bridge.loaded ? 'Play' : null);
  }

  // The hall of fame, where a score server answers.
  async findBoard() {
    await this.board.find();
    await this.hall.start();
  }
}
