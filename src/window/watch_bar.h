// The bar the window shows over the bottom of the picture while a run is
// watched on the desktop: the speed, the updates played out of the run's
// total (as words and as a line that fills), and the keys that change the
// speed or skip to the crash. It is the window's, as the pause picture is:
// drawn into a copy of the frame, never into the game's own picture.
#pragma once

#include "ptc/ptc.h"
#include "window/watch_speed.h"

#include <cstdint>
#include <string>

namespace ptc::window {

// The bar's rows, at the bottom of the frame.
constexpr int WatchBarTop = DisplayHeight - 11;

// What the bar says, as words: "x8  1234/1670" then the keys.
std::string watchBarWords(const WatchState& state);

// frame and out each hold DisplayWidth x DisplayHeight pixels; out is the
// frame with the bar over its bottom rows.
void drawWatchBar(const std::uint32_t* frame, std::uint32_t* out, const WatchState& state);

} // namespace ptc::window
