// The process's stderr caught in a temporary file for as long as the guard
// lives; put back however the guard is left, an exception included. Sound
// back ends write pages of diagnostics there when a machine has no sound
// card; keep() passes what was caught on, and otherwise it is dropped (the
// caller says what went wrong in one line instead). When stderr cannot be
// caught nothing is: the writes go through as usual.
#pragma once

#include <cstdio>

namespace vexlo::soundback {

class StderrCatch {
public:
    StderrCatch();
    StderrCatch(const StderrCatch&) = delete;
    StderrCatch& operator=(const StderrCatch&) = delete;
    ~StderrCatch();

    // Puts stderr back and writes what was caught there.
    void keep();

private:
    // True when stderr was caught and is now back where it was.
    bool restore();

    std::FILE* caught_ = nullptr;
    int saved_ = -1;
};

} // namespace vexlo::soundback
