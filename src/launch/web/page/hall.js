// The hall of fame: the score server's best runs of a race (the classic
// one, today's daily race, or that of a day picked), a page at a time
// (rank, name, score, and Watch and Share buttons each), the player's own
// runs marked, shown again every little while (and when the page is seen
// again) so that runs the board's operators hid leave it; a player whose
// run they hid is told why. Names are the players' words: always set as
// text, never markup, and whole; one that would look blank says so.
import { dailyRace, todayUtc } from './race.js';

const PageSize = 20;
const OwnRunsKey = 'vexlo-race:own-runs';
const OwnRunsKept = 50;
// Nothing to see: spaces, marks that take no room, and the blank signs of
// some scripts.
const LooksBlank = /^[\p{White_Space}\p{Default_Ignorable_Code_Point}\u2800]*$/u;
const RefreshMs = 20000;
const OwnRunsLookedAt = 5; // the latest, when not on the page shown

export const hiddenText = (run) => `Hidden by the board's operators: ${run.reason}`;

const byId = (id) => document.getElementById(id);

// A name as the hall shows it: itself, or words for one that looks blank.
export function shownName(name) { return LooksBlank.test(name) ? '(a name that looks blank)' : name; }

export class Hall {
  // onWatch(run) and onShare(run) are called with a row's {id, name,
  // score, rank, race}.
  constructor(board, onWatch, onShare) {
    this.board = board;
    this.onWatch = onWatch;
    this.onShare = onShare;
    this.offset = 0;
    this.total = 0;
    this.race = 'classic';
    this.rows = byId('hall-rows');
    this.note = byId('hall-note');
    this.date = byId('hall-date');
    this.hiddenNote = byId('hall-hidden');
    this.settled = new Set(); // own runs that will not change: rejected, or unknown here
    byId('hall-back').addEventListener('click', () => this.show(Math.max(0, this.offset - PageSize)));
    byId('hall-on').addEventListener('click', () => this.show(this.offset + PageSize));
    byId('hall-classic').addEventListener('click', () => this.showRace('classic'));
    byId('hall-today').addEventListener('click', () => this.showRace(dailyRace()));
    this.date.addEventListener('change', () => { if (this.date.value) this.showRace(dailyRace(this.date.value)); });
    setInterval(() => this.refresh(), RefreshMs);
    document.addEventListener('visibilitychange', () => this.refresh());
  }

  // The page shown, read again while it can be seen.
  refresh() {
    if (this.board.available && document.visibilityState === 'visible' && !byId('hall').hidden)
      this.show(this.offset);
  }

  // After looking for the server: the best runs, or why there are none.
  async start() {
    byId('hall').hidden = false;
    this.date.max = todayUtc();
    if (this.board.available) return this.show(0);
    this.say(this.board.where === 'here'
      ? 'No score server answers at this address, so there is no hall of fame here; the game plays as usual.'
      : `The score server at ${this.board.where} does not answer; the game plays as usual.`);
    byId('hall-table').hidden = true;
    byId('hall-paging').hidden = true;
    byId('hall-races').hidden = true;
    byId('hall-means').hidden = true;
    return null;
  }

  say(text) { this.note.textContent = text; }

  // The board of a race, from its best run.
  showRace(race) {
    this.race = race;
    const today = race === dailyRace();
    byId('hall-classic').setAttribute('aria-pressed', String(race === 'classic'));
    byId('hall-today').setAttribute('aria-pressed', String(today));
    if (race === 'classic' || today) this.date.value = '';
    else this.date.value = race.slice(6);
    return this.show(0);
  }

  // The page of runs from offset on; its total.
  async show(offset) {
    let answer;
    try {
      answer = await this.board.page(PageSize, offset, this.race);
    } catch (error) {
      this.say(`The hall of fame cannot be shown: ${error.message}.`);
      return null;
    }
    this.offset = offset;
    this.total = answer.total;
    const own = ownRuns();
    this.rows.replaceChildren(...answer.runs.map((run) => this.row({ race: this.race, ...run }, own.includes(run.id))));
    byId('hall-table').hidden = answer.runs.length === 0;
    byId('hall-paging').hidden = answer.total <= PageSize;
    byId('hall-where').textContent = answer.runs.length === 0 ? ''
      : `${offset + 1}–${offset + answer.runs.length} of ${answer.total}`;
    byId('hall-back').disabled = offset === 0;
    byId('hall-on').disabled = offset + PageSize >= answer.total;
    const whose = this.race === 'classic' ? '' : ` in the daily race of ${this.race.slice(6)}`;
    this.say(answer.total === 0 ? `No verified runs yet${whose}: yours could be the first.` : '');
    this.lookForHidden(answer.runs);
    return answer.total;
  }

  // The player's latest runs not on the page shown, asked after: the
  // operators' reason for the latest they hid.
  async lookForHidden(shown) {
    const onPage = new Set(shown.map((run) => run.id));
    let hidden = null;
    for (const id of ownRuns().slice(0, OwnRunsLookedAt)) {
      if (onPage.has(id) || this.settled.has(id)) continue;
      let run;
      try {
        run = await this.board.run(id);
      } catch (error) {
        if (error.message === 'no such run') this.settled.add(id);
        continue;
      }
      if (run.status === 'rejected') this.settled.add(id);
      if (run.status === 'hidden' && hidden === null) hidden = run;
    }
    this.hiddenNote.textContent = hidden === null ? '' : hiddenText(hidden);
  }

  // The page that holds the given rank of a race, with the player's run marked.
  showRank(rank, race = this.race) {
    if (race !== this.race) {
      this.race = race;
      byId('hall-classic').setAttribute('aria-pressed', String(race === 'classic'));
      byId('hall-today').setAttribute('aria-pressed', String(race === dailyRace()));
    }
    return this.show(Math.floor((rank - 1) / PageSize) * PageSize);
  }

  row(run, own) {
    const row = document.createElement('tr');
    if (own) row.className = 'own';
    const name = shownName(run.name);
    const cells = [String(run.rank), name, String(run.score)].map((text) => {
      const cell = document.createElement('td');
      cell.textContent = text;
      return cell;
    });
    cells[1].className = name === run.name ? 'name' : 'name blank';
    cells[1].title = own ? `${name} (your run)` : name;
    const last = document.createElement('td');
    for (const [text, act] of [['Watch', this.onWatch], ['Share', this.onShare]]) {
      const button = document.createElement('button');
      button.textContent = text;
      button.setAttribute('aria-label', `${text} the run of ${name}, score ${run.score}`);
      button.addEventListener('click', () => {
        button.blur();
        act(run);
      });
      last.append(button);
    }
    row.append(...cells, last);
    return row;
  }
}

// The runs submitted from this browser, newest first.
export function ownRuns() {
  try {
    const ids = JSON.parse(localStorage.getItem(OwnRunsKey) ?? '[]');
    return Array.isArray(ids) ? ids.filter(Number.isInteger) : [];
  } catch (e) {
    return [];
  }
}

export function keepOwnRun(id) {
  try {
    localStorage.setItem(OwnRunsKey, JSON.stringify([id, ...ownRuns()].slice(0, OwnRunsKept)));
  } catch (e) {
    // No storage (a private window): the mark lasts as long as the page.
  }
}
