// The game tests' back end under the real front end: every file is taken
// as it is named, nothing plays, and the calls are recorded from the
// layer's own trace.
#include "fake_sound_layer.h"

#include "sound/back_end/sound_back_end.h"

struct FMUSIC_MODULE {};
struct FSOUND_STREAM {};
struct FSOUND_SAMPLE {};

namespace fake_sound {
namespace {
Settings settings;
std::vector<std::string> log;

void note(const char* call) { log.emplace_back(call); }
} // namespace

void reset(Settings s) {
    // A run that ended without closing the layer leaves nothing behind.
    soundLayerSetTrace(nullptr);
    FSOUND_Close();
    settings = s;
    log.clear();
    soundLayerSetTrace(note);
}
const std::vector<std::string>& calls() { return log; }

} // namespace fake_sound

namespace vexlo::soundback {

int openDevice(int, int) { return SoundOk; }
void closeDevice() {}
void holdOutput(bool, bool) {}

int loadModule(const std::string&, FMUSIC_MODULE*& module) {
    module = new FMUSIC_MODULE;
    return SoundOk;
}
int moduleReady(FMUSIC_MODULE*) { return SoundOk; }
int startModule(FMUSIC_MODULE*) { return fake_sound::settings.playSongResult == 1 ? SoundOk : SoundErrPlay; }
void stopModule(FMUSIC_MODULE*) {}
void freeModule(FMUSIC_MODULE* module) { delete module; }

int openStream(const std::string&, StreamFormat, FSOUND_STREAM*& stream) {
    stream = new FSOUND_STREAM;
    return SoundOk;
}
int startStream(FSOUND_STREAM*) { return SoundOk; }
void stopStream(FSOUND_STREAM*) {}
void freeStream(FSOUND_STREAM* stream) { delete stream; }

int loadSample(const std::string&, FSOUND_SAMPLE*& sample) {
    sample = new FSOUND_SAMPLE;
    return SoundOk;
}
int sampleReady(FSOUND_SAMPLE*) { return SoundOk; }
int playSample(FSOUND_SAMPLE*, int& channel) {
    channel = channel < 0 ? 0 : channel;
    return SoundOk;
}
void freeSample(FSOUND_SAMPLE* sample) { delete sample; }

} // namespace vexlo::soundback
