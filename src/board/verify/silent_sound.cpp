// A sound library that plays nothing and never fails: verification needs
// the game, not its sound, and a worker must never open an audio device.
// Temporary: to be replaced by the sound front end's silent back end.
#include "sound/fsound.h"

struct FMUSIC_MODULE {};
struct FSOUND_STREAM {};
struct FSOUND_SAMPLE {};

namespace {
FMUSIC_MODULE module;
FSOUND_STREAM stream;
FSOUND_SAMPLE sample;
} // namespace

signed char FSOUND_Init(int, int, unsigned int) { return 1; }
void FSOUND_Close() {}
int FSOUND_GetError() { return SoundOk; }
FMUSIC_MODULE* FMUSIC_LoadSong(const char*) { return &module; }
signed char FMUSIC_PlaySong(FMUSIC_MODULE*) { return 1; }
signed char FMUSIC_StopSong(FMUSIC_MODULE*) { return 1; }
signed char FMUSIC_FreeSong(FMUSIC_MODULE*) { return 1; }
FSOUND_STREAM* FSOUND_Stream_OpenMpeg(const char*, unsigned int) { return &stream; }
FSOUND_STREAM* FSOUND_Stream_OpenWav(const char*, unsigned int) { return &stream; }
int FSOUND_Stream_Play(int, FSOUND_STREAM*) { return 0; }
signed char FSOUND_Stream_Close(FSOUND_STREAM*) { return 1; }
FSOUND_SAMPLE* FSOUND_Sample_LoadMpeg(int, const char*, unsigned int) { return &sample; }
int FSOUND_PlaySound(int, FSOUND_SAMPLE*) { return 0; }
void soundLayerSetTrace(void (*)(const char*)) {}
