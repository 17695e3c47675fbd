// The score server's API (vexlo-board): where it is, submitting a game's
// keys with the player's key, following its check, and the hall of fame. By default the server is
// the page's own address (vexlo-board serve --web); #board=URL names
// another, which allows pages from elsewhere.

const AnswerWaitMs = 10000;  // the longest a request may take

export class BoardError extends Error {}

export class Board {
  constructor(address) {
    this.base = new URL(address ?? '.', location.href);
    if (!this.base.pathname.endsWith('/')) this.base.pathname += '/';
    this.available = false;
  }

  get where() { return this.base.origin === location.origin ? 'here' : this.base.host; }

  // The answer's JSON; a refusal is a BoardError with the server's words,
  // no answer one that says so.
  async ask(path, options = {}) {
    let response;
    try {
      response = await fetch(new URL(path, this.base), { ...options, signal: AbortSignal.timeout(AnswerWaitMs) });
    } catch (e) {
      throw new BoardError('the score server cannot be reached');
    }
    const text = await response.text();
    let body = null;
    try {
      body = JSON.parse(text);
    } catch (e) {
      // Not the server's JSON: said below.
    }
    if (!response.ok) throw new BoardError(body?.error ?? `the score server answered ${response.status}`);
    if (body === null && !options.text) throw new BoardError('the score server gave an answer it cannot have meant');
    return options.text ? text : body;
  }

  // Whether a score server answers; a static host or no network does not.
  async find() {
    try {
      this.available = (await this.ask('api/health'))?.ok === true;
    } catch (e) {
      this.available = false;
    }
    return this.available;
  }

  submit(name, keys, playerKey) {
    return this.ask('api/runs', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ name, keys, player_key: playerKey }),
    });
  }

  run(id) { return this.ask(`api/runs/${encodeURIComponent(id)}`); }

  keys(id) { return this.ask(`api/runs/${encodeURIComponent(id)}/keys`, { text: true }); }

  // A page of the board of a race: "classic", or "daily YYYY-MM-DD".
  page(limit, offset, race = 'classic') {
    const daily = /^daily (\d{4}-\d{2}-\d{2})$/.exec(race);
    const which = daily ? `&race=daily&date=${daily[1]}` : '';
    return this.ask(`api/board?limit=${limit}&offset=${offset}${which}`);
  }
}
