// After a game that reached its game-over screen (or from "My games"):
// "Submit score" with a name (remembered in the browser), the game's keys
// posted to the score server with the player's key, then its check
// followed to the verdict: "verified: rank R of T", what verified means and
// a Share button, or the server's reason, with a link to the run a copy
// copies. Once a run under the name is verified, the name is the player's:
// the page says so.
import { hiddenText, keepOwnRun } from './hall.js';
import { claimed, isClaimed, KeyPanel, notClaimed, playerKey } from './player.js';
import { raceOfKeys } from './race.js';
import { runLink } from './link.js';

const NameKey = 'vexlo-race:name';
const NameTaken = 'this name belongs to another player';
const LongestName = 24;        // characters, as the server counts them
const LookEveryMs = 400;       // how often the check is looked at
const LongestCheckMs = 180000; // the server gives a game 120 s of processor time

const byId = (id) => document.getElementById(id);

export class Submission {
  // onShare(run) shares a verified run; onSubmitted(id) is told the run
  // the game offered last was submitted as.
  constructor(board, hall, onShare, onSubmitted) {
    this.board = board;
    this.hall = hall;
    this.onSubmitted = onSubmitted;
    this.means = byId('verified-means');
    this.share = byId('share-verified');
    this.shared = null;
    this.share.addEventListener('click', () => { if (this.shared) onShare(this.shared); });
    this.form = byId('submit');
    this.name = byId('name');
    this.send = byId('send');
    this.verdict = byId('verdict');
    this.nameNote = byId('name-note');
    this.keys = null;
    this.form.addEventListener('submit', (event) => {
      event.preventDefault();
      this.submit();
    });
    this.name.addEventListener('input', () => this.showClaim());
    this.keyPanel = new KeyPanel(() => this.showClaim());
  }

  // "This name is yours on this browser" under a name it has claimed.
  showClaim() { this.nameNote.hidden = !isClaimed(this.name.value); }

  // Offers to submit a game's keys.
  offer(keys) {
    if (!this.board.available) return;
    this.keys = keys;
    this.name.value = rememberedName();
    this.showClaim();
    this.send.disabled = false;
    this.tell('');
    this.form.hidden = false;
  }

  hide() {
    this.keys = null;
    this.form.hidden = true;
  }

  tell(text) {
    this.verdict.textContent = text;
    this.means.hidden = true;
    this.share.hidden = true;
  }

  async submit() {
    const name = this.name.value.trim();
    const length = [...name].length;
    if (length === 0 || length > LongestName) {
      this.tell(`A name has 1 to ${LongestName} characters.`);
      return;
    }
    remember(name);
    const keys = this.keys;
    this.send.disabled = true;
    this.tell('Sending your game…');
    try {
      const { id } = await this.board.submit(name, keys, playerKey());
      keepOwnRun(id);
      this.onSubmitted(id);
      this.tell('The server is checking your game by playing it again…');
      await this.follow(id, name);
    } catch (error) {
      if (error.message === NameTaken) notClaimed(name);
      this.showClaim();
      this.tellCopied('Not sent: ', error.message.replace(/\.$/, ''));
      if (this.keys === keys) this.send.disabled = false;
    }
  }

  // The reason, with "run N" a link to the run a copy copies (the same
  // game, or the very same keys).
  tellCopied(what, reason) {
    this.tell(what);
    const copied = /^(.*(?:the same game as|on the board already, as) )run (\d+)(.*)$/.exec(reason);
    if (!copied) {
      this.verdict.append(`${reason}.`);
      return;
    }
    const link = document.createElement('a');
    link.href = runLink(Number(copied[2]), this.board);
    link.textContent = `run ${copied[2]}`;
    this.verdict.append(copied[1], link, `${copied[3]}.`);
  }

  // Looks at the run until the server has checked it.
  async follow(id, name) {
    for (const until = Date.now() + LongestCheckMs; Date.now() < until;) {
      await new Promise((resolve) => setTimeout(resolve, LookEveryMs));
      const run = await this.board.run(id);
      if (run.status === 'verified') {
        claimed(name);
        this.showClaim();
        const total = await this.hall.showRank(run.rank, run.race ?? raceOfKeys(this.keys ?? ''));
        this.tell(`Score ${run.score} verified: rank ${run.rank} of ${total ?? this.hall.total}.`);
        this.means.hidden = false;
        this.shared = { id, ...run };
        this.share.hidden = false;
        return;
      }
      if (run.status === 'rejected') {
        if (run.reason === NameTaken) notClaimed(name);
        this.showClaim();
        this.tellCopied('Not kept: ', String(run.reason).replace(/\.$/, ''));
        return;
      }
      if (run.status === 'hidden') {
        this.tell(hiddenText(run));
        return;
      }
    }
    this.tell('The server has not checked your game yet; look for it in the hall of fame later.');
  }
}

function rememberedName() {
  try {
    return localStorage.getItem(NameKey) ?? '';
  } catch (e) {
    return '';
  }
}

function remember(name) {
  try {
    localStorage.setItem(NameKey, name);
  } catch (e) {
    // No storage: asked again next time.
  }
}
