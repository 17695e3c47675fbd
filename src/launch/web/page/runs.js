// What the page is doing, one run at a time, and what it offers between
// runs. The states:
//
//   loading    until the module and data/ are in
//   playing    the player's game, of the race chosen (classic or daily)
//   watching   a run of the hall of fame, of a link (#run=N) or of "My
//              games", at the speed chosen, whose it is beside the picture
//   replaying  the game of a replay link, as fast as it goes
//   idle       between runs: the panel says how the last one ended and
//              offers the next (its button, any fresh key, a tap)
import { badLinkText, keysLink, runLink, shareLink } from './link.js';
import { keepOffline } from './offline.js';
import { dailyRace, raceOfKeys, raceWords } from './race.js';
import { shownName } from './hall.js';

const WatchHelp = 'Watching · 1 2 4 8 speed · S skips to the crash · P pauses · Esc stops';

export class Runs {
  // parts: {app, bridge, hook, panel, controls, board, hall, submission,
  // races (race.js), watching (watching.js), myGames (my_games.js),
  // address (link.js), sendKey(code) (a key as if pressed), sayHelp(text)
  // and showKeyHelp() (the line under the picture), relayout()}
  constructor(parts) {
    Object.assign(this, parts);
    this.state = 'loading';
    this.run = null;     // the run under way (a promise)
    this.offer = null;   // what the offer's button does
    this.race = parts.address.daily ? dailyRace() : 'classic';
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
    if (now === 'watching') this.app.dataset.watching = '';
    else delete this.app.dataset.watching;
    // A game on its title, where the race may still be picked.
    if (now === 'playing') this.app.dataset.title = '';
    else delete this.app.dataset.title;
  }

  // The first run: what the address asks for, once the module is in.
  async start() {
    const { address, bridge, panel } = this;
    this.races.show(this.race);
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
      this.myGames.show();
      const found = this.findBoard();
      if (address.run !== null) {
        await found;
        this.setState('idle');
        await this.watchLinked(address.run);
      } else {
        await this.playOnce();
      }
    }
  }

  // The race of the next game; a game on its title gives way at once.
  async pickRace(race) {
    if (this.state === 'replaying' || this.state === 'loading') return;
    if ((this.state === 'playing' || this.state === 'watching') && this.bridge.running && !this.bridge.waitsForKey()) {
      this.panel.say(`End the ${this.state === 'playing' ? 'game' : 'run watched'} first (Esc), then pick a race.`);
      return;
    }
    this.race = race;
    this.races.show(race);
    if (this.state === 'playing' || this.state === 'watching') {
      this.bridge.close();
      await this.run;
    }
    this.playOnce();
  }

  playOnce() {
    if (this.state === 'playing' || this.state === 'watching') return this.run;
    this.run = (async () => {
      const race = this.race;
      this.setState('playing');
      this.panel.clear();
      this.submission.hide();
      this.watching.end();
      this.hook.gameStarts(true);
      const status = await this.bridge.play(this.address.record, race);
      this.setState('idle');
      this.controls.keysHeldAreStale();
      const game = this.bridge.lastGame;
      this.sayHowItEnded(status, race);
      // Kept once the end is said: the id comes when the browser's storage
      // answers, before any verdict on a submission can.
      this.mineSubmitted = undefined;
      if (game && game.keys.replace(/^race .*\n/, '').trim() !== '')
        this.mineSubmitted = this.myGames.keep({ race, score: game.score, gameOver: game.gameOver, keys: game.keys });
      await this.mineSubmitted;
    })();
    return this.run;
  }

  sayHowItEnded(status, race) {
    const { panel } = this;
    // The game's own report, if it made one, says it already.
    if (status !== 0 && !panel.hasNote()) panel.addNote(`The game stopped:\n${this.bridge.errorLines.join('\n')}`);
    const again = this.controls.touch ? 'Tap to play again.' : 'Any key plays again.';
    const game = this.bridge.lastGame;
    const of = race === 'classic' ? '' : ` in ${raceWords(race)}`;
    if (game?.gameOver) {
      panel.say(`Game over. Your final score${of}: ${game.score}.\n${again}`);
      this.submission.offer(game.keys);
    } else if (status === 0) {
      panel.say(`You ended the game.\n${again}`);
    }
    this.offer = () => this.playOnce();
    panel.showOffer('Play again');
  }

  // Whether a run may be watched now: a game waiting on its title or
  // game-over screen gives way, one in play does not. say(text) tells why not.
  mayWatch(say) {
    if (this.state === 'replaying' || this.state === 'loading') return false;
    if (this.state === 'playing' && this.bridge.running && !this.bridge.waitsForKey()) {
      say('End your game first (Esc), then watch.');
      return false;
    }
    return true;
  }

  // A run of the hall of fame, watched as the desktop's --watch watches it.
  async watch(shown) {
    if (!this.mayWatch((text) => this.hall.say(text))) return;
    let keys;
    try {
      keys = await this.board.keys(shown.id);
    } catch (error) {
      this.hall.say(`That run cannot be fetched: ${error.message}.`);
      return;
    }
    const race = shown.race ?? raceOfKeys(keys);
    const who = `The run of ${shownName(shown.name)}: rank ${shown.rank}, score ${shown.score}, ${raceWords(race)}.`;
    await this.watchKeys(keys, who, `That was the run of ${shownName(shown.name)}, rank ${shown.rank}, score ${shown.score}.`);
  }

  // The run of a link (#run=N): said in words when the board does not
  // show it, with the game offered instead.
  async watchLinked(id) {
    const unknown = `Run ${Number.isNaN(id) ? 'in this link' : id} is not on the board`;
    let run = null;
    if (Number.isNaN(id)) {
      run = null;
    } else if (!this.board.available) {
      this.offerNormalGame(`${unknown}: the score server ${this.board.where === 'here' ? 'here' : `at ${this.board.where}`} does not answer.`);
      return;
    } else {
      try {
        run = await this.board.run(id);
      } catch (error) {
        run = null;
      }
    }
    if (!run || run.status !== 'verified') {
      const why = run && run.status !== 'verified' ? 'it has not been verified' : 'no such run is shown: it is unknown, or hidden by the moderators';
      this.offerNormalGame(`${unknown}: ${why}.`);
      return;
    }
    await this.watch({ id, ...run });
  }

  // One of "My games", watched.
  async watchMine(game) {
    if (!this.mayWatch((text) => this.panel.say(text))) return;
    const over = game.gameOver ? `score ${game.score}` : `ended at ${game.score}`;
    await this.watchKeys(game.keys, `Your game: ${over}, ${raceWords(game.race)}.`, `That was your game of ${raceWords(game.race)}, ${over}.`);
  }

  async watchKeys(keys, who, after) {
    const { bridge, panel } = this;
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
      this.watching.begin(who);
      await bridge.watch(keys, this.address.record, this.watching.speed);
      this.hook.watchEnded();
      this.watching.end();
      this.setState('idle');
      this.controls.keysHeldAreStale();
      this.showKeyHelp();
      panel.say(after);
      this.offer = () => this.playOnce();
      panel.showOffer('Play');
    })();
    await this.run;
  }

  // A link to a run, shared or copied.
  async shareRun(run) {
    const said = await shareLink(runLink(run.id, this.board), `Vexlo Race: ${shownName(run.name)}, score ${run.score}`);
    if (said) this.hall.say(said);
  }

  // A game of "My games" shared as a link that holds its keys.
  async shareMine(game) {
    const said = await shareLink(keysLink(game.keys), `Vexlo Race: a game of ${raceWords(game.race)}, score ${game.score}`);
    if (said) this.myGames.note.textContent = said;
  }

  // A game of "My games" offered for submission.
  submitMine(game) {
    if (this.state === 'playing' && this.bridge.running && !this.bridge.waitsForKey()) {
      this.panel.say('End your game first (Esc), then submit.');
      return;
    }
    this.mineSubmitted = game.id;
    this.submission.offer(game.keys);
    document.getElementById('name').focus();
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

  // After a link, good or bad: the game itself, as without the link.
  offerNormalGame(text) {
    const how = this.controls.touch ? 'Tap Play to play the game yourself.' : 'Press Play (or any key) to play the game yourself.';
    this.panel.say(`${text}\n${how}`);
    this.offer = () => {
      history.replaceState(null, '', location.pathname + location.search);
      this.address.replay = null;
      this.address.run = null;
      document.title = this.normalTitle;
      this.showKeyHelp();
      keepOffline();
      if (!this.board.available) this.findBoard();
      this.myGames.show();
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
