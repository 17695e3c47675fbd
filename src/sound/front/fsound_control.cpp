// Pause and mute (sound_control.h): kept here, and handed to the back end
// whenever the device is open.
#include "sound/front/fsound_state.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/front/sound_control.h"

using namespace vexlo::soundfront;

namespace {

void hold() {
    const LayerState& s = layer();
    if (s.initialised)
        vexlo::soundback::holdOutput(s.paused, s.muted);
}

} // namespace

void soundLayerSetPaused(bool paused) {
    layer().paused = paused;
    hold();
}

void soundLayerSetMuted(bool muted) {
    layer().muted = muted;
    hold();
}
