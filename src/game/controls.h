// The player's controls: key events from the toolkit become changes of the
// game state.
#pragma once

#include "ptc/ptc.h"

#include <memory>

namespace vexlo {

// The keys the game reads; their codes are the toolkit's.
using ptc::KeyDown;
using ptc::KeyEscape;
using ptc::KeyLeft;
using ptc::KeyRight;
using ptc::KeyUp;

// Blocks until the display has a key event and returns it as a new event.
std::unique_ptr<ptc::KeyEvent> readKey(ptc::Display& display);

// Applies one key code: Escape clears running; the arrows steer and change
// the speed, within bounds, unless a crash is running.
void applyKey(int code, int& running);

} // namespace vexlo
