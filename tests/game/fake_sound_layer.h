// A stand-in for the sound library that records the calls made to it, so
// that the game's flow can be checked without audio.
#pragma once

#include <string>
#include <vector>

namespace fake_sound {

struct Settings {
    signed char playSongResult = 1;
};

void reset(Settings settings = {});
const std::vector<std::string>& calls();

} // namespace fake_sound
