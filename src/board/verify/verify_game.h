// One game played to its end with the game's own code on the headless
// platform, silently. The game's state is process-wide, so this runs once
// per process: the verifier calls it in a child of its own.
#pragma once

#include "replay/key_script.h"

#include <string>
#include <vector>

namespace board {

// How a game ended.
enum class GameEnd {
    GameOver,    // the game-over screen was shown
    Escaped,     // Escape ended it first
    ScriptEnded, // it waited for a key the script does not have
    UpdateLimit, // it passed the update limit
    Failed,      // it could not run (data/ missing, ...)
};

// A key the game read, with the updates it had made when it read it.
struct TakenKey {
    long update = 0;
    int code = 0;
};

struct PlayedGame {
    GameEnd end = GameEnd::Failed;
    long updates = 0;            // made by the end (the game-over screen's own included)
    int score = 0;               // the number on the game-over screen
    std::vector<TakenKey> taken; // up to the game-over screen
    std::string detail;          // the toolkit's last message, for Failed
};

// Plays keys until the game-over screen, the game's end or maxUpdates.
// Reads data/ from the working directory. Call once per process.
PlayedGame playGame(const std::vector<replay::ScriptedKey>& keys, long maxUpdates);

} // namespace board
