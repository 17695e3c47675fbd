// The races: the classic one, the same traffic every game, and the daily
// race, new traffic every day (UTC). The page names a race as the score
// server does: "classic" or "daily YYYY-MM-DD". "Classic" and "Daily race"
// beside the picture pick the race of the next game.

const byId = (id) => document.getElementById(id);

// Today's date in UTC, YYYY-MM-DD.
export function todayUtc() { return new Date().toISOString().slice(0, 10); }

export function dailyRace(date = todayUtc()) { return `daily ${date}`; }

// "the classic race" or "the daily race of 2026-12-10".
export function raceWords(race) {
  const daily = /^daily (.+)$/.exec(race ?? '');
  return daily ? `the daily race of ${daily[1]}` : 'the classic race';
}

// The race a key script names in its first line that is not a comment.
export function raceOfKeys(keys) {
  for (const line of keys.split('\n')) {
    const text = line.replace(/#.*/, '').trim();
    if (text === '') continue;
    const daily = /^race\s+daily\s+(\d{4}-\d{2}-\d{2})$/.exec(text);
    return daily ? dailyRace(daily[1]) : 'classic';
  }
  return 'classic';
}

export class RacePicker {
  // onPick(race) is called when the player picks one.
  constructor(onPick) {
    this.classic = byId('race-classic');
    this.daily = byId('race-daily');
    this.race = 'classic';
    this.classic.addEventListener('click', () => { this.classic.blur(); onPick('classic'); });
    this.daily.addEventListener('click', () => { this.daily.blur(); onPick(dailyRace()); });
    this.show('classic');
  }

  // The race chosen, shown pressed; the daily one named with its date.
  show(race) {
    this.race = race;
    this.daily.textContent = `Daily race ${todayUtc()}`;
    this.classic.setAttribute('aria-pressed', String(race === 'classic'));
    this.daily.setAttribute('aria-pressed', String(race !== 'classic'));
  }
}
