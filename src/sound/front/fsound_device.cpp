// The layer's state, its checks and its handles; opening and closing the
// device, the error code and the call trace.
#include "sound/front/fsound_state.h"
#include "sound/back_end/sound_back_end.h"

namespace back = vexlo::soundback;

namespace vexlo::soundfront {

LayerState& layer() {
    static LayerState state;
    return state;
}

void traceCall(const char* name) {
    if (layer().trace)
        layer().trace(name);
}

void fail(int code) { layer().error = code; }

bool succeeded(int code) {
    if (code == SoundOk)
        return true;
    fail(code);
    return false;
}

bool requireInit() {
    if (layer().initialised)
        return true;
    fail(SoundErrNotInit);
    return false;
}

bool requireName(const char* name) {
    if (name)
        return true;
    fail(SoundErrInvalidParam);
    return false;
}

void stopMusicLine() {
    LayerState& s = layer();
    if (s.playingModule)
        back::stopModule(s.playingModule);
    if (s.playingStream)
        back::stopStream(s.playingStream);
    s.playingModule = nullptr;
    s.playingStream = nullptr;
}

namespace {

// Forgets a live handle and frees it, stopping the music line first when
// it plays there.
template <typename Handle>
void destroy(std::set<Handle*>& live, Handle* handle, bool playing, void (*free)(Handle*)) {
    if (playing)
        stopMusicLine();
    live.erase(handle);
    free(handle);
}

} // namespace

void destroyModule(FMUSIC_MODULE* module) {
    destroy(layer().modules, module, layer().playingModule == module, back::freeModule);
}

void destroyStream(FSOUND_STREAM* stream) {
    destroy(layer().streams, stream, layer().playingStream == stream, back::freeStream);
}

void destroySample(FSOUND_SAMPLE* sample) { destroy(layer().samples, sample, false, back::freeSample); }

} // namespace vexlo::soundfront

using namespace vexlo::soundfront;

signed char FSOUND_Init(int mixrate, int maxchannels, unsigned int /*flags*/) {
    traceCall("FSOUND_Init");
    LayerState& s = layer();
    if (s.initialised) {
        fail(SoundErrAlreadyInit);
        return 0;
    }
    if (mixrate < SoundMinRate || mixrate > SoundMaxRate || maxchannels < 0 || maxchannels > SoundMaxChannels) {
        fail(SoundErrInvalidParam);
        return 0;
    }
    if (!succeeded(back::openDevice(mixrate, maxchannels)))
        return 0;
    s.sampleChannels = maxchannels;
    s.initialised = true;
    back::holdOutput(s.paused, s.muted);
    return 1;
}

void FSOUND_Close() {
    traceCall("FSOUND_Close");
    LayerState& s = layer();
    if (!s.initialised)
        return;
    stopMusicLine();
    while (!s.modules.empty())
        destroyModule(*s.modules.begin());
    while (!s.streams.empty())
        destroyStream(*s.streams.begin());
    while (!s.samples.empty())
        destroySample(*s.samples.begin());
    back::closeDevice();
    s.initialised = false;
    s.sampleChannels = 0;
}

int FSOUND_GetError() {
    traceCall("FSOUND_GetError");
    return layer().error;
}

void soundLayerSetTrace(void (*trace)(const char* call)) { layer().trace = trace; }
