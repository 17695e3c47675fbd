#include "launch/desktop/start_checks.h"

#include "display/sdl/video.h"
#include "game/run_game.h"
#include "ptc/ptc.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace vexlo {

namespace {

constexpr std::string_view OwnName = "vexlo-race: ";

// The loader says why on stderr; in glibc stderr is a variable a program
// may set, so its line is caught for the box without touching the loader.
bool loadCatchingLine(std::string& line) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* caught = open_memstream(&text, &size);
    if (caught == nullptr)
        return loadPictures(); // the line goes straight to stderr
    std::FILE* saved = stderr;
    stderr = caught;
    const bool loaded = loadPictures();
    stderr = saved;
    std::fclose(caught);
    line.assign(text, size);
    std::free(text);
    return loaded;
}

} // namespace

bool picturesReadable() {
    std::string line;
    if (loadCatchingLine(line))
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
