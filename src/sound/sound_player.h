// The game's music and its one sound effect, the explosion at a crash.
#pragma once

#include <cstddef>
#include <string>

// The sound library's handles: only the layer knows what is inside.
struct FMUSIC_MODULE;
struct FSOUND_STREAM;
struct FSOUND_SAMPLE;

namespace vexlo {

// The kind of music a SoundPlayer opens; a plain int so that any value can
// be passed (an unknown one is reported and no music is loaded).
namespace SoundKind {
constexpr int Module = 1;
constexpr int MpegStream = 2;
constexpr int WavStream = 3;
} // namespace SoundKind

constexpr const char* ExplosionFile = "data/explode.mp3";
// The longest music file name a player keeps (fileName holds it and its
// terminator). A longer name loads no music and is reported in a box that
// starts with MusicNameTooLong.
constexpr std::size_t MaxFileNameLength = 49;
constexpr const char* MusicNameTooLong = "music file name too long: ";

class SoundPlayer {
public:
    // Initialises the sound library, loads the music and the explosion.
    // Every failure is shown in a box; the player is usable all the same.
    void open(const char* name, int kind);
    // Starts the music; 0 when the library says it did not start.
    int play();
    // Plays the explosion once; the result is always 0.
    int playExplosion();
    int stop();
    int release();
    // release(), then shuts the library down. Nothing may be called after.
    void close();

    FMUSIC_MODULE* song = nullptr;
    FSOUND_STREAM* stream = nullptr;
    char fileName[50] = {};
    int kind = 0;
    FSOUND_SAMPLE* explosionSample = nullptr;
};

// Shows text in a box captioned "ERROR!" (and on stderr).
void showError(const std::string& text);
// The fixed text for one of the sound library's error codes.
const char* soundErrorString(int code);

} // namespace vexlo
