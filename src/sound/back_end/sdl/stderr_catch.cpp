#include "sound/back_end/sdl/stderr_catch.h"

#include <unistd.h>

namespace vexlo::soundback {

StderrCatch::StderrCatch() {
    caught_ = std::tmpfile();
    if (caught_ == nullptr)
        return;
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    if (saved_ < 0 || dup2(fileno(caught_), STDERR_FILENO) < 0) {
        if (saved_ >= 0)
            close(saved_);
        saved_ = -1;
        std::fclose(caught_);
        caught_ = nullptr;
    }
}

StderrCatch::~StderrCatch() {
    restore();
    if (caught_ != nullptr)
        std::fclose(caught_);
}

void StderrCatch::keep() {
    if (!restore())
        return;
    std::rewind(caught_);
    char text[4096];
    for (std::size_t n; (n = std::fread(text, 1, sizeof text, caught_)) > 0;)
        std::fwrite(text, 1, n, stderr);
}

bool StderrCatch::restore() {
    if (saved_ < 0)
        return false;
    std::fflush(stderr);
    const bool back = dup2(saved_, STDERR_FILENO) >= 0;
    close(saved_);
    saved_ = -1;
    return back;
}

} // namespace vexlo::soundback
