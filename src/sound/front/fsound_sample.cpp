// Samples: MPEG effects played once on the mixing channels.
#include "sound/front/fsound_state.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/files/sound_files.h"

namespace back = vexlo::soundback;
using namespace vexlo::soundfront;

FSOUND_SAMPLE* FSOUND_Sample_LoadMpeg(int /*index*/, const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Sample_LoadMpeg");
    if (!requireInit() || !requireName(name))
        return nullptr;
    FSOUND_SAMPLE* sample = nullptr;
    if (!succeeded(back::loadSample(vexlo::soundfiles::normalisePath(name), sample)))
        return nullptr;
    return keep(layer().samples, sample, back::freeSample);
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
    traceCall("FSOUND_PlaySound");
    const LayerState& s = layer();
    if (!requireInit() || !isLive(s.samples, sample) || !succeeded(back::sampleReady(sample)))
        return -1;
    if (channel < SoundAnyChannel || channel >= s.sampleChannels) {
        fail(SoundErrInvalidParam);
        return -1;
    }
    int used = channel;
    return succeeded(back::playSample(sample, used)) ? used : -1;
}
