// Translation of SDL's keys into the key codes the game reads: the
// virtual-key numbering of Windows desktops (Escape 27, arrows 37 to 40,
// letters by their capital, digits by their character, F1 = 112 ...).
#pragma once

#include "ptc/ptc.h"

#include <SDL.h>

namespace ptc::sdl {

// The code for a key, or 0 for a key that has none.
int keyCode(const SDL_Keysym& key);

} // namespace ptc::sdl
