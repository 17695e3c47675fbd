// Runs a function in a forked child under limits and takes back the text it
// returns. The child shares nothing afterwards: whatever it changes in its
// own memory (a game's process-wide state) dies with it.
#pragma once

#include <functional>
#include <string>

namespace board {

struct ChildLimits {
    int cpuSeconds = 120; // processor time; the wall-clock limit is twice it and ten seconds more
    long memoryBytes = 512L * 1024 * 1024;
};

enum class ChildEnd {
    Finished,   // output holds the function's text
    OutOfTime,  // processor or wall-clock time ran out
    Abandoned,  // stillWanted said no
    Crashed,    // any other end; detail says which
    NotStarted, // no pipe or no process; detail says why
};

struct ChildResult {
    ChildEnd end = ChildEnd::NotStarted;
    std::string output;
    std::string detail;
};

// stillWanted is asked about five times a second while the child runs.
ChildResult runChild(const std::function<std::string()>& work, const ChildLimits& limits,
                     const std::function<bool()>& stillWanted);

} // namespace board
