// After a game that reached its game-over screen: "Submit score" with a
// name (remembered in the browser), the game's keys posted to the score
// server, then its check followed to the verdict: "verified: rank R of T"
// or the server's reason.
import { keepOwnRun } from './hall.js';

const NameKey = 'vexlo-race:name';
const LongestName = 24;        // characters, as the server counts them
const LookEveryMs = 400;       // how often the check is looked at
const LongestCheckMs = 180000; // the server gives a game 120 s of processor time

const byId = (id) => document.getElementById(id);

export class Submission {
  constructor(board, hall) {
    this.board = board;
    this.hall = hall;
    this.form = byId('submit');
    this.name = byId('name');
    this.send = byId('send');
    this.verdict = byId('verdict');
    this.keys = null;
    this.form.addEventListener('submit', (event) => {
      event.preventDefault();
      this.submit();
    });
  }

  // Offers to submit a game's keys.
  offer(keys) {
    if (!this.board.available) return;
    this.keys = keys;
    this.name.value = rememberedName();
    this.send.disabled = false;
    this.verdict.textContent = '';
    this.form.hidden = false;
  }

  hide() {
    this.keys = null;
    this.form.hidden = true;
  }

  tell(text) { this.verdict.textContent = text; }

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
      const { id } = await this.board.submit(name, keys);
      keepOwnRun(id);
      this.tell('The server is checking your game by playing it again…');
      await this.follow(id);
    } catch (error) {
      this.tell(`Not sent: ${error.message.replace(/\.$/, '')}.`);
      if (this.keys === keys) this.send.disabled = false;
    }
  }

  // Looks at the run until the server has checked it.
  async follow(id) {
    for (const until = Date.now() + LongestCheckMs; Date.now() < until;) {
      await new Promise((resolve) => setTimeout(resolve, LookEveryMs));
      const run = await this.board.run(id);
      if (run.status === 'verified') {
        const total = await this.hall.showRank(run.rank);
        this.tell(`Score ${run.score} verified: rank ${run.rank} of ${total ?? this.hall.total}.`);
        return;
      }
      if (run.status === 'rejected') {
        this.tell(`Not kept: ${String(run.reason).replace(/\.$/, '')}.`);
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
