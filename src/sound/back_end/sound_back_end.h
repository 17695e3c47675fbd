// What the sound layer's front end (fsound_*.cpp) asks of the output it
// plays on. The front end checks every call's arguments, keeps the live
// handles, the error code, the call trace, the music line and the pause
// and mute; a back end is handed only live handles, an open device and
// valid channels, and answers 0 or an error code of sound/fsound.h.
//
// One back end is linked in: the desktop's (sdl/), the browser's (web/),
// the silent one (silent/) or the game tests' stand-in. Each defines the
// handles of sound/fsound.h as it needs them.
#pragma once

#include "sound/fsound.h"

#include <string>

namespace vexlo::soundback {

// The output at rate, with channels channels for samples.
int openDevice(int rate, int channels);
// Stops whatever still plays and closes the output; every handle has been
// freed before.
void closeDevice();
// Paused: everything holds where it is; muted: it plays on, unheard. Set
// when the device opens and at every change, for what starts later too.
void holdOutput(bool paused, bool muted);

// Files are named by a path with '/' between folders; the back end reads
// and checks them itself.

int loadModule(const std::string& path, FMUSIC_MODULE*& module);
// 0 once the module is ready to play (it may be made in the background),
// or, at every call, why it could not be made.
int moduleReady(FMUSIC_MODULE* module);
// Plays a ready module from its start on the music line, repeating forever.
int startModule(FMUSIC_MODULE* module);
void stopModule(FMUSIC_MODULE* module);
// Frees a module that does not play.
void freeModule(FMUSIC_MODULE* module);

enum class StreamFormat { Mpeg, Wav };
int openStream(const std::string& path, StreamFormat format, FSOUND_STREAM*& stream);
// Plays the stream once through on the music line.
int startStream(FSOUND_STREAM* stream);
void stopStream(FSOUND_STREAM* stream);
// Frees a stream that does not play.
void freeStream(FSOUND_STREAM* stream);

int loadSample(const std::string& path, FSOUND_SAMPLE*& sample);
// As moduleReady, for a sample decoded in the background.
int sampleReady(FSOUND_SAMPLE* sample);
// Plays a ready sample once on channel, or on a free one for
// SoundAnyChannel; channel becomes the one used.
int playSample(FSOUND_SAMPLE* sample, int& channel);
void freeSample(FSOUND_SAMPLE* sample);

} // namespace vexlo::soundback
