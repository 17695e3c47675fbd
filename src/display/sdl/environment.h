// What the environment says about where windows can be shown.
#pragma once

#include <cstdlib>

namespace ptc::sdl {

inline bool hasVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A display server the user's session points at. On Windows the desktop
// is always there.
inline bool displayServerNamed() {
#ifdef _WIN32
    return true;
#else
    return hasVariable("DISPLAY") || hasVariable("WAYLAND_DISPLAY");
#endif
}

// Somewhere to open the window: a display server, or a video driver the
// user picked on purpose (a console driver, or the dummy one for tests).
inline bool displayChosen() { return displayServerNamed() || hasVariable("SDL_VIDEODRIVER"); }

} // namespace ptc::sdl
