// A run of the game without a window, for the desktop's entry: a key script
// played as the replay tool plays it (replay/scripted_run.h), unpaced and
// unseen. A watched run is played so first, to know its total and its crash
// before it is shown (window/watch_speed.h).
#pragma once

#include "replay/scripted_run.h"

namespace ptc::sdl {

// The next Display plays this script, opens no window and shows nothing.
void playUnseen(replay::RunScript script);

} // namespace ptc::sdl
