// The crash sound: its file as the sound library loads it, and the sound
// itself as the generator makes it.
#include "data_files.h"
#include "explosion_sound.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

TEST(ExplosionFile, StartsWithAFrameHeaderOrATag) {
    const std::vector<std::uint8_t> mp3 = assettest::readData("explode.mp3");
    ASSERT_GE(mp3.size(), 4u);
    const bool tag = mp3[0] == 'I' && mp3[1] == 'D' && mp3[2] == '3';
    if (tag)
        return;
    EXPECT_EQ(mp3[0], 0xFF);
    EXPECT_EQ(mp3[1] & 0xFE, 0xFA) << "MPEG-1 layer III";
    EXPECT_EQ((mp3[2] >> 2) & 3, 0) << "44.1 kHz";
}

TEST(ExplosionFile, LoadsThroughTheMixerAsOneToTwoSeconds) {
    // The dummy driver needs no sound card.
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    Mix_Init(MIX_INIT_MP3);
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
    int freq = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&freq, &format, &channels);

    std::vector<std::uint8_t> mp3 = assettest::readData("explode.mp3");
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(mp3.data(), static_cast<int>(mp3.size())), 1);
    ASSERT_NE(chunk, nullptr) << Mix_GetError();
    const int frameBytes = (SDL_AUDIO_BITSIZE(format) / 8) * channels;
    const double seconds = double(chunk->alen) / frameBytes / freq;
    std::printf("explosion: %.2f s\n", seconds);
    EXPECT_GE(seconds, 1.0);
    EXPECT_LE(seconds, 2.1); // the decoder adds a few ms of padding

    // It is audible: the decoded samples come near full scale somewhere.
    if (format == AUDIO_S16SYS) {
        const auto* s = reinterpret_cast<const Sint16*>(chunk->abuf);
        int peak = 0;
        for (Uint32 i = 0; i < chunk->alen / 2; ++i)
            peak = std::max(peak, std::abs(int(s[i])));
        EXPECT_GT(peak, 16000);
        EXPECT_LT(peak, 32767) << "clipped";
    }
    Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    Mix_Quit();
    SDL_Quit();
}

TEST(ExplosionSound, EncodesTheSameEveryTime) {
    const std::vector<std::int16_t> pcm = assetgen::explosionSamples();
    const std::vector<std::uint8_t> first = assetgen::encodeMp3(pcm);
    const std::vector<std::uint8_t> second = assetgen::encodeMp3(pcm);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, assettest::readData("explode.mp3"));
}

// Energy and brightness, a quarter of the sound at a time: the blast must
// die away and grow darker as it does.
TEST(ExplosionSound, FadesAndDarkens) {
    const std::vector<std::int16_t> pcm = assetgen::explosionSamples();
    const std::size_t quarter = pcm.size() / 4;
    double energy[4] = {}, brightness[4] = {};
    for (int q = 0; q < 4; ++q) {
        double sum = 0, diff = 0;
        for (std::size_t i = q * quarter + 1; i < (q + 1) * quarter; ++i) {
            sum += double(pcm[i]) * pcm[i];
            const double d = double(pcm[i]) - pcm[i - 1];
            diff += d * d;
        }
        energy[q] = sum;
        brightness[q] = diff / sum; // share of the fast changes
    }
    for (int q = 1; q < 4; ++q) {
        EXPECT_LT(energy[q], energy[q - 1] * 0.7) << "quarter " << q;
        EXPECT_LT(brightness[q], brightness[0] / 2) << "quarter " << q;
    }
    EXPECT_LT(brightness[2], brightness[1]);
    EXPECT_GE(pcm.size(), std::size_t{assetgen::ExplosionRate});
    EXPECT_LE(pcm.size(), std::size_t{2 * assetgen::ExplosionRate});
    EXPECT_EQ(pcm.back(), 0) << "ends in silence, without a click";
}

} // namespace
