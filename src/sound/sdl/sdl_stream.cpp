// Streams (MPEG or WAV music decoded while it plays, on SDL_mixer's music
// line) and samples (MPEG effects decoded whole, on the mixing channels).
#include "sound/fsound_state.h"
#include "sound/sound_files.h"

#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

using namespace vexlo::soundlayer;
namespace files = vexlo::soundfiles;

namespace {

// SDL reports its allocation failures with this text.
int decoderError() {
    return std::strstr(Mix_GetError(), "Out of memory") ? SoundErrMemory : SoundErrFileBad;
}

FSOUND_STREAM* openStream(const char* name, int (*check)(const files::ByteSource&),
                          Mix_MusicType type) {
    if (!requireInit()) return nullptr;
    if (!name) {
        fail(SoundErrInvalidParam);
        return nullptr;
    }
    const std::string path = files::normalisePath(name);
    {
        files::FileSource file;
        int error = file.open(path);
        if (!error) error = check(file);
        if (error) {
            fail(error);
            return nullptr;
        }
    }
    SDL_RWops* rw = SDL_RWFromFile(path.c_str(), "rb");
    if (!rw) {
        fail(SoundErrFileBad);
        return nullptr;
    }
    Mix_Music* music = Mix_LoadMUSType_RW(rw, type, 1);
    if (!music) {
        fail(decoderError());
        return nullptr;
    }
    auto* stream = new (std::nothrow) FSOUND_STREAM{music};
    try {
        if (!stream) throw std::bad_alloc();
        layer().streams.insert(stream);
        return stream;
    } catch (const std::bad_alloc&) {
        delete stream;
        Mix_FreeMusic(music);
        fail(SoundErrMemory);
        return nullptr;
    }
}

bool isLive(FSOUND_STREAM* stream) {
    if (layer().streams.count(stream)) return true;
    fail(SoundErrInvalidParam);
    return false;
}

bool isLive(FSOUND_SAMPLE* sample) {
    if (layer().samples.count(sample)) return true;
    fail(SoundErrInvalidParam);
    return false;
}

// Waits for the sample's decoding, if it is still on its way. A sample
// that could not be decoded says why at every call.
bool isDecoded(FSOUND_SAMPLE* sample) {
    if (sample->decoding.valid()) {
        const FSOUND_SAMPLE::Decoded decoded = sample->decoding.get();
        sample->chunk = decoded.chunk;
        sample->undecoded = decoded.error;
    }
    if (!sample->chunk) fail(sample->undecoded);
    return sample->chunk != nullptr;
}

} // namespace

namespace vexlo::soundlayer {

void destroyStream(FSOUND_STREAM* stream) {
    if (layer().playingStream == stream) stopMusicLine();
    Mix_FreeMusic(stream->music);
    layer().streams.erase(stream);
    delete stream;
}

void destroySample(FSOUND_SAMPLE* sample) {
    if (sample->decoding.valid())
        sample->chunk = sample->decoding.get().chunk;
    Mix_FreeChunk(sample->chunk);  // also stops the channels playing it
    layer().samples.erase(sample);
    delete sample;
}

} // namespace vexlo::soundlayer

FSOUND_STREAM* FSOUND_Stream_OpenMpeg(const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Stream_OpenMpeg");
    return openStream(name, files::checkMpeg, MUS_MP3);
}

FSOUND_STREAM* FSOUND_Stream_OpenWav(const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Stream_OpenWav");
    return openStream(name, files::checkWav, MUS_WAV);
}

int FSOUND_Stream_Play(int /*channel*/, FSOUND_STREAM* stream) {
    traceCall("FSOUND_Stream_Play");
    if (!requireInit() || !isLive(stream)) return -1;
    stopMusicLine();
    if (Mix_PlayMusic(stream->music, 0) != 0) {
        fail(SoundErrPlay);
        return -1;
    }
    layer().playingStream = stream;
    applyPauseAndMute();  // a stream started while paused waits
    return layer().sampleChannels;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    traceCall("FSOUND_Stream_Close");
    if (!requireInit() || !isLive(stream)) return 0;
    destroyStream(stream);
    return 1;
}

FSOUND_SAMPLE* FSOUND_Sample_LoadMpeg(int /*index*/, const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Sample_LoadMpeg");
    if (!requireInit()) return nullptr;
    if (!name) {
        fail(SoundErrInvalidParam);
        return nullptr;
    }
    std::vector<std::uint8_t> bytes;
    int error = files::readWholeFile(files::normalisePath(name), bytes);
    if (!error && bytes.size() > std::size_t(INT_MAX)) error = SoundErrMemory;
    if (!error) error = files::checkMpeg(files::MemorySource(bytes.data(), bytes.size()));
    if (error) {
        fail(error);
        return nullptr;
    }
    FSOUND_SAMPLE* sample = nullptr;
    try {
        sample = new FSOUND_SAMPLE;
        // The file has passed its check: it is decoded while the window
        // opens (SDL_mixer holds its audio lock meanwhile; nothing plays yet).
        sample->decoding = std::async(std::launch::async, [bytes = std::move(bytes)] {
            FSOUND_SAMPLE::Decoded decoded;
            decoded.chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), 1);
            if (!decoded.chunk) decoded.error = decoderError();  // SDL's error text is the thread's own
            return decoded;
        });
        layer().samples.insert(sample);
        return sample;
    } catch (const std::bad_alloc&) {
        if (sample) destroySample(sample);
        fail(SoundErrMemory);
        return nullptr;
    } catch (const std::system_error&) {  // no thread to decode on
        delete sample;
        fail(SoundErrMemory);
        return nullptr;
    }
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
    traceCall("FSOUND_PlaySound");
    if (!requireInit() || !isLive(sample) || !isDecoded(sample)) return -1;
    if (channel < SoundAnyChannel || channel >= layer().sampleChannels) {
        fail(SoundErrInvalidParam);
        return -1;
    }
    const int used = Mix_PlayChannel(channel, sample->chunk, 0);
    if (used < 0) {
        fail(channel == SoundAnyChannel ? SoundErrNoChannel : SoundErrPlay);
        return -1;
    }
    if (layer().paused)
        Mix_Pause(used);
    return used;
}
