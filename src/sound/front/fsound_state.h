// What the front end's source files share: the layer's one state record,
// the checks every call makes and the bookkeeping of live handles. The
// same on every platform; what plays is the back end's (sound_back_end.h).
#pragma once

#include "sound/fsound.h"

#include <new>
#include <set>

namespace vexlo::soundfront {

struct LayerState {
    bool initialised = false;
    int error = SoundOk;
    int sampleChannels = 0;
    // Only handles in these sets are accepted; a freed or foreign pointer
    // is reported as an invalid parameter instead of being touched.
    std::set<FMUSIC_MODULE*> modules;
    std::set<FSOUND_STREAM*> streams;
    std::set<FSOUND_SAMPLE*> samples;
    // What plays on the music line, at most one of the two.
    FMUSIC_MODULE* playingModule = nullptr;
    FSOUND_STREAM* playingStream = nullptr;
    void (*trace)(const char*) = nullptr;
    // Set by sound_control.h, at any time.
    bool paused = false;
    bool muted = false;
};

LayerState& layer();

// Passes the call's name to the trace, when one is set.
void traceCall(const char* name);
// Records code as the current error.
void fail(int code);
// True for 0; any other code is recorded as the current error.
bool succeeded(int code);
// True when FSOUND_Init has succeeded; otherwise records error 2.
bool requireInit();
// True for a file name; null is error 15.
bool requireName(const char* name);

// True when handle is one of live; otherwise records error 15.
template <typename Handle>
bool isLive(const std::set<Handle*>& live, Handle* handle) {
    if (live.count(handle))
        return true;
    fail(SoundErrInvalidParam);
    return false;
}

// Makes a new handle live, or frees it (with free) when even that fails.
template <typename Handle>
Handle* keep(std::set<Handle*>& live, Handle* handle, void (*free)(Handle*)) {
    try {
        live.insert(handle);
        return handle;
    } catch (const std::bad_alloc&) {
        free(handle);
        fail(SoundErrMemory);
        return nullptr;
    }
}

// Stops whatever plays on the music line (module or stream).
void stopMusicLine();
// Frees a module / stream / sample and forgets it; the handle must be live.
void destroyModule(FMUSIC_MODULE* module);
void destroyStream(FSOUND_STREAM* stream);
void destroySample(FSOUND_SAMPLE* sample);

} // namespace vexlo::soundfront
