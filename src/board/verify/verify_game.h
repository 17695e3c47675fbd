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
    std::string play;            // what the player did, up to the game-over screen (below)
    std::string detail;          // the toolkit's last message, for Failed
};

// What the player did in a game: the car's row and speed at every update of
// play, written as the updates at which they change. All a player's keys
// can change is the row and the speed, and the traffic meets the same rows
// and speeds the same way every time, so two games with the same play are
// one game, whatever keys made them: letters, Enter, Left at speed 1, an
// Up and a Down in one frame, a longer wait on the title.
//
// Play counts from the second frame, the first whose score shows it has
// begun: the first frame's speed is that score, and its row touches
// nothing, since no car has come yet. Lines: "score S" (the score then),
// "U ROW SPEED" at each change, U counted from there, and "end U" at the
// game-over screen.
class PlayRecord {
public:
    void add(long update, int row, int speed, int score);
    std::string text(long gameOverUpdate) const;

private:
    long first_ = -1;
    int row_ = -1, speed_ = -1;
    std::string text_;
};

// Plays the script's race with its keys until the game-over screen, the
// game's end or maxUpdates. Reads data/ from the working directory. Call
// once per process.
PlayedGame playGame(const replay::KeyScript& script, long maxUpdates);

} // namespace board
