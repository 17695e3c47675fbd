// The sound player against a recording stand-in of the sound layer,
// defined here in place of the real one.
#include "sound/sound_player.h"

#include "display/headless/headless.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using Texts = std::vector<std::string>;

// The stand-in layer: it records every call with its arguments (handles
// print as song, stream, sample or null) and answers as the test says.
struct FMUSIC_MODULE {};
struct FSOUND_STREAM {};
struct FSOUND_SAMPLE {};

namespace {

struct FakeLayer {
    Texts calls;
    int error = 0; // what FSOUND_GetError answers
    // A non-zero code makes the call fail and become the error.
    int initError = 0, musicError = 0, sampleError = 0;
    signed char playSongResult = 1;
    int streamPlayResult = 0;
} fake;
FMUSIC_MODULE song;
FSOUND_STREAM stream;
FSOUND_SAMPLE sample;

std::string text(const void* h) { return !h ? "null" : h == &song ? "song" : h == &stream ? "stream" : "sample"; }
std::string text(const char* s) { return s; }
std::string text(int v) { return std::to_string(v); }
template <typename... Args>
void record(const char* call, Args... args) {
    fake.calls.push_back(call);
    ((fake.calls.back().append(" ").append(text(args))), ...);
}
template <typename Handle>
Handle* load(Handle* handle, int code) {
    if (code)
        fake.error = code;
    return code ? nullptr : handle;
}

} // namespace

signed char FSOUND_Init(int rate, int channels, unsigned flags) {
    record("FSOUND_Init", rate, channels, int(flags));
    if (fake.initError)
        fake.error = fake.initError;
    return fake.initError ? 0 : 1;
}
void FSOUND_Close() { record("FSOUND_Close"); }
int FSOUND_GetError() {
    record("FSOUND_GetError");
    return fake.error;
}
FMUSIC_MODULE* FMUSIC_LoadSong(const char* f) {
    record("FMUSIC_LoadSong", f);
    return load(&song, fake.musicError);
}
signed char FMUSIC_PlaySong(FMUSIC_MODULE* m) {
    record("FMUSIC_PlaySong", m);
    return fake.playSongResult;
}
signed char FMUSIC_StopSong(FMUSIC_MODULE* m) {
    record("FMUSIC_StopSong", m);
    return 1;
}
signed char FMUSIC_FreeSong(FMUSIC_MODULE* m) {
    record("FMUSIC_FreeSong", m);
    return 1;
}
FSOUND_STREAM* FSOUND_Stream_OpenMpeg(const char* f, unsigned mode) {
    record("FSOUND_Stream_OpenMpeg", f, int(mode));
    return load(&stream, fake.musicError);
}
FSOUND_STREAM* FSOUND_Stream_OpenWav(const char* f, unsigned mode) {
    record("FSOUND_Stream_OpenWav", f, int(mode));
    return load(&stream, fake.musicError);
}
int FSOUND_Stream_Play(int ch, FSOUND_STREAM* s) {
    record("FSOUND_Stream_Play", ch, s);
    return fake.streamPlayResult;
}
signed char FSOUND_Stream_Close(FSOUND_STREAM* s) {
    record("FSOUND_Stream_Close", s);
    return 1;
}
FSOUND_SAMPLE* FSOUND_Sample_LoadMpeg(int index, const char* f, unsigned mode) {
    record("FSOUND_Sample_LoadMpeg", index, f, int(mode));
    return load(&sample, fake.sampleError);
}
int FSOUND_PlaySound(int ch, FSOUND_SAMPLE* s) {
    record("FSOUND_PlaySound", ch, s);
    return 0;
}
void soundLayerSetTrace(void (*)(const char*)) {}

namespace {

const char* const Music = "data\\vexlo.xm";
const std::string Init = "FSOUND_Init 44100 32 0";
const std::string Explosion = "FSOUND_Sample_LoadMpeg -1 data/explode.mp3 8192";

void reset() {
    fake = {};
    ptc::headless::start({});
}
// The calls recorded so far, and forget them.
Texts calls() { return std::exchange(fake.calls, {}); }
const Texts& boxes() { return ptc::headless::messages(); }

} // namespace

TEST(SoundErrorString, KeepsExactTextsAndReadsCodesAsUnsigned) {
    EXPECT_STREQ(vexlo::soundErrorString(1),
                 "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.");
    EXPECT_STREQ(vexlo::soundErrorString(12), "Not enough memory ");
    EXPECT_STREQ(vexlo::soundErrorString(19), "Recording not supported on this device");
    for (int code : {20, -1, INT_MIN})
        EXPECT_STREQ(vexlo::soundErrorString(code), "Unknown error") << code;
}

TEST(SoundPlayer, EachKindRunsItsCallsInOrderFromOpenToClose) {
    struct Case {
        int kind;
        Texts load, rest;
    };
    const Case cases[] = {
        {vexlo::SoundKind::Module,
         {"FMUSIC_LoadSong data\\vexlo.xm"},
         {"FMUSIC_PlaySong song", "FSOUND_PlaySound -1 sample", "FMUSIC_StopSong song", "FMUSIC_FreeSong song",
          "FSOUND_Close"}},
        {vexlo::SoundKind::MpegStream,
         {"FSOUND_Stream_OpenMpeg data\\vexlo.xm 41"},
         {"FSOUND_Stream_Play -1 stream", "FSOUND_PlaySound -1 sample", "FSOUND_Stream_Close stream",
          "FSOUND_Close"}},
        {vexlo::SoundKind::WavStream,
         {"FSOUND_Stream_OpenWav data\\vexlo.xm 43"},
         {"FSOUND_Stream_Play -1 stream", "FSOUND_PlaySound -1 sample", "FSOUND_Stream_Close stream",
          "FSOUND_Close"}},
        // An invalid kind: reported, no music, the explosion all the same;
        // play succeeds and release does nothing.
        {4, {}, {"FSOUND_PlaySound -1 sample", "FSOUND_Close"}},
    };
    for (const Case& c : cases) {
        reset();
        vexlo::SoundPlayer player;
        player.open(Music, c.kind);
        Texts opened = {Init};
        opened.insert(opened.end(), c.load.begin(), c.load.end());
        opened.push_back(Explosion);
        EXPECT_EQ(calls(), opened) << c.kind;
        EXPECT_EQ(player.play(), 1);
        EXPECT_EQ(player.playExplosion(), 0);
        EXPECT_EQ(player.stop(), 1);
        player.close();
        EXPECT_EQ(calls(), c.rest) << c.kind;
        EXPECT_EQ(boxes(), c.kind == 4 ? Texts{"internal error: not a valid sound type"} : Texts{});
    }
}

TEST(SoundPlayer, FailuresShowOneBoxEachWithTheCodeFetchedAtOnce) {
    reset();
    fake.musicError = 9;
    vexlo::SoundPlayer missing;
    missing.open(Music, vexlo::SoundKind::Module);
    EXPECT_EQ(calls(), (Texts{Init, "FMUSIC_LoadSong data\\vexlo.xm", "FSOUND_GetError", Explosion}));
    EXPECT_EQ(boxes(), Texts{"File not found"});

    // A failed start does not stop the music load; a missing explosion is silent.
    reset();
    fake.initError = 3;
    fake.musicError = 2;
    fake.sampleError = 9;
    vexlo::SoundPlayer broken;
    broken.open("song.wav", vexlo::SoundKind::WavStream);
    EXPECT_EQ(boxes(), (Texts{"Error initializing output device.",
                              "This command failed because FSOUND_Init was not called"}));
}

TEST(SoundPlayer, PlayFailsOnlyOnTheLibrarysFailureValue) {
    reset();
    vexlo::SoundPlayer song, stream;
    song.open(Music, vexlo::SoundKind::Module);
    stream.open(Music, vexlo::SoundKind::MpegStream);
    for (int result : {-1, 0, 1, 127, -2, -128}) { // modules: 8 bits, all set
        fake.playSongResult = static_cast<signed char>(result);
        EXPECT_EQ(song.play(), result == -1 ? 0 : 1) << result;
    }
    for (int result : {-1, 0, -2, 255, INT_MIN}) { // streams: exactly -1
        fake.streamPlayResult = result;
        EXPECT_EQ(stream.play(), result == -1 ? 0 : 1) << result;
    }
}

TEST(SoundPlayer, LongNamesNeverOverflowAndNoHandleIsFreedTwice) {
    reset();
    const std::string longest(vexlo::MaxFileNameLength, 'a');
    vexlo::SoundPlayer fits, tooLong;
    fits.open(longest.c_str(), vexlo::SoundKind::Module);
    EXPECT_EQ(calls().at(1), "FMUSIC_LoadSong " + longest);

    // Not loaded under a cut name (which could be another file): one box.
    tooLong.open((longest + "b.xm" + std::string(300, 'c')).c_str(), vexlo::SoundKind::Module);
    EXPECT_EQ(calls(), (Texts{Init, Explosion}));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].rfind(vexlo::MusicNameTooLong, 0), 0u);
    EXPECT_EQ(std::strlen(tooLong.fileName), vexlo::MaxFileNameLength);
    EXPECT_EQ(tooLong.kind, vexlo::SoundKind::Module);

    fits.release();
    fits.close();
    EXPECT_EQ(calls(), (Texts{"FMUSIC_FreeSong song", "FMUSIC_FreeSong null", "FSOUND_Close"}));
}
