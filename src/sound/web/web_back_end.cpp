// The sound layer in the browser, over Web Audio: the same calls, checks
// and error codes as on the desktop. Tracker modules are rendered here by
// libopenmpt, a chunk at a time as the page asks for them; MPEG and WAV
// files are decoded whole by the browser. The page's side (`Module.sound`,
// src/web/page/sound.js) owns the AudioContext, which browsers start only
// after the player's first key or tap: until then everything here works as
// usual, only unheard, and nothing waits for it.
#include "sound/fsound.h"
#include "sound/module_file.h"
#include "sound/sound_files.h"

#include <emscripten.h>
#include <libopenmpt/libopenmpt.hpp>

#include <climits>
#include <map>
#include <cstdint>
#include <memory>
#include <new>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

// The page pulls the module's frames through the render function it is given.
EM_JS(void, jsOpen, (int rate), {
    Module.sound.open(rate, function(frames, outputRate) {
        var at = _vexlo_sound_render(frames, outputRate);
        return at ? HEAPF32.subarray(at >> 2, (at >> 2) + 2 * frames) : null;
    });
});
EM_JS(void, jsClose, (), { Module.sound.close(); });
// Decodes a copy of the bytes; the id of the decoded sound, or 0.
EM_ASYNC_JS(int, jsDecode, (const std::uint8_t* bytes, int length),
            { return await Module.sound.decode(HEAPU8.slice(bytes, bytes + length)); });
EM_JS(double, jsSeconds, (int id), { return Module.sound.seconds(id); });
EM_JS(void, jsFree, (int id), { Module.sound.free(id); });
EM_JS(void, jsPlayOnChannel, (int id, int channel), { Module.sound.playOnChannel(id, channel); });
EM_JS(void, jsStopChannels, (), { Module.sound.stopChannels(); });
EM_JS(void, jsMusicFromModule, (), { Module.sound.musicFromModule(); });
EM_JS(void, jsMusicFromSound, (int id), { Module.sound.musicFromSound(id); });
EM_JS(void, jsMusicStop, (), { Module.sound.musicStop(); });

} // namespace

struct FMUSIC_MODULE {
    // The loader's warnings go nowhere; it writes to this stream while the
    // module lives, so the stream lives beside it.
    std::ostream log{nullptr};
    std::unique_ptr<openmpt::module> module;
};

// A decoded sound on the page's side, as a stream or as a sample.
struct FSOUND_STREAM {
    int id = 0;
};

struct FSOUND_SAMPLE {
    int id = 0;
    double seconds = 0;
};

namespace {

const std::map<std::string, std::string> SkipSubsongDurations = {{"load.skip_subsongs_init", "1"}};

struct LayerState {
    bool initialised = false;
    int error = SoundOk;
    int sampleChannels = 0;
    // Only handles in these sets are accepted; a freed or foreign pointer
    // is reported as an invalid parameter instead of being touched.
    std::set<FMUSIC_MODULE*> modules;
    std::set<FSOUND_STREAM*> streams;
    std::set<FSOUND_SAMPLE*> samples;
    FMUSIC_MODULE* playingModule = nullptr;
    FSOUND_STREAM* playingStream = nullptr;
    // When each sample channel falls free, in emscripten_get_now() time.
    std::vector<double> busyUntil;
    void (*trace)(const char*) = nullptr;
};

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

template <typename Handle>
bool isLive(const std::set<Handle*>& live, Handle* handle) {
    if (live.count(handle)) return true;
    fail(SoundErrInvalidParam);
    return false;
}

void stopMusicLine() {
    LayerState& s = layer();
    if (s.playingModule || s.playingStream) jsMusicStop();
    s.playingModule = nullptr;
    s.playingStream = nullptr;
}

void destroyModule(FMUSIC_MODULE* module) {
    if (layer().playingModule == module) stopMusicLine();
    layer().modules.erase(module);
    delete module;
}

void destroyStream(FSOUND_STREAM* stream) {
    if (layer().playingStream == stream) stopMusicLine();
    jsFree(stream->id);
    layer().streams.erase(stream);
    delete stream;
}

void destroySample(FSOUND_SAMPLE* sample) {
    jsFree(sample->id);
    layer().samples.erase(sample);
    delete sample;
}

// Reads, checks and decodes a whole MPEG or WAV file: the page's id of the
// decoded sound, or 0 with the error recorded.
int decodeFile(const char* name, int (*check)(const vexlo::soundfiles::ByteSource&)) {
    namespace files = vexlo::soundfiles;
    if (!name) {
        fail(SoundErrInvalidParam);
        return 0;
    }
    std::vector<std::uint8_t> bytes;
    int error = files::readWholeFile(files::normalisePath(name), bytes);
    if (!error && bytes.size() > std::size_t(INT_MAX)) error = SoundErrMemory;
    if (!error) error = check(files::MemorySource(bytes.data(), bytes.size()));
    if (error) {
        fail(error);
        return 0;
    }
    const int id = jsDecode(bytes.data(), static_cast<int>(bytes.size()));
    if (id == 0) fail(SoundErrFileBad);
    return id;
}

// Keeps a new handle, or frees what it holds when even that fails.
template <typename Handle>
Handle* keep(std::set<Handle*>& live, Handle value) {
    auto* handle = new (std::nothrow) Handle(value);
    try {
        if (!handle) throw std::bad_alloc();
        live.insert(handle);
        return handle;
    } catch (const std::bad_alloc&) {
        delete handle;
        jsFree(value.id);
        fail(SoundErrMemory);
        return nullptr;
    }
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
    jsOpen(mixrate);
    s.sampleChannels = maxchannels;
    s.busyUntil.assign(static_cast<std::size_t>(maxchannels), 0.0);
    s.initialised = true;
    return 1;
}

void FSOUND_Close() {
    traceCall("FSOUND_Close");
    LayerState& s = layer();
    if (!s.initialised) return;
    stopMusicLine();
    jsStopChannels();
    while (!s.modules.empty()) destroyModule(*s.modules.begin());
    while (!s.streams.empty()) destroyStream(*s.streams.begin());
    while (!s.samples.empty()) destroySample(*s.samples.begin());
    jsClose();
    s.initialised = false;
    s.sampleChannels = 0;
    s.busyUntil.clear();
}

int FSOUND_GetError() {
    traceCall("FSOUND_GetError");
    return layer().error;
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name) {
    traceCall("FMUSIC_LoadSong");
    if (!requireInit()) return nullptr;
    if (!name) {
        fail(SoundErrInvalidParam);
        return nullptr;
    }
    std::vector<std::uint8_t> bytes;
    if (const int error = vexlo::soundfiles::readModuleFile(name, bytes)) {
        fail(error);
        return nullptr;
    }
    FMUSIC_MODULE* song = nullptr;
    try {
        song = new FMUSIC_MODULE;
        // The durations of the module's subsongs are not needed to play it,
        // and working them out plays the whole song through in advance,
        // which would hold up the first frame.
        song->module = std::make_unique<openmpt::module>(bytes, song->log, SkipSubsongDurations);
        song->module->set_repeat_count(-1);
        layer().modules.insert(song);
        return song;
    } catch (const std::bad_alloc&) {
        fail(SoundErrMemory);
    } catch (...) {
        fail(SoundErrFileBad);
    }
    delete song;
    return nullptr;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_PlaySong");
    if (!requireInit() || !isLive(layer().modules, module)) return -1;
    stopMusicLine();
    try {
        module->module->set_position_order_row(0, 0);
    } catch (...) {
        fail(SoundErrPlay);
        return -1;
    }
    layer().playingModule = module;
    jsMusicFromModule();
    return 1;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_StopSong");
    if (!requireInit() || !isLive(layer().modules, module)) return 0;
    if (layer().playingModule == module) stopMusicLine();
    return 1;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_FreeSong");
    if (!requireInit() || !isLive(layer().modules, module)) return 0;
    destroyModule(module);
    return 1;
}

FSOUND_STREAM* FSOUND_Stream_OpenMpeg(const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Stream_OpenMpeg");
    if (!requireInit()) return nullptr;
    const int id = decodeFile(name, vexlo::soundfiles::checkMpeg);
    return id ? keep(layer().streams, FSOUND_STREAM{id}) : nullptr;
}

FSOUND_STREAM* FSOUND_Stream_OpenWav(const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Stream_OpenWav");
    if (!requireInit()) return nullptr;
    const int id = decodeFile(name, vexlo::soundfiles::checkWav);
    return id ? keep(layer().streams, FSOUND_STREAM{id}) : nullptr;
}

int FSOUND_Stream_Play(int /*channel*/, FSOUND_STREAM* stream) {
    traceCall("FSOUND_Stream_Play");
    if (!requireInit() || !isLive(layer().streams, stream)) return -1;
    stopMusicLine();
    layer().playingStream = stream;
    jsMusicFromSound(stream->id);
    return layer().sampleChannels;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    traceCall("FSOUND_Stream_Close");
    if (!requireInit() || !isLive(layer().streams, stream)) return 0;
    destroyStream(stream);
    return 1;
}

FSOUND_SAMPLE* FSOUND_Sample_LoadMpeg(int /*index*/, const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Sample_LoadMpeg");
    if (!requireInit()) return nullptr;
    const int id = decodeFile(name, vexlo::soundfiles::checkMpeg);
    return id ? keep(layer().samples, FSOUND_SAMPLE{id, jsSeconds(id)}) : nullptr;
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
    traceCall("FSOUND_PlaySound");
    LayerState& s = layer();
    if (!requireInit() || !isLive(s.samples, sample)) return -1;
    if (channel < SoundAnyChannel || channel >= s.sampleChannels) {
        fail(SoundErrInvalidParam);
        return -1;
    }
    const double now = emscripten_get_now();
    int used = channel;
    for (int c = 0; used == SoundAnyChannel && c < s.sampleChannels; ++c)
        if (s.busyUntil[static_cast<std::size_t>(c)] <= now) used = c;
    if (used == SoundAnyChannel) {
        fail(SoundErrNoChannel);
        return -1;
    }
    // A named channel gives up whatever it played.
    s.busyUntil[static_cast<std::size_t>(used)] = now + 1000.0 * sample->seconds;
    jsPlayOnChannel(sample->id, used);
    return used;
}

void soundLayerSetTrace(void (*trace)(const char* call)) { layer().trace = trace; }

// The page asks for the next frames of the module on the music line, at
// its output's rate: a pointer to frames x 2 interleaved floats, or null
// when no module plays. Valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const float* vexlo_sound_render(int frames, int rate) {
    static std::vector<float> buffer;
    FMUSIC_MODULE* song = layer().playingModule;
    if (!song || frames <= 0) return nullptr;
    buffer.assign(static_cast<std::size_t>(frames) * 2, 0.0f);
    try {
        std::size_t done = 0;
        while (done < static_cast<std::size_t>(frames)) {
            const std::size_t got = song->module->read_interleaved_stereo(
                rate, static_cast<std::size_t>(frames) - done, buffer.data() + 2 * done);
            if (got == 0) break;
            done += got;
        }
    } catch (...) {
        // A renderer failure leaves the rest of the chunk silent.
    }
    return buffer.data();
}
