// The browser's back end, over Web Audio. Tracker modules are rendered
// here by libopenmpt, a chunk at a time as the page asks for them; MPEG and
// WAV files are decoded whole by the browser. The page's side
// (`Module.sound`, src/launch/web/page/sound.js) owns the AudioContext, which
// browsers start only after the player's first key or tap: until then
// everything here works as usual, only unheard, and nothing waits for it.
#include "sound/modules/module_file.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/files/sound_files.h"
#include "sound/modules/tracker_module.h"

#include <emscripten.h>

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace {

// The page pulls the module's frames through the render function it is given.
// The JavaScript in these is left as written: clang-format does not read it.
// clang-format off
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
EM_JS(void, jsHold, (int paused, int muted), { Module.sound.hold(!!paused, !!muted); });
// clang-format on

} // namespace

struct FMUSIC_MODULE {
    std::unique_ptr<vexlo::soundmodules::TrackerModule> module;
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

struct Output {
    FMUSIC_MODULE* playing = nullptr;
    // When each sample channel falls free, on the output's clock (below).
    std::vector<double> busyUntil;
    // The output's clock stands still while the page holds it paused.
    bool paused = false;
    double pausedAt = 0;
    double heldMs = 0;
};

Output& output() {
    static Output state;
    return state;
}

// Milliseconds of the output's own time.
double clockMs() {
    const Output& out = output();
    const double now = emscripten_get_now();
    return (out.paused ? out.pausedAt : now) - out.heldMs;
}

// Reads, checks and decodes a whole MPEG or WAV file into the page's id of
// the decoded sound.
int decodeFile(const std::string& path, vexlo::soundfiles::FormatCheck check, int& id) {
    std::vector<std::uint8_t> bytes;
    if (const int error = vexlo::soundfiles::readCheckedFile(path, check, bytes))
        return error;
    id = jsDecode(bytes.data(), static_cast<int>(bytes.size()));
    return id ? SoundOk : SoundErrFileBad;
}

// A new handle for a decoded sound, or the sound freed when there is no
// memory for one.
template <typename Handle>
int keep(Handle value, Handle*& handle) {
    handle = new (std::nothrow) Handle(value);
    if (handle)
        return SoundOk;
    jsFree(value.id);
    return SoundErrMemory;
}

} // namespace

namespace vexlo::soundback {

int openDevice(int rate, int channels) {
    jsOpen(rate);
    output().busyUntil.assign(static_cast<std::size_t>(channels), 0.0);
    return SoundOk;
}

void closeDevice() {
    jsStopChannels();
    jsClose();
    output().busyUntil.clear();
}

void holdOutput(bool paused, bool muted) {
    Output& out = output();
    if (paused && !out.paused)
        out.pausedAt = emscripten_get_now();
    if (!paused && out.paused)
        out.heldMs += emscripten_get_now() - out.pausedAt;
    out.paused = paused;
    jsHold(paused, muted);
}

int loadModule(const std::string& path, FMUSIC_MODULE*& module) {
    std::vector<std::uint8_t> bytes;
    if (const int error = soundmodules::readModuleFile(path, bytes))
        return error;
    soundmodules::MadeModule made = soundmodules::makeModule(bytes);
    if (made.error)
        return made.error;
    module = new (std::nothrow) FMUSIC_MODULE{std::move(made.module)};
    return module ? SoundOk : SoundErrMemory;
}

int moduleReady(FMUSIC_MODULE* /*module*/) { return SoundOk; }

int startModule(FMUSIC_MODULE* module) {
    if (!module->module->restart())
        return SoundErrPlay;
    output().playing = module;
    jsMusicFromModule();
    return SoundOk;
}

void stopModule(FMUSIC_MODULE* /*module*/) {
    jsMusicStop();
    output().playing = nullptr;
}

void freeModule(FMUSIC_MODULE* module) { delete module; }

int openStream(const std::string& path, StreamFormat format, FSOUND_STREAM*& stream) {
    int id = 0;
    const int error =
        decodeFile(path, format == StreamFormat::Mpeg ? soundfiles::checkMpeg : soundfiles::checkWav, id);
    return error ? error : keep(FSOUND_STREAM{id}, stream);
}

int startStream(FSOUND_STREAM* stream) {
    jsMusicFromSound(stream->id);
    return SoundOk;
}

void stopStream(FSOUND_STREAM* /*stream*/) { jsMusicStop(); }

void freeStream(FSOUND_STREAM* stream) {
    jsFree(stream->id);
    delete stream;
}

int loadSample(const std::string& path, FSOUND_SAMPLE*& sample) {
    int id = 0;
    const int error = decodeFile(path, soundfiles::checkMpeg, id);
    return error ? error : keep(FSOUND_SAMPLE{id, jsSeconds(id)}, sample);
}

int sampleReady(FSOUND_SAMPLE* /*sample*/) { return SoundOk; }

int playSample(FSOUND_SAMPLE* sample, int& channel) {
    std::vector<double>& busyUntil = output().busyUntil;
    const double now = clockMs();
    for (std::size_t c = 0; channel == SoundAnyChannel && c < busyUntil.size(); ++c)
        if (busyUntil[c] <= now)
            channel = static_cast<int>(c);
    if (channel == SoundAnyChannel)
        return SoundErrNoChannel;
    // A named channel gives up whatever it played.
    busyUntil[static_cast<std::size_t>(channel)] = now + 1000.0 * sample->seconds;
    jsPlayOnChannel(sample->id, channel);
    return SoundOk;
}

void freeSample(FSOUND_SAMPLE* sample) {
    jsFree(sample->id);
    delete sample;
}

} // namespace vexlo::soundback

// The page asks for the next frames of the module on the music line, at
// its output's rate: a pointer to frames x 2 interleaved floats, or null
// when no module plays. Valid until the next call. The page holds and
// silences its output itself.
extern "C" EMSCRIPTEN_KEEPALIVE const float* vexlo_sound_render(int frames, int rate) {
    static std::vector<float> buffer;
    FMUSIC_MODULE* song = output().playing;
    if (!song || frames <= 0)
        return nullptr;
    buffer.resize(static_cast<std::size_t>(frames) * 2);
    song->module->render(rate, buffer.data(), static_cast<std::size_t>(frames));
    return buffer.data();
}
