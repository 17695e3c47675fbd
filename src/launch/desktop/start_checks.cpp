#include "launch/desktop/start_checks.h"

#include "launch/desktop/stderr_catch.h"

#include "display/sdl/video.h"
#include "game/run_game.h"
#include "ptc/ptc.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace vexlo {

namespace {

constexpr std::string_view OwnName = "vexlo-race: ";

} // namespace

bool picturesReadable() {
    std::string line;
    if (catchStderr(loadPictures, line))
        return true;
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (line.rfind(OwnName, 0) == 0)
        line.erase(0, OwnName.size());
    if (!line.empty())
        ptc::DynamicError(line).report();
    return false;
}

DisplayHold::~DisplayHold() {
    if (started_)
        ptc::sdl::stopVideo();
}

bool DisplayHold::start() {
    try {
        ptc::sdl::startVideo();
    } catch (const ptc::DynamicError& error) {
        error.report();
        return false;
    }
    started_ = true;
    return true;
}

} // namespace vexlo
