// The audio device: opening it (or a silent stand-in when the machine has
// none), closing it, the error code and the call trace.
#include "sound/fsound_state.h"

#include <SDL.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
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

// Runs probe with the process's stderr caught in a temporary file. Sound
// back ends write pages of diagnostics there when a machine has no sound
// card; those are dropped when probe fails (the caller says so in one
// line instead) and passed on when it succeeds.
bool withStderrCaught(const std::function<bool()>& probe) {
    std::FILE* caught = std::tmpfile();
    const int saved = caught ? dup(STDERR_FILENO) : -1;
    if (saved < 0) {
        if (caught) std::fclose(caught);
        return probe();
    }
    std::fflush(stderr);
    dup2(fileno(caught), STDERR_FILENO);
    const bool ok = probe();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    if (ok) {
        std::rewind(caught);
        char text[4096];
        for (std::size_t n; (n = std::fread(text, 1, sizeof text, caught)) > 0;) std::fwrite(text, 1, n, stderr);
    }
    std::fclose(caught);
    return ok;
}

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
    if (mixrate < 4000 || mixrate > 192000 || maxchannels < 0 || maxchannels > 4096) {
        fail(SoundErrInvalidParam);
        return 0;
    }
    std::string why;
    if (!withStderrCaught([&] { return openDevice(mixrate, why); })) {
        std::fprintf(stderr, "sound: no audio device (%s); the game plays silently\n", why.c_str());
        if (!openSilentDevice(mixrate)) {
            fail(SoundErrDevice);
            return 0;
        }
    }
    Mix_Init(MIX_INIT_MP3);
    Mix_AllocateChannels(maxchannels);
    int rate = mixrate, channels = 2;
    Uint16 format = AUDIO_S16SYS;
    Mix_QuerySpec(&rate, &format, &channels);
    s.deviceRate = rate;
    s.sampleChannels = maxchannels;
    s.initialised = true;
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
