// The desktop's audio device over SDL2_mixer: opening it (or a silent
// stand-in when the machine has none), closing it, pause and mute.
#include "sound/back_end/sdl/sdl_output.h"
#include "sound/back_end/sdl/stderr_catch.h"
#include "sound/back_end/sound_back_end.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace vexlo::soundback {

Output& output() {
    static Output state;
    return state;
}

void applyHold() {
    const Output& out = output();
    const int volume = out.muted ? 0 : MIX_MAX_VOLUME;
    Mix_Volume(-1, volume);
    Mix_VolumeMusic(volume);
    if (out.paused) {
        Mix_Pause(-1);
        Mix_PauseMusic();
    } else {
        Mix_Resume(-1);
        Mix_ResumeMusic();
    }
}

// SDL reports its allocation failures with this text.
int decoderError() { return std::strstr(Mix_GetError(), "Out of memory") ? SoundErrMemory : SoundErrFileBad; }

} // namespace vexlo::soundback

namespace {

using namespace vexlo::soundback;

// Frames per mixing buffer: about 23 ms at 44.1 kHz, short enough for the
// explosion to follow the crash at once.
constexpr int BufferFrames = 1024;

// Only the audio part of SDL is started and stopped here: the display
// uses SDL video in the same process and must not be disturbed.
bool openAudio(int rate, std::string& why) {
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

// SDL's "dummy" driver consumes the audio at the real pace and plays it
// nowhere, so music and effects behave as usual, only unheard.
bool openSilentAudio(int rate) {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    std::string ignored;
    const bool opened = openAudio(rate, ignored);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return opened;
}

void closeAudio() {
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace

namespace vexlo::soundback {

int openDevice(int rate, int channels) {
    std::string why;
    bool opened = false;
    {
        StderrCatch diagnostics;
        opened = openAudio(rate, why);
        if (opened)
            diagnostics.keep();
    }
    if (!opened) {
        std::fprintf(stderr, "vexlo-race: no audio device (%s); the game plays silently\n", why.c_str());
        if (!openSilentAudio(rate))
            return SoundErrDevice;
    }
    // Without an MP3 decoder the music and the other sounds still play.
    if ((Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) == 0)
        std::fprintf(stderr, "vexlo-race: no MP3 decoding (%s); MP3 files will not load\n", Mix_GetError());
    if (Mix_AllocateChannels(channels) != channels) {
        closeAudio();
        return SoundErrMemory;
    }
    // The device was opened with no changes allowed, so it runs at the rate
    // asked for; the query only confirms it.
    int actual = rate, outputs = 2;
    Uint16 format = AUDIO_S16SYS;
    output().rate = Mix_QuerySpec(&actual, &format, &outputs) == 0 ? rate : actual;
    return SoundOk;
}

void closeDevice() {
    Mix_HaltChannel(-1);
    closeAudio();
    output().rate = 0;
}

void holdOutput(bool paused, bool muted) {
    output().paused = paused;
    output().muted = muted;
    applyHold();
}

} // namespace vexlo::soundback
