// The games the desktop keeps: every game played, as the key script it was
// recorded as, with a header of comments (which the replay tool and
// --watch pass by):
//
//   # A game of Vexlo Race: ...          (a recording's own two lines)
//   # version: 1.0.0
//   # date: 2026-05-01T12:03:22Z         (when it started, UTC)
//   # score: 4210                        (once it has ended)
//   # end: game over                     (or: stopped before the game-over
//                                         screen; or: not yet)
//   race daily 2026-12-10                (a daily race's; none for the classic)
//
// in $XDG_DATA_HOME/vexlo-race/games/. The 10 best (of those that reached
// the game-over screen) and the 20 latest are kept, the rest removed.
// Anything else in the folder is passed by, never removed.
#pragma once

#include "replay/race.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

constexpr std::size_t KeptBest = 10;
constexpr std::size_t KeptLatest = 20;
// A kept game is a few kilobytes; four hours of play with a key every tenth
// of a second stay well below this.
constexpr std::size_t MaxKeptBytes = 4 * 1024 * 1024;

struct KeptHeader {
    std::string version;
    std::time_t date = 0;     // when the game started
    std::optional<int> score; // once the game has ended: the score it showed last
    bool gameOver = false;    // it reached its game-over screen
    replay::Race race;        // from the script's race line
    bool operator==(const KeptHeader&) const = default;
};

// The header's lines after a recording's own, for a game not yet ended
// when score is empty, and the race line of a daily race.
std::string keptHeaderLines(const KeptHeader& header);
// The header at the start of a kept game's text (its comments; the race
// is the script's); nothing without a date.
std::optional<KeptHeader> parseKeptHeader(std::string_view text);

// A time in strftime's format, in UTC or the local time.
std::string timeText(std::time_t time, const char* format, bool utc);
// 2026-05-01T12:03:22Z, and back (nothing for anything else).
std::string utcStamp(std::time_t time);
std::optional<std::time_t> parseUtcStamp(std::string_view text);

// $XDG_DATA_HOME/vexlo-race/games, or under $HOME/.local/share when
// XDG_DATA_HOME is unset, empty or not absolute; nothing when neither gives
// a place.
std::optional<std::filesystem::path> keptGamesFolder(const char* xdgDataHome, const char* home);

struct KeptGame {
    std::filesystem::path file;
    KeptHeader header;
};

struct KeptListing {
    std::vector<KeptGame> games;
    std::vector<std::string> skipped; // one line for each thing that is no kept game
    std::string problem;              // the folder itself could not be read
};
// Every kept game in the folder (none when it does not exist yet). Names
// starting with a dot (files being written) are passed by in silence.
KeptListing listKeptGames(const std::filesystem::path& folder);

// In the order --scores shows them: the games that reached the game-over
// screen, the highest score first (equal scores, the earlier game first);
// then the others, the latest first.
std::vector<KeptGame> bestFirst(std::vector<KeptGame> games);
// The game played last; null when there is none.
const KeptGame* latestOf(const std::vector<KeptGame>& games);
// The games that are neither among the best nor among the latest.
std::vector<std::filesystem::path> beyondKeeping(const std::vector<KeptGame>& games);

} // namespace vexlo
