// Pause and mute (sound_control.h). The mixer's channels and its music
// line are paused and silenced through SDL_mixer; a module plays through a
// hook of our own, which SDL_mixer neither pauses nor turns down, so its
// renderer reads the two flags itself.
#include "sound/fsound_state.h"
#include "sound/sound_control.h"

namespace vexlo::soundlayer {

void applyPauseAndMute() {
    const LayerState& s = layer();
    if (!s.initialised)
        return;
    const int volume = s.muted ? 0 : MIX_MAX_VOLUME;
    Mix_Volume(-1, volume);
    Mix_VolumeMusic(volume);
    if (s.paused) {
        Mix_Pause(-1);
        Mix_PauseMusic();
    } else {
        Mix_Resume(-1);
        Mix_ResumeMusic();
    }
}

} // namespace vexlo::soundlayer

void soundLayerSetPaused(bool paused) {
    vexlo::soundlayer::layer().paused = paused;
    vexlo::soundlayer::applyPauseAndMute();
}

void soundLayerSetMuted(bool muted) {
    vexlo::soundlayer::layer().muted = muted;
    vexlo::soundlayer::applyPauseAndMute();
}
