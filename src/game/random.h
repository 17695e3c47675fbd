// The game's own pseudo-random numbers: the same sequence on every platform
// and compiler, so that a game replays exactly anywhere. Never seeded.
#pragma once

#include <cstdint>

namespace vexlo {

// 0 .. 32767.
int rand();

// The generator's state, for tests that need to restart the sequence.
void setRandomState(std::uint32_t state);

} // namespace vexlo
