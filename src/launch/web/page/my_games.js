// "My games": the player's own games, kept in the browser's storage
// (IndexedDB) as the desktop keeps them: the 10 best (of those that reached
// the game-over screen) and the 20 latest, each with its race, score, date
// and keys. Each can be watched, shared as a link that holds its keys, and
// submitted to the score server later.
import { raceWords } from './race.js';

const DatabaseName = 'vexlo-race';
const Store = 'games';
const KeptBest = 10;
const KeptLatest = 20;

const byId = (id) => document.getElementById(id);

function request(r) {
  return new Promise((resolve, reject) => {
    r.onsuccess = () => resolve(r.result);
    r.onerror = () => reject(r.error);
  });
}

function openDatabase() {
  const opening = indexedDB.open(DatabaseName, 1);
  opening.onupgradeneeded = () => opening.result.createObjectStore(Store, { keyPath: 'id', autoIncrement: true });
  return request(opening);
}

// The best that reached the game-over screen, the highest score first (the
// earlier first among equals); then the rest, the latest first.
function bestFirst(games) {
  const over = games.filter((g) => g.gameOver).sort((a, b) => b.score - a.score || a.date - b.date);
  const rest = games.filter((g) => !g.gameOver).sort((a, b) => b.date - a.date);
  return [...over, ...rest];
}

// The ids of the games beyond the best and the latest.
export function beyondKeeping(games) {
  const kept = new Set(bestFirst(games).filter((g) => g.gameOver).slice(0, KeptBest).map((g) => g.id));
  for (const g of [...games].sort((a, b) => b.date - a.date).slice(0, KeptLatest)) kept.add(g.id);
  return games.filter((g) => !kept.has(g.id)).map((g) => g.id);
}

export class MyGames {
  // hands: {watch(game), share(game), submit(game)}
  constructor(hands) {
    this.hands = hands;
    this.section = byId('mine');
    this.rows = byId('mine-rows');
    this.note = byId('mine-note');
    this.database = null;
  }

  async store(mode, work) {
    this.database ??= await openDatabase();
    const transaction = this.database.transaction(Store, mode);
    const done = new Promise((resolve, reject) => {
      transaction.oncomplete = resolve;
      transaction.onerror = () => reject(transaction.error);
      transaction.onabort = () => reject(transaction.error);
    });
    const result = await work(transaction.objectStore(Store));
    await done;
    return result;
  }

  async all() { return this.store('readonly', (games) => request(games.getAll())); }

  // Keeps a game just played ({race, score, gameOver, keys}), then drops
  // those beyond keeping; its id. A browser without storage keeps nothing.
  async keep(game) {
    let kept;
    try {
      kept = await this.store('readwrite', async (games) => {
        const id = await request(games.add({ ...game, date: Date.now(), run: null }));
        const all = await request(games.getAll());
        for (const gone of beyondKeeping(all)) games.delete(gone);
        return id;
      });
    } catch (error) {
      console.warn(`the game cannot be kept in this browser: ${error.message || error}`);
    }
    await this.show();
    return kept;
  }

  // Notes the run a game was submitted as.
  async submitted(id, run) {
    try {
      await this.store('readwrite', async (games) => {
        const game = await request(games.get(id));
        if (game) games.put({ ...game, run });
      });
    } catch (e) {
      // The mark is lost; the game is not.
    }
  }

  async show() {
    let games = [];
    try {
      games = bestFirst(await this.all());
    } catch (error) {
      this.section.hidden = false;
      this.note.textContent = 'This browser keeps no games (its storage is off).';
      byId('mine-table').hidden = true;
      return;
    }
    this.section.hidden = games.length === 0;
    this.note.textContent = '';
    this.rows.replaceChildren(...games.map((game) => this.row(game)));
    byId('mine-table').hidden = games.length === 0;
  }

  row(game) {
    const row = document.createElement('tr');
    const when = new Date(game.date);
    const cells = [
      game.race === 'classic' ? 'Classic' : `Daily ${game.race.slice(6)}`,
      game.gameOver ? String(game.score) : `${game.score} (ended)`,
      `${when.toISOString().slice(0, 10)} ${when.toTimeString().slice(0, 5)}`,
    ].map((text) => {
      const cell = document.createElement('td');
      cell.textContent = text;
      return cell;
    });
    const actions = document.createElement('td');
    const label = `your game of ${raceWords(game.race)}, score ${game.score}`;
    for (const [text, act, aria] of [['Watch', 'watch', 'Watch'], ['Share', 'share', 'Share a link to'],
      ['Submit', 'submit', 'Submit']]) {
      if (act === 'submit' && (!game.gameOver || game.run)) continue;
      const button = document.createElement('button');
      button.textContent = text;
      button.setAttribute('aria-label', `${aria} ${label}`);
      button.addEventListener('click', () => { button.blur(); this.hands[act](game); });
      actions.append(button);
    }
    row.append(...cells, actions);
    return row;
  }
}
