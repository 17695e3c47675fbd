// What the sound layer's source files share: the one device state, the
// error code, the call trace and the bookkeeping of live handles.
#pragma once

#include "sound/fsound.h"

#include <SDL_mixer.h>

#include <atomic>
#include <future>
#include <memory>
#include <ostream>
#include <set>

namespace openmpt {
class module;
}

// A module or sample whose file has passed its checks is decoded on a
// thread of its own while the game goes on starting (the window opens in
// the meantime); the first call that needs it waits for it. Declared last,
// so that an unfinished decoding is waited for before the rest goes.
struct FMUSIC_MODULE {
    // Where the module loader's warnings go: nowhere. It keeps writing to
    // this stream while the module lives, so the stream lives beside it.
    std::ostream log{nullptr};
    std::unique_ptr<openmpt::module> module;
    int rate = 44100;  // device rate the module renders at
    std::future<std::unique_ptr<openmpt::module>> making;
    int unmade = SoundErrFileBad;  // why making failed, once it has
};

struct FSOUND_STREAM {
    Mix_Music* music = nullptr;
};

struct FSOUND_SAMPLE {
    Mix_Chunk* chunk = nullptr;
    struct Decoded {
        Mix_Chunk* chunk = nullptr;
        int error = SoundOk;
    };
    std::future<Decoded> decoding;
    int undecoded = SoundOk;  // why decoding failed, once it has
};

namespace vexlo::soundlayer {

struct LayerState {
    bool initialised = false;
    int error = SoundOk;
    int deviceRate = 0;
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
    // Set by sound_control.h; read by the module renderer on the audio
    // thread, hence atomic.
    std::atomic<bool> paused{false};
    std::atomic<bool> muted{false};
};

LayerState& layer();

// Passes the call's name to the trace, when one is set.
void traceCall(const char* name);
// Records code as the current error.
void fail(int code);
// True when FSOUND_Init has succeeded; otherwise records error 2.
bool requireInit();

// Puts the pause and the mute into effect on the mixer's channels and
// music line (the module renderer reads them itself).
void applyPauseAndMute();
// Stops whatever plays on the music line (module or stream).
void stopMusicLine();
// Frees a module / stream / sample and forgets it; the handle must be live.
void destroyModule(FMUSIC_MODULE* module);
void destroyStream(FSOUND_STREAM* stream);
void destroySample(FSOUND_SAMPLE* sample);

} // namespace vexlo::soundlayer
