// What the page's address asks for:
//
//   index.html              the game, with the keyboard (and touch buttons)
//   index.html#daily        the same, starting with today's daily race
//   index.html#run=N        run N of the score server, watched as Watch plays
//                           it, its name, score, rank and race beside it
//   index.html#keys=SCRIPT  the replay hook: one unpaced game with the keys
//                           of SCRIPT (URL-encoded, the replay tool's format);
//                           at the end window.vexloReplay = {frames, sound,
//                           exit} and then document.title = "exit S"
//   index.html#record       the game, keeping each frame's line and each key
//                           as a key script (window.vexlo.recorded), for tests;
//                           "&record" after #run=N or #daily does the same
//   index.html#board=URL    the game, with the hall of fame of the score
//                           server at URL instead of the page's own address;
//                           "&board=URL" after #run=N or #daily does the same

// {replay, record, board, run, daily}: replay is the key script (a string),
// null without one, undefined when the address holds one that is not valid
// URL encoding; board the server's address given, or null; run the run's
// number, or null (NaN for one that is no number); daily whether today's
// daily race is asked for.
export function readAddress(hash) {
  const wanted = { replay: null, record: hash === '#record', board: null, run: null, daily: false };
  if (hash.startsWith('#keys=')) {
    try {
      wanted.replay = decodeURIComponent(hash.slice('#keys='.length).replace(/\+/g, ' '));
    } catch (e) {
      wanted.replay = undefined;
    }
    return wanted;
  }
  for (const part of hash.replace(/^#/, '').split('&')) {
    const [name, ...rest] = part.split('=');
    const value = rest.join('=');
    if (name === 'board') {
      try {
        wanted.board = decodeURIComponent(value);
      } catch (e) {
        wanted.board = null;
      }
    } else if (name === 'run') {
      wanted.run = /^[1-9][0-9]{0,15}$/.test(value) ? Number(value) : NaN;
    } else if (name === 'daily' && rest.length === 0) {
      wanted.daily = true;
    } else if (name === 'record' && rest.length === 0) {
      wanted.record = true;
    }
  }
  return wanted;
}

// The link that opens run `id` in this page: the page's own address, with
// &board=URL when its scores come from another server.
export function runLink(id, board) {
  const here = `${location.origin}${location.pathname}`;
  const away = board.base.href !== new URL('.', location.href).href;
  return `${here}#run=${id}${away ? `&board=${encodeURIComponent(board.base.href)}` : ''}`;
}

// The link that replays a game's keys in this page (the replay hook).
export function keysLink(keys) {
  return `${location.origin}${location.pathname}#keys=${encodeURIComponent(keys)}`;
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

// Shares a link: the system's own sharing where the browser has it, else
// the link copied to the clipboard. Resolves with what to tell the player.
export async function shareLink(url, title) {
  if (navigator.share && navigator.canShare?.({ url })) {
    try {
      await navigator.share({ url, title });
      return 'Shared';
    } catch (error) {
      if (error.name === 'AbortError') return '';
      // Refused by the browser: the clipboard, below.
    }
  }
  try {
    await navigator.clipboard.writeText(url);
    return 'Link copied';
  } catch (e) {
    return `Copy this link: ${url}`;
  }
}
