#include "launch/desktop/start_checks.h"

#include "display/ptc.h"
#include "display/sdl/environment.h"
#include "render/image_assets.h"

#include <SDL.h>

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
        return loadAssets() != 0;  // the line goes straight to stderr
    std::FILE* saved = stderr;
    stderr = caught;
    const bool loaded = loadAssets() != 0;
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
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool DisplayHold::start() {
    // The window's own checks, in its words (display/sdl/sdl_window.cpp).
    const std::string noDisplay = "no display: set DISPLAY or WAYLAND_DISPLAY";
    if (!ptc::sdl::displayChosen()) {
        ptc::DynamicError(noDisplay).report();
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        ptc::DynamicError(std::string("cannot start SDL video: ") + SDL_GetError()).report();
        return false;
    }
    started_ = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver != nullptr ? driver : "";
    // SDL falls back on an invisible driver when the display named cannot
    // be reached.
    if (!ptc::sdl::hasVariable("SDL_VIDEODRIVER") && (name == "offscreen" || name == "dummy")) {
        const char* x11 = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        std::string named = x11 != nullptr && *x11 != '\0' ? std::string("DISPLAY=") + x11 : "";
        if (wayland != nullptr && *wayland != '\0')
            named += (named.empty() ? "WAYLAND_DISPLAY=" : " nor WAYLAND_DISPLAY=") + std::string(wayland);
        ptc::DynamicError("cannot reach the display (" + named + ")").report();
        return false;
    }
    return true;
}

} // namespace vexlo
