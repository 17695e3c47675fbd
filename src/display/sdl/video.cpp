#include "display/sdl/video.h"

#include "ptc/ptc.h"
#include "display/sdl/environment.h"

#include <SDL.h>

#include <cstdlib>
#include <string>

namespace ptc::sdl {

namespace {

constexpr Uint32 Subsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

void startVideo() {
    if (!displayChosen())
        throw DynamicError("no display: set DISPLAY or WAYLAND_DISPLAY");
    if (SDL_InitSubSystem(Subsystems) != 0)
        throw DynamicError(std::string("cannot start SDL video: ") + SDL_GetError());
    // SDL falls back on an invisible driver when the display named cannot
    // be reached; one picked on purpose (SDL_VIDEODRIVER) is the user's.
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver != nullptr ? driver : "";
    if (hasVariable("SDL_VIDEODRIVER") || (name != "offscreen" && name != "dummy"))
        return;
    SDL_QuitSubSystem(Subsystems);
    std::string named = hasVariable("DISPLAY") ? "DISPLAY=" + variable("DISPLAY") : "";
    if (hasVariable("WAYLAND_DISPLAY"))
        named += (named.empty() ? "WAYLAND_DISPLAY=" : " nor WAYLAND_DISPLAY=") + variable("WAYLAND_DISPLAY");
    throw DynamicError("cannot reach the display (" + named + ")");
}

void stopVideo() { SDL_QuitSubSystem(Subsystems); }

} // namespace ptc::sdl
