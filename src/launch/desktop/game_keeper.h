// The game being played, kept as it goes (see kept_games.h): its keys are
// written to its file in the games folder one flushed line at a time, as
// --record writes them, so that a game cut short keeps every key it took.
// When it ends the file is written anew, whole and atomically, with the
// score in its header, and the games beyond the best and the latest are
// removed. Nothing here ever stops the game: each problem is one line.
#pragma once

#include "launch/desktop/kept_games.h"
#include "launch/desktop/recording.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexlo {

class GameKeeper {
public:
    // Makes the folder and the game's file, named after its start
    // (game-20260501-120322.keys); nothing, with `problem` set, when it
    // cannot.
    static std::unique_ptr<GameKeeper> start(const std::filesystem::path& folder, const std::string& version,
                                             std::time_t now, std::string& problem);

    void write(const replay::ScriptedKey& key);

    // The game has ended, with the score it showed last. A game never
    // played (closed on the title screen) is not kept. The lines to say.
    std::vector<std::string> finish(bool played, int score, bool gameOver);

    const std::filesystem::path& file() const { return file_; }

private:
    GameKeeper(std::filesystem::path folder, std::filesystem::path file, KeptHeader header,
               std::unique_ptr<Recording> recording);

    std::filesystem::path folder_, file_;
    KeptHeader header_;
    std::unique_ptr<Recording> recording_;
    std::vector<replay::ScriptedKey> keys_;
};

// The score a kept game's header carries: the number its game-over screen
// showed. The game counts once more after the key that ends that screen,
// so the number is taken as that key is; a game closed before or on the
// screen carries the number shown at its end.
class HeaderScore {
public:
    // A key the game took, with its game-over screen on or not, and the
    // number that screen shows.
    void keyTaken(bool gameOverOnScreen, int shown) {
        if (!atScreensKey_ && gameOverOnScreen)
            atScreensKey_ = shown;
    }
    int atEnd(int shownAtEnd) const { return atScreensKey_.value_or(shownAtEnd); }

private:
    std::optional<int> atScreensKey_;
};

// Removes the games beyond the best and the latest from the folder; the
// lines to say (things passed by, files that could not be removed).
std::vector<std::string> removeBeyondKeeping(const std::filesystem::path& folder);

} // namespace vexlo
