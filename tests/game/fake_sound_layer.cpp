#include "fake_sound_layer.h"

#include "sound/fsound.h"

struct FMUSIC_MODULE {};
struct FSOUND_STREAM {};
struct FSOUND_SAMPLE {};

namespace fake_sound {
namespace {
Settings settings;
std::vector<std::string> log;
FMUSIC_MODULE module;
FSOUND_STREAM stream;
FSOUND_SAMPLE sample;
void (*trace)(const char*) = nullptr;

void note(const char* call) {
    log.emplace_back(call);
    if (trace != nullptr)
        trace(call);
}
} // namespace

void reset(Settings s) {
    settings = s;
    log.clear();
}
const std::vector<std::string>& calls() { return log; }

} // namespace fake_sound

using fake_sound::note;

signed char FSOUND_Init(int, int, unsigned int) { note("FSOUND_Init"); return 1; }
void FSOUND_Close() { note("FSOUND_Close"); }
int FSOUND_GetError() { note("FSOUND_GetError"); return 0; }
FMUSIC_MODULE* FMUSIC_LoadSong(const char*) { note("FMUSIC_LoadSong"); return &fake_sound::module; }
signed char FMUSIC_PlaySong(FMUSIC_MODULE*) { note("FMUSIC_PlaySong"); return fake_sound::settings.playSongResult; }
signed char FMUSIC_StopSong(FMUSIC_MODULE*) { note("FMUSIC_StopSong"); return 1; }
signed char FMUSIC_FreeSong(FMUSIC_MODULE*) { note("FMUSIC_FreeSong"); return 1; }
FSOUND_STREAM* FSOUND_Stream_OpenMpeg(const char*, unsigned int) { note("FSOUND_Stream_OpenMpeg"); return &fake_sound::stream; }
FSOUND_STREAM* FSOUND_Stream_OpenWav(const char*, unsigned int) { note("FSOUND_Stream_OpenWav"); return &fake_sound::stream; }
int FSOUND_Stream_Play(int, FSOUND_STREAM*) { note("FSOUND_Stream_Play"); return 32; }
signed char FSOUND_Stream_Close(FSOUND_STREAM*) { note("FSOUND_Stream_Close"); return 1; }
FSOUND_SAMPLE* FSOUND_Sample_LoadMpeg(int, const char*, unsigned int) { note("FSOUND_Sample_LoadMpeg"); return &fake_sound::sample; }
int FSOUND_PlaySound(int, FSOUND_SAMPLE*) { note("FSOUND_PlaySound"); return 0; }
void soundLayerSetTrace(void (*t)(const char*)) { fake_sound::trace = t; }
