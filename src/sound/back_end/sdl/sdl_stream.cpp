// Streams on the desktop: MPEG or WAV music decoded by SDL_mixer from the
// file while it plays, on the mixer's music line.
#include "sound/back_end/sdl/sdl_output.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/files/sound_files.h"

#include <SDL_mixer.h>

#include <new>

struct FSOUND_STREAM {
    Mix_Music* music = nullptr;
};

namespace vexlo::soundback {

int openStream(const std::string& path, StreamFormat format, FSOUND_STREAM*& stream) {
    namespace files = vexlo::soundfiles;
    const bool mpeg = format == StreamFormat::Mpeg;
    if (const int error = files::checkFile(path, mpeg ? files::checkMpeg : files::checkWav))
        return error;
    SDL_RWops* rw = SDL_RWFromFile(path.c_str(), "rb");
    if (!rw)
        return SoundErrFileBad;
    Mix_Music* music = Mix_LoadMUSType_RW(rw, mpeg ? MUS_MP3 : MUS_WAV, 1);
    if (!music)
        return soundback::decoderError();
    stream = new (std::nothrow) FSOUND_STREAM{music};
    if (stream)
        return SoundOk;
    Mix_FreeMusic(music);
    return SoundErrMemory;
}

int startStream(FSOUND_STREAM* stream) {
    if (Mix_PlayMusic(stream->music, 0) != 0)
        return SoundErrPlay;
    soundback::applyHold(); // a stream started while paused waits
    return SoundOk;
}

void stopStream(FSOUND_STREAM* /*stream*/) { Mix_HaltMusic(); }

void freeStream(FSOUND_STREAM* stream) {
    Mix_FreeMusic(stream->music);
    delete stream;
}

} // namespace vexlo::soundback
