// What the page's address asks for:
//
//   index.html              the game, with the keyboard (and touch buttons)
//   index.html#keys=SCRIPT  the replay hook: one unpaced game with the keys
//                           of SCRIPT (URL-encoded, the replay tool's format);
//                           at the end window.vexloReplay = {frames, sound,
//                           exit} and then document.title = "exit S"
//   index.html#record       the game, keeping each frame's line and each key
//                           as a key script (window.vexlo.recorded), for tests
//   index.html#board=URL    the game, with the hall of fame of the score
//                           server at URL instead of the page's own address

// {replay, record, board}: replay is the key script (a string), null
// without one, undefined when the address holds one that is not valid URL
// encoding; board the server's address given, or null.
export function readAddress(hash) {
  const wanted = { replay: null, record: hash === '#record', board: null };
  if (hash.startsWith('#keys=')) {
    try {
      wanted.replay = decodeURIComponent(hash.slice('#keys='.length).replace(/\+/g, ' '));
    } catch (e) {
      wanted.replay = undefined;
    }
  }
  if (hash.startsWith('#board=')) {
    try {
      wanted.board = decodeURIComponent(hash.slice('#board='.length));
    } catch (e) {
      wanted.board = null;
    }
  }
  return wanted;
}

// What a player is told when a replay link did not hold a game, in words
// a player understands; null when it did. detail is the game's own
// message, if it gave one.
export function badLinkText(script, status, detail) {
  if (script === undefined)
    return 'This link to a recorded game is damaged: it was cut short or changed on its way to you, '
      + 'so the game cannot be read from it.';
  if (script.trim() === '')
    return 'This link should hold a recorded game, but it is empty: whoever sent it may have copied only its start.';
  if (status === 2) {
    const where = detail ? ` (${detail.replace(/^keys:(\d+): /, 'line $1: ')})` : '';
    return `The recorded game in this link cannot be read: it is not a list of keys${where}.`;
  }
  return null;
}
