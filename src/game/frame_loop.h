// One frame of play: keys, drawing, the crash countdown (with the game-over
// screen at its end), showing the frame, then scroll, score, traffic and
// spawning.
#pragma once

#include "ptc/ptc.h"

namespace vexlo {

void playFrame(ptc::Surface& surface, ptc::Display& display, int& running);

} // namespace vexlo
