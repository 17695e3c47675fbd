// What the desktop back end's files share: the open device's rate, and the
// pause and the mute, which the module renderer reads on SDL's audio
// thread.
#pragma once

#include <atomic>

namespace vexlo::soundback {

struct Output {
    int rate = 0; // 0 while the device is closed
    std::atomic<bool> paused{false};
    std::atomic<bool> muted{false};
};

Output& output();

// Puts the pause and the mute into effect on the mixer's channels and its
// music line. A module plays through a hook of our own, which SDL_mixer
// neither pauses nor turns down: its renderer reads the two flags itself.
void applyHold();
// The error code for SDL_mixer's last decoding failure on this thread.
int decoderError();

} // namespace vexlo::soundback
