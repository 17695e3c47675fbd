// The silent back end: no device, nothing decoded, nothing played, for
// replaying games headless at many times their pace (checking a score).
// Its answers are the desktop's for the same files: each file gets the
// checks the desktop makes before it decodes, so a missing, foreign or cut
// file fails with the same code, and the game's own files are accepted.
// A module is read and walked but not made: libopenmpt is asked only about
// a module whose every structure the check could not walk (not the game's),
// whose verdict the desktop also awaits before it answers.
#include "sound/modules/module_file.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/files/sound_files.h"
#include "sound/modules/tracker_module.h"

#include <cstdint>
#include <new>
#include <vector>

struct FMUSIC_MODULE {};
struct FSOUND_STREAM {};
struct FSOUND_SAMPLE {};

namespace {

int sampleChannels = 0;

// A new handle of nothing, or error 12.
template <typename Handle>
int allocate(Handle*& handle) {
    handle = new (std::nothrow) Handle;
    return handle ? SoundOk : SoundErrMemory;
}

} // namespace

namespace vexlo::soundback {

int openDevice(int /*rate*/, int channels) {
    sampleChannels = channels;
    return SoundOk;
}

void closeDevice() {}
void holdOutput(bool /*paused*/, bool /*muted*/) {}

int loadModule(const std::string& path, FMUSIC_MODULE*& module) {
    std::vector<std::uint8_t> bytes;
    bool checked = false;
    if (const int error = soundmodules::readModuleFile(path, bytes, &checked))
        return error;
    if (!checked)
        if (const int error = soundmodules::makeModule(bytes).error)
            return error;
    return allocate(module);
}

int moduleReady(FMUSIC_MODULE* /*module*/) { return SoundOk; }
int startModule(FMUSIC_MODULE* /*module*/) { return SoundOk; }
void stopModule(FMUSIC_MODULE* /*module*/) {}
void freeModule(FMUSIC_MODULE* module) { delete module; }

int openStream(const std::string& path, StreamFormat format, FSOUND_STREAM*& stream) {
    const auto check = format == StreamFormat::Mpeg ? soundfiles::checkMpeg : soundfiles::checkWav;
    const int error = soundfiles::checkFile(path, check);
    return error ? error : allocate(stream);
}

int startStream(FSOUND_STREAM* /*stream*/) { return SoundOk; }
void stopStream(FSOUND_STREAM* /*stream*/) {}
void freeStream(FSOUND_STREAM* stream) { delete stream; }

int loadSample(const std::string& path, FSOUND_SAMPLE*& sample) {
    const int error = soundfiles::checkFile(path, soundfiles::checkMpeg);
    return error ? error : allocate(sample);
}

int sampleReady(FSOUND_SAMPLE* /*sample*/) { return SoundOk; }

// Nothing plays, so every channel is free: "any" is the first, as on the
// desktop when no other effect still sounds.
int playSample(FSOUND_SAMPLE* /*sample*/, int& channel) {
    if (channel != SoundAnyChannel)
        return SoundOk;
    if (sampleChannels == 0)
        return SoundErrNoChannel;
    channel = 0;
    return SoundOk;
}

void freeSample(FSOUND_SAMPLE* sample) { delete sample; }

} // namespace vexlo::soundback
