// What a sound layer answers the game's calls, with the game's own files
// from data/ and with broken copies of them. Built twice, against the
// desktop's layer (through SDL's dummy driver) and against the silent one:
// a game checked with the silent layer takes the paths it took on the
// desktop only if both give these same answers.
#include "sound/fsound.h"
#include "sound/sound_player.h"

#include "../support/temp_dir.h"
#include "display/headless/headless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using namespace testing_support;

namespace {

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A RIFF WAV of frames frames of 16-bit mono silence at 44.1 kHz.
Bytes silentWav(std::uint32_t frames) {
    Bytes b;
    const auto text = [&b](const char* t) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<unsigned char>(t[i]));
    };
    const auto le = [&b](std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            b.push_back(static_cast<unsigned char>(value >> (8 * i)));
    };
    text("RIFF"), le(36 + 2 * frames, 4), text("WAVE"), text("fmt "), le(16, 4);
    le(1, 2), le(1, 2), le(44100, 4), le(88200, 4), le(2, 2), le(16, 2); // PCM, mono, 16-bit
    text("data"), le(2 * frames, 4);
    b.resize(b.size() + 2 * frames);
    return b;
}

std::vector<std::string> traced;

// A scratch folder holding the game's data/ files and broken ones beside
// them; the layer is closed after each test.
class SoundAnswers : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir_.path() / "data");
        const Bytes xm = readFile(fs::path(VEXLO_DATA_DIR) / "vexlo.xm");
        const Bytes mp3 = readFile(fs::path(VEXLO_DATA_DIR) / "explode.mp3");
        ASSERT_GT(xm.size(), 1000u);
        ASSERT_GT(mp3.size(), 1000u);
        // XMs the check leaves to the module loader: more patterns than an
        // XM holds (it plays what it finds), an older version cut short.
        Bytes unwalked = xm, old(xm.begin(), xm.begin() + 100);
        unwalked[70] = 0x2C, unwalked[71] = 0x01;
        old[58] = 0x03;
        const Bytes wav = silentWav(4410);
        const std::pair<const char*, Bytes> files[] = {{"vexlo.xm", xm},
                                                       {"explode.mp3", mp3},
                                                       {"tone.wav", wav},
                                                       {"garbage", Bytes(5000, 'x')},
                                                       {"unwalked.xm", unwalked},
                                                       {"old.xm", old},
                                                       {"cut.xm", Bytes(xm.begin(), xm.end() - 10)},
                                                       {"cut-header.xm", Bytes(xm.begin(), xm.begin() + 50)},
                                                       {"cut.mp3", Bytes(mp3.begin(), mp3.begin() + 200)},
                                                       {"riff-only.wav", Bytes(wav.begin(), wav.begin() + 12)}};
        for (const auto& [name, bytes] : files)
            writeBytes(dir_.path() / "data" / name, bytes);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ptc::headless::start({});
    }
    void TearDown() override {
        FSOUND_Close();
        soundLayerSetTrace(nullptr);
    }
    TempDir dir_;
    WorkingDir cd_{dir_.path()};
};

} // namespace

TEST_F(SoundAnswers, TheGameRunsItsCallsWithoutABox) {
    traced.clear();
    soundLayerSetTrace([](const char* call) { traced.emplace_back(call); });
    vexlo::SoundPlayer player;
    player.open("data\\vexlo.xm", vexlo::SoundKind::Module);
    EXPECT_EQ(player.play(), 1);
    EXPECT_EQ(FSOUND_PlaySound(SoundAnyChannel, player.explosionSample), 0);
    player.stop();
    player.close();
    EXPECT_TRUE(ptc::headless::messages().empty());
    EXPECT_EQ(traced, (std::vector<std::string>{"FSOUND_Init", "FMUSIC_LoadSong", "FSOUND_Sample_LoadMpeg",
                                                "FMUSIC_PlaySong", "FSOUND_PlaySound", "FMUSIC_StopSong",
                                                "FMUSIC_FreeSong", "FSOUND_Close"}));
}

TEST_F(SoundAnswers, EveryCallGivesTheSameResultAndCode) {
    EXPECT_EQ(FSOUND_Init(1000, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), 15);
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), 1);

    FMUSIC_MODULE* song = FMUSIC_LoadSong("data\\vexlo.xm");
    FSOUND_STREAM* mpeg = FSOUND_Stream_OpenMpeg("data\\explode.mp3", 41);
    FSOUND_STREAM* wave = FSOUND_Stream_OpenWav("data/tone.wav", 43);
    FSOUND_SAMPLE* effect = FSOUND_Sample_LoadMpeg(-1, "data/explode.mp3", 8192);
    ASSERT_TRUE(song && mpeg && wave && effect);
    EXPECT_EQ(FMUSIC_PlaySong(song), 1);
    EXPECT_EQ(FSOUND_Stream_Play(-1, mpeg), 32);
    EXPECT_EQ(FSOUND_Stream_Play(-1, wave), 32);
    EXPECT_EQ(FSOUND_PlaySound(SoundAnyChannel, effect), 0);
    EXPECT_EQ(FSOUND_PlaySound(7, effect), 7);
    EXPECT_EQ(FSOUND_PlaySound(32, effect), -1);
    EXPECT_EQ(FSOUND_GetError(), 15);
    EXPECT_EQ(FMUSIC_StopSong(song), 1);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    EXPECT_EQ(FMUSIC_PlaySong(song), -1);
    EXPECT_EQ(FSOUND_Stream_Close(wave), 1);
    EXPECT_EQ(FSOUND_Stream_Close(wave), 0);

    using Load = bool (*)(const char*);
    const Load module = [](const char* f) { return FMUSIC_LoadSong(f) != nullptr; };
    const Load stream = [](const char* f) { return FSOUND_Stream_OpenMpeg(f, 41) != nullptr; };
    const Load wav = [](const char* f) { return FSOUND_Stream_OpenWav(f, 43) != nullptr; };
    const Load sample = [](const char* f) { return FSOUND_Sample_LoadMpeg(-1, f, 8192) != nullptr; };
    const std::tuple<Load, const char*, int> failures[] = {
        {module, "data/none.xm", 9},      {module, "data", 9},           {module, "data/garbage", 10},
        {module, "data/explode.mp3", 10}, {module, "data/cut.xm", 11},   {module, "data/cut-header.xm", 11},
        {module, "data/old.xm", 11},      {stream, "data/none.mp3", 9},  {stream, "data/tone.wav", 10},
        {stream, "data/cut.mp3", 11},     {wav, "data/explode.mp3", 10}, {wav, "data/riff-only.wav", 11},
        {sample, "data/garbage", 10},     {sample, "data/cut.mp3", 11},  {module, nullptr, 15}};
    for (const auto& [load, file, code] : failures) {
        EXPECT_FALSE(load(file)) << (file ? file : "null");
        EXPECT_EQ(FSOUND_GetError(), code) << (file ? file : "null");
    }
    EXPECT_TRUE(module("data/unwalked.xm"));

    FSOUND_Close();
    EXPECT_EQ(FSOUND_PlaySound(SoundAnyChannel, effect), -1);
    EXPECT_EQ(FSOUND_GetError(), 2);
    // With no channel for samples, "any" finds none.
    ASSERT_EQ(FSOUND_Init(44100, 0, 0), 1);
    FSOUND_SAMPLE* lone = FSOUND_Sample_LoadMpeg(-1, "data/explode.mp3", 8192);
    EXPECT_EQ(FSOUND_PlaySound(SoundAnyChannel, lone), -1);
    EXPECT_EQ(FSOUND_GetError(), 18);
}
