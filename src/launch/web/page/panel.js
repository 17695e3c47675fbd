// What the page says in its own words beside the picture: how a game
// ended (the status line, which screen readers read out as it changes),
// notes on what went wrong, and the offer of a game; and the sound
// player's "ERROR!" boxes, modal, the game waiting for OK.

const byId = (id) => document.getElementById(id);

export class Panel {
  constructor() {
    this.status = byId('status');
    this.offer = byId('offer');
    this.note = byId('note');
    this.button = byId('again');
    this.changed = () => {};  // the panel's size may have changed
  }

  say(text) {
    this.status.textContent = text;
    this.changed();
  }

  addNote(text) {
    this.note.textContent = this.note.hidden ? text : `${this.note.textContent}\n${text}`;
    this.note.hidden = false;
    this.changed();
  }

  hasNote() { return !this.note.hidden; }

  // The offer of a game, with the button's words; null shows the note
  // alone (nothing can be played).
  showOffer(label) {
    this.button.hidden = label === null;
    if (label !== null) this.button.textContent = label;
    this.offer.hidden = false;
    this.changed();
  }

  get offered() { return !this.offer.hidden && !this.button.hidden; }

  clear() {
    this.offer.hidden = true;
    this.note.hidden = true;
    this.note.textContent = '';
    this.status.textContent = '';
    this.changed();
  }

  showBox(caption, text) {
    const box = byId('box');
    byId('box-caption').textContent = caption;
    byId('box-text').textContent = text;
    return new Promise((resolve) => {
      box.addEventListener('close', () => resolve(), { once: true });
      box.showModal();
    });
  }
}
