// Runs a function in a forked child under limits and takes back the text it
// returns. The child shares nothing afterwards: whatever it changes in its
// own memory (a game's process-wide state) dies with it.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace board {

struct ChildLimits {
    int cpuSeconds =
        120; // processor time; the wall-clock limit is twice it and ten seconds more, stopped time aside
    long memoryBytes = 512L * 1024 * 1024;
};

enum class ChildEnd {
    Finished,    // output holds the function's text
    OutOfTime,   // it used all its processor time
    OutOfMemory, // it asked for more memory than its limit
    Abandoned,   // stillWanted said no
    Crashed,     // ended otherwise (a signal from outside, a fault); detail says how
    Stalled,     // past the wall-clock limit with processor time to spare: the machine was too busy
    NotStarted,  // no pipe or no process; detail says why
};

struct ChildResult {
    ChildEnd end = ChildEnd::NotStarted;
    std::string output;
    std::string detail;
};

// What the parent does while the child runs.
struct ChildWatch {
    // Asked about five times a second: false ends the child at once.
    std::function<bool()> stillWanted = [] { return true; };
    // Once the child has used yieldAfter of processor time, asked at each
    // of those looks for other work to do first: the child is stopped
    // (SIGSTOP) while that work runs, then continued. Empty: nothing to do.
    std::function<std::function<void()>()> yieldTo;
    std::chrono::milliseconds yieldAfter{1000};
};

ChildResult runChild(const std::function<std::string()>& work, const ChildLimits& limits,
                     const ChildWatch& watch = {});

} // namespace board
