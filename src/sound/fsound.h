// The sound library the game talks to: one audio device, any number of
// short samples played on mixing channels, and one music line that plays
// either a tracker module or a streamed MPEG or WAV file.
//
// Every call that can fail records an error code, which FSOUND_GetError
// returns until the next failing call replaces it (a call that succeeds
// leaves it alone). File names may use '\' or '/' between folders.
//
// The calls are written once (fsound_*.cpp), over a back end of each
// platform's (sound_back_end.h): the desktop's plays through SDL2_mixer and
// libopenmpt, the browser's through Web Audio; a silent one plays nothing.
#pragma once

// Opaque handles; each back end defines them.
struct FMUSIC_MODULE;
struct FSOUND_STREAM;
struct FSOUND_SAMPLE;

// Error codes returned by FSOUND_GetError (the player turns them into
// texts with soundErrorString). Codes without a name here are never set.
enum SoundLayerError : int {
    SoundOk = 0,
    SoundErrAlreadyInit = 1,  // FSOUND_Init called twice
    SoundErrNotInit = 2,      // the call needs FSOUND_Init first
    SoundErrDevice = 3,       // not even a silent output could be opened
    SoundErrPlay = 5,         // the decoder or the mixer refused to play
    SoundErrFileNotFound = 9, // no such file
    SoundErrFileFormat = 10,  // not a format this call reads
    SoundErrFileBad = 11,     // the right format, but it does not load (cut short, damaged)
    SoundErrMemory = 12,
    SoundErrInvalidParam = 15, // null, unknown or already freed handle; bad value
    SoundErrNoChannel = 18,    // every sample channel is busy
};

// Channel argument meaning "any free channel".
constexpr int SoundAnyChannel = -1;

// What FSOUND_Init accepts; anything else is SoundErrInvalidParam.
constexpr int SoundMinRate = 4000;
constexpr int SoundMaxRate = 192000;
constexpr int SoundMaxChannels = 4096;

// Opens the audio device at mixrate with maxchannels mixing channels for
// samples. flags are accepted and not used. When no real device can be
// opened the layer plays into a silent one and says so on stderr; only a
// failure of that too is reported (code 3). Result: 1, or 0 on failure.
signed char FSOUND_Init(int mixrate, int maxchannels, unsigned int flags);
// Stops everything, frees every module, stream and sample still loaded
// and closes the device. Handles are invalid afterwards.
void FSOUND_Close();
int FSOUND_GetError();

// Loads a whole tracker module (XM, MOD, S3M, IT, ...). Null on failure.
FMUSIC_MODULE* FMUSIC_LoadSong(const char* name);
// Starts the module on the music line from its beginning; it repeats
// forever. Whatever played on the music line before is stopped.
// 1 on success, -1 on failure.
signed char FMUSIC_PlaySong(FMUSIC_MODULE* module);
// Stops the module if it is playing. 1, or 0 for an invalid handle.
signed char FMUSIC_StopSong(FMUSIC_MODULE* module);
// Stops and frees the module. 1, or 0 for an invalid handle.
signed char FMUSIC_FreeSong(FMUSIC_MODULE* module);

// Opens an MPEG audio file (layer I-III) or a RIFF WAV file to be decoded
// while it plays. mode is accepted and not used. Null on failure.
FSOUND_STREAM* FSOUND_Stream_OpenMpeg(const char* name, unsigned int mode);
FSOUND_STREAM* FSOUND_Stream_OpenWav(const char* name, unsigned int mode);
// Plays the stream once through on the music line (stopping whatever
// played there). channel is accepted and not used: the music line is not
// one of the sample channels. Result: the music line's number, which is
// maxchannels of FSOUND_Init, or -1 on failure.
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
// Stops and frees the stream. 1, or 0 for an invalid handle.
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);

// Decodes a whole MPEG audio file into memory as a sample. index and mode
// are accepted and not used. Null on failure.
FSOUND_SAMPLE* FSOUND_Sample_LoadMpeg(int index, const char* name, unsigned int mode);
// Plays the sample once on channel, or on a free one for SoundAnyChannel.
// Result: the channel used, or -1 on failure.
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);

// Call trace for the replay tool: while set, each of the calls above
// first passes its own name ("FSOUND_Init", ...) to trace. Null switches
// the trace off.
void soundLayerSetTrace(void (*trace)(const char* call));
