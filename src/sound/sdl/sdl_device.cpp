// The audio device: opening it (or a silent stand-in when the machine has
// none), closing it, the error code and the call trace.
#include "sound/fsound_state.h"

#include <SDL.h>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace vexlo::soundlayer {

LayerState& layer() {
    static LayerState state;
    return state;
}

void traceCall(const char* name) {
    if (layer().trace) layer().trace(name);
}

void fail(int code) { layer().error = code; }

bool requireInit() {
    if (layer().initialised) return true;
    fail(SoundErrNotInit);
    return false;
}

void stopMusicLine() {
    LayerState& s = layer();
    if (s.playingModule) {
        Mix_HookMusic(nullptr, nullptr);  // waits for the mixer to let go of the module
        s.playingModule = nullptr;
    }
    if (s.playingStream) {
        Mix_HaltMusic();
        s.playingStream = nullptr;
    }
}

} // namespace vexlo::soundlayer

namespace {

using namespace vexlo::soundlayer;

// Frames per mixing buffer: about 23 ms at 44.1 kHz, short enough for the
// explosion to follow the crash at once.
constexpr int BufferFrames = 1024;

// Only the audio part of SDL is started and stopped here: the display
// uses SDL video in the same process and must not be disturbed.
bool openDevice(int rate, std::string& why) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = SDL_GetError();
        return false;
    }
    // No format changes allowed: SDL converts for the hardware, so the
    // mixer (and the module renderer) always works in 16-bit stereo.
    if (Mix_OpenAudioDevice(rate, AUDIO_S16SYS, 2, BufferFrames, nullptr, 0) != 0) {
        why = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    return true;
}

// The process's stderr caught in a temporary file for as long as the guard
// lives; put back however the guard is left, an exception included. Sound
// back ends write pages of diagnostics there when a machine has no sound
// card; keep() passes what was caught on, and otherwise it is dropped (the
// caller says what went wrong in one line instead). When stderr cannot be
// caught nothing is: the writes go through as usual.
class StderrCatch {
public:
    StderrCatch() {
        caught_ = std::tmpfile();
        if (caught_ == nullptr)
            return;
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        if (saved_ < 0 || dup2(fileno(caught_), STDERR_FILENO) < 0) {
            if (saved_ >= 0)
                close(saved_);
            saved_ = -1;
            std::fclose(caught_);
            caught_ = nullptr;
        }
    }
    StderrCatch(const StderrCatch&) = delete;
    StderrCatch& operator=(const StderrCatch&) = delete;
    ~StderrCatch() {
        restore();
        if (caught_ != nullptr)
            std::fclose(caught_);
    }

    // Puts stderr back and writes what was caught there.
    void keep() {
        if (!restore())
            return;
        std::rewind(caught_);
        char text[4096];
        for (std::size_t n; (n = std::fread(text, 1, sizeof text, caught_)) > 0;)
            std::fwrite(text, 1, n, stderr);
    }

private:
    // True when stderr was caught and is now back where it was.
    bool restore() {
        if (saved_ < 0)
            return false;
        std::fflush(stderr);
        const bool back = dup2(saved_, STDERR_FILENO) >= 0;
        close(saved_);
        saved_ = -1;
        return back;
    }

    std::FILE* caught_ = nullptr;
    int saved_ = -1;
};

// SDL's "dummy" driver consumes the audio at the real pace and plays it
// nowhere, so music and effects behave as usual, only unheard.
bool openSilentDevice(int rate) {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    std::string ignored;
    const bool opened = openDevice(rate, ignored);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return opened;
}

} // namespace

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
    std::string why;
    bool opened = false;
    {
        StderrCatch diagnostics;
        opened = openDevice(mixrate, why);
        if (opened)
            diagnostics.keep();
    }
    if (!opened) {
        std::fprintf(stderr, "sound: no audio device (%s); the game plays silently\n", why.c_str());
        if (!openSilentDevice(mixrate)) {
            fail(SoundErrDevice);
            return 0;
        }
    }
    // Without an MP3 decoder the music and the other sounds still play.
    if ((Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) == 0)
        std::fprintf(stderr, "sound: no MP3 decoding (%s); MP3 files will not load\n", Mix_GetError());
    if (Mix_AllocateChannels(maxchannels) != maxchannels) {
        Mix_CloseAudio();
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        fail(SoundErrMemory);
        return 0;
    }
    // The device was opened with no changes allowed, so it runs at the rate
    // asked for; the query only confirms it.
    int rate = mixrate, channels = 2;
    Uint16 format = AUDIO_S16SYS;
    if (Mix_QuerySpec(&rate, &format, &channels) == 0)
        rate = mixrate;
    s.deviceRate = rate;
    s.sampleChannels = maxchannels;
    s.initialised = true;
    applyPauseAndMute();
    return 1;
}

void FSOUND_Close() {
    traceCall("FSOUND_Close");
    LayerState& s = layer();
    if (!s.initialised) return;
    stopMusicLine();
    Mix_HaltChannel(-1);
    while (!s.modules.empty()) destroyModule(*s.modules.begin());
    while (!s.streams.empty()) destroyStream(*s.streams.begin());
    while (!s.samples.empty()) destroySample(*s.samples.begin());
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s.initialised = false;
    s.deviceRate = 0;
    s.sampleChannels = 0;
}

int FSOUND_GetError() {
    traceCall("FSOUND_GetError");
    return layer().error;
}

void soundLayerSetTrace(void (*trace)(const char* call)) { layer().trace = trace; }
