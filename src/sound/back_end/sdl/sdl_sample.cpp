// Samples on the desktop: MPEG effects decoded whole by SDL_mixer, played
// on its mixing channels.
#include "sound/back_end/sdl/sdl_output.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/files/sound_files.h"

#include <SDL_mixer.h>

#include <future>
#include <new>
#include <system_error>
#include <vector>

// A sample whose file has passed its check is decoded on a thread of its
// own while the window opens (SDL_mixer holds its audio lock meanwhile;
// nothing plays yet); the first call that needs it waits for it.
struct FSOUND_SAMPLE {
    Mix_Chunk* chunk = nullptr;
    struct Decoded {
        Mix_Chunk* chunk = nullptr;
        int error = SoundOk;
    };
    std::future<Decoded> decoding;
    int undecoded = SoundOk; // why decoding failed, once it has
};

namespace vexlo::soundback {

int loadSample(const std::string& path, FSOUND_SAMPLE*& sample) {
    std::vector<std::uint8_t> bytes;
    if (const int error = soundfiles::readCheckedFile(path, soundfiles::checkMpeg, bytes))
        return error;
    auto* loaded = new (std::nothrow) FSOUND_SAMPLE;
    if (!loaded)
        return SoundErrMemory;
    try {
        loaded->decoding = std::async(std::launch::async, [bytes = std::move(bytes)] {
            FSOUND_SAMPLE::Decoded decoded;
            decoded.chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), 1);
            if (!decoded.chunk)
                decoded.error = soundback::decoderError(); // SDL's error text is the thread's own
            return decoded;
        });
    } catch (const std::exception&) { // no memory, or no thread to decode on
        delete loaded;
        return SoundErrMemory;
    }
    sample = loaded;
    return SoundOk;
}

// A sample that could not be decoded says why at every call.
int sampleReady(FSOUND_SAMPLE* sample) {
    if (sample->decoding.valid()) {
        const FSOUND_SAMPLE::Decoded decoded = sample->decoding.get();
        sample->chunk = decoded.chunk;
        sample->undecoded = decoded.error;
    }
    return sample->chunk ? SoundOk : sample->undecoded;
}

int playSample(FSOUND_SAMPLE* sample, int& channel) {
    const int used = Mix_PlayChannel(channel, sample->chunk, 0);
    if (used < 0)
        return channel == SoundAnyChannel ? SoundErrNoChannel : SoundErrPlay;
    if (soundback::output().paused)
        Mix_Pause(used);
    channel = used;
    return SoundOk;
}

void freeSample(FSOUND_SAMPLE* sample) {
    if (sample->decoding.valid())
        sample->chunk = sample->decoding.get().chunk;
    Mix_FreeChunk(sample->chunk); // also stops the channels playing it
    delete sample;
}

} // namespace vexlo::soundback
