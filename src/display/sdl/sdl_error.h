// How the SDL window reports what SDL refused: what we were doing, then
// SDL's own words for why.
#pragma once

#include "ptc/ptc.h"

#include <SDL.h>

#include <string>

namespace ptc::sdl {

[[noreturn]] inline void failWithSdlError(const std::string& what) {
    throw DynamicError(what + ": " + SDL_GetError());
}

} // namespace ptc::sdl
