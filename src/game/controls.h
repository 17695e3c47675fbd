// The player's controls: key events from the toolkit become changes of the
// game state.
#pragma once

#include "display/ptc.h"

#include <memory>

namespace vexlo {

constexpr int KeyEscape = 27;
constexpr int KeyLeft = 37;
constexpr int KeyUp = 38;
constexpr int KeyRight = 39;
constexpr int KeyDown = 40;

// Blocks until the display has a key event and returns it as a new event.
std::unique_ptr<ptc::KeyEvent> readKey(ptc::Display& display);

// Applies one key code: Escape clears running; the arrows steer and change
// the speed, within bounds, unless a crash is running.
void applyKey(int code, int& running);

} // namespace vexlo
