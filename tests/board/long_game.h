// Key scripts of long games, for the tests of verification under load: a
// car that steps out of the way of every car that would touch it.
#pragma once

#include <string>

namespace board_test {

// A game that dodges for `frames` frames of play, then lets the traffic
// come; `variant` moves the car somewhere else at the start, so that each
// variant is a game of its own. Empty if no plan is found.
std::string longGame(long frames, int variant = 0);

} // namespace board_test
