// The hall of fame: the score server's best runs, a page of them at a
// time (rank, name, score and a Watch button each), the player's own runs
// marked, shown again every little while (and when the page is seen again)
// so that runs the board's operators hid leave it; a player whose run they
// hid is told why. Names are the players' words: always set as text, never
// markup.

const PageSize = 20;
const OwnRunsKey = 'vexlo-race:own-runs';
const OwnRunsKept = 50;
const RefreshMs = 20000;
const OwnRunsLookedAt = 5; // the latest, when not on the page shown

export const hiddenText = (run) => `Hidden by the board's operators: ${run.reason}`;

const byId = (id) => document.getElementById(id);

export class Hall {
  // onWatch(run) is called with a row's {id, name, score, rank}.
  constructor(board, onWatch) {
    this.board = board;
    this.onWatch = onWatch;
    this.offset = 0;
    this.total = 0;
    this.rows = byId('hall-rows');
    this.note = byId('hall-note');
    this.hiddenNote = byId('hall-hidden');
    this.settled = new Set(); // own runs that will not change: rejected, or unknown here
    byId('hall-back').addEventListener('click', () => this.show(Math.max(0, this.offset - PageSize)));
    byId('hall-on').addEventListener('click', () => this.show(this.offset + PageSize));
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
    if (this.board.available) return this.show(0);
    this.say(this.board.where === 'here'
      ? 'No score server answers at this address, so there is no hall of fame here; the game plays as usual.'
      : `The score server at ${this.board.where} does not answer; the game plays as usual.`);
    byId('hall-table').hidden = true;
    byId('hall-paging').hidden = true;
    return null;
  }

  say(text) { this.note.textContent = text; }

  // The page of runs from offset on; its total.
  async show(offset) {
    let answer;
    try {
      answer = await this.board.page(PageSize, offset);
    } catch (error) {
      this.say(`The hall of fame cannot be shown: ${error.message}.`);
      return null;
    }
    this.offset = offset;
    this.total = answer.total;
    const own = ownRuns();
    this.rows.replaceChildren(...answer.runs.map((run) => this.row(run, own.includes(run.id))));
    byId('hall-table').hidden = answer.runs.length === 0;
    byId('hall-paging').hidden = answer.total <= PageSize;
    byId('hall-where').textContent = answer.runs.length === 0 ? ''
      : `${offset + 1}–${offset + answer.runs.length} of ${answer.total}`;
    byId('hall-back').disabled = offset === 0;
    byId('hall-on').disabled = offset + PageSize >= answer.total;
    this.say(answer.total === 0 ? 'No verified runs yet: yours could be the first.' : '');
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

  // The page that holds the given rank, with the player's run marked.
  showRank(rank) { return this.show(Math.floor((rank - 1) / PageSize) * PageSize); }

  row(run, own) {
    const row = document.createElement('tr');
    if (own) row.className = 'own';
    const cells = [String(run.rank), run.name, String(run.score)].map((text) => {
      const cell = document.createElement('td');
      cell.textContent = text;
      return cell;
    });
    cells[1].className = 'name';
    cells[1].title = own ? `${run.name} (your run)` : run.name;
    const watch = document.createElement('button');
    watch.textContent = 'Watch';
    watch.setAttribute('aria-label', `Watch the run of ${run.name}, score ${run.score}`);
    watch.addEventListener('click', () => {
      watch.blur();
      this.onWatch(run);
    });
    const last = document.createElement('td');
    last.append(watch);
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
