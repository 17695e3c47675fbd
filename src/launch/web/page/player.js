// The player's key: 32 random bytes in base64url, made by this browser the
// first time a game is submitted and kept beside the name. The score server
// keeps only its digest; the first verified run under a name claims the
// name for the key that sent it. The key can be shown, to take it to
// another device, and one from another device pasted in.

const KeyKey = 'vexlo-race:player-key';
const ClaimedKey = 'vexlo-race:claimed-name';
const KeyPattern = /^[A-Za-z0-9_-]{43}$/;

const byId = (id) => document.getElementById(id);

// Without storage (a private window) the key lasts as long as the page.
let keptInPage = null;

function stored(name) {
  try {
    return localStorage.getItem(name);
  } catch (e) {
    return null;
  }
}

function store(name, value) {
  try {
    if (value === null) localStorage.removeItem(name);
    else localStorage.setItem(name, value);
  } catch (e) {
    // No storage: kept in the page only.
  }
}

function newKey() {
  const bytes = new Uint8Array(32);
  crypto.getRandomValues(bytes);
  return btoa(String.fromCharCode(...bytes)).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

export function playerKey() {
  let key = stored(KeyKey) ?? keptInPage;
  if (!KeyPattern.test(key ?? '')) {
    key = newKey();
    store(KeyKey, key);
  }
  keptInPage = key;
  return key;
}

// Names compared as loosely as a reader would at a glance; the server
// decides for good.
const same = (a, b) => a.trim().normalize('NFKC').toLowerCase() === b.trim().normalize('NFKC').toLowerCase();

export function isClaimed(name) {
  const claimed = stored(ClaimedKey);
  return claimed !== null && name.trim() !== '' && same(name, claimed);
}

// A run under the name was verified with this browser's key: the name is its.
export function claimed(name) { store(ClaimedKey, name.trim()); }

// The server says the name is another player's.
export function notClaimed(name) {
  if (isClaimed(name)) store(ClaimedKey, null);
}

// The key shown, and one pasted in; told when the key changes.
export class KeyPanel {
  constructor(onChange) {
    this.onChange = onChange;
    this.shown = byId('key-shown');
    this.pasted = byId('key-pasted');
    this.note = byId('key-note');
    byId('player-key').addEventListener('toggle', () => { this.shown.value = playerKey(); });
    byId('key-use').addEventListener('click', () => this.use());
  }

  use() {
    const key = this.pasted.value.trim();
    if (!KeyPattern.test(key)) {
      this.note.textContent = 'That is not a player key: it has 43 letters, digits, - and _.';
      return;
    }
    store(KeyKey, key);
    keptInPage = key;
    store(ClaimedKey, null);
    this.pasted.value = '';
    this.shown.value = key;
    this.note.textContent = 'This browser now uses the key you pasted: your name is yours here once a game under it is verified.';
    this.onChange();
  }
}
