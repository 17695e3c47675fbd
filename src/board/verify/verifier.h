// Verification of one run: its key script played by the game in a child
// process of its own, under limits of processor time and memory.
#pragma once

#include "replay/key_script.h"

#include <functional>
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
    Rejected, // the run's own doing; reason says what
    Failed,   // not the run's fault (no process, no data/): try again later
};

struct Verdict {
    Outcome outcome = Outcome::Failed;
    int score = 0;
    long updates = 0;
    std::string game;   // the keys the game took, one "UPDATE CODE" a line
    std::string reason; // for Rejected and Failed, in words a player reads
};

// Plays keys in a child process and judges the game. While it waits,
// five times a second it calls stillWanted: false ends the child at once and
// gives Failed (the worker is stopping or lost its claim).
Verdict verify(const std::vector<replay::ScriptedKey>& keys, const VerifyLimits& limits,
               const std::function<bool()>& stillWanted);

} // namespace board
