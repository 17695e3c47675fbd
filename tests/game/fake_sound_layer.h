// A stand-in for what the sound library plays on, under the library's own
// front end, that records the calls made to the library, so that the
// game's flow can be checked without audio or sound files.
#pragma once

#include <string>
#include <vector>

namespace fake_sound {

struct Settings {
    // 1: FMUSIC_PlaySong starts the music; anything else: it refuses (-1).
    signed char playSongResult = 1;
};

// Closes the layer if a run left it open and starts a new record.
void reset(Settings settings = {});
const std::vector<std::string>& calls();

} // namespace fake_sound
