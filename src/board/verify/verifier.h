// Verification of one run: its key script played by the game in a child
// process of its own, under limits of processor time and memory.
#pragma once

#include "board/verify/child_process.h"
#include "replay/key_script.h"

#include <string>
#include <vector>

namespace board {

struct VerifyLimits {
    long maxUpdates = 1000000;             // about four hours of play
    int cpuSeconds = 120;                  // of processor time, for the child
    long memoryBytes = 512L * 1024 * 1024; // the child's address space
};

enum class Outcome {
    Verified,
    Rejected,  // the run's own doing (its keys, or past a limit); reason says what
    Failed,    // not the run's fault (no process, one killed from outside, no data/): try again later
    Abandoned, // the watch's stillWanted said no (the worker is stopping or lost its claim)
};

struct Verdict {
    Outcome outcome = Outcome::Failed;
    int score = 0;
    long updates = 0;
    std::string game;           // what the player did (verify_game.h's PlayRecord), when verified
    std::string reason;         // for Rejected and Failed, in words a player reads
    bool gameCannotRun = false; // Failed because the game itself would not start here (data/)
};

// Plays a key script's race in a child process and judges the game, the
// watch looking on (child_process.h).
Verdict verify(const replay::KeyScript& script, const VerifyLimits& limits, const ChildWatch& watch = {});

} // namespace board
