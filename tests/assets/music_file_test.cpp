// The music as the game's module player sees it: layout, length, loop and
// loudness when rendered with default settings at 44.1 kHz stereo.
#include "data_files.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr std::int32_t Rate = 44100;

std::unique_ptr<openmpt::module> loadMusic() {
    const std::vector<std::uint8_t> bytes = assettest::readData("vexlo.xm");
    return std::make_unique<openmpt::module>(bytes);
}

TEST(MusicFile, LoadsWithItsLayout) {
    const auto mod = loadMusic();
    const double seconds = mod->get_duration_seconds();
    std::printf("channels %d, patterns %d, orders %d, duration %.1f s\n", mod->get_num_channels(),
                mod->get_num_patterns(), mod->get_num_orders(), seconds);
    EXPECT_GE(mod->get_num_channels(), 6);
    EXPECT_LE(mod->get_num_channels(), 8);
    EXPECT_GE(mod->get_num_patterns(), 8);
    EXPECT_GE(mod->get_num_instruments(), 6);
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 120.0);
}

TEST(MusicFile, LastPatternJumpsBackToTheFirstOrder) {
    const auto mod = loadMusic();
    const std::int32_t pattern = mod->get_order_pattern(mod->get_num_orders() - 1);
    int jumps = 0;
    for (std::int32_t row = 0; row < mod->get_pattern_num_rows(pattern); ++row)
        for (std::int32_t ch = 0; ch < mod->get_num_channels(); ++ch)
            if (mod->format_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_effect) ==
                "B") {
                EXPECT_EQ(
                    mod->format_pattern_row_channel_command(pattern, row, ch, openmpt::module::command_parameter),
                    "00");
                EXPECT_EQ(row, mod->get_pattern_num_rows(pattern) - 1) << "the jump cuts the pattern short";
                ++jumps;
            }
    EXPECT_EQ(jumps, 1);
}

// Played on forever, the song keeps going past its end and comes round to
// the first order again.
TEST(MusicFile, KeepsPlayingPastItsEnd) {
    const auto mod = loadMusic();
    mod->set_repeat_count(-1);
    const double duration = mod->get_duration_seconds();
    std::vector<float> buffer(2 * 4096);
    std::size_t frames = 0;
    bool wrapped = false;
    const auto wanted = static_cast<std::size_t>((duration + 6.0) * Rate);
    while (frames < wanted) {
        const std::size_t got = mod->read_interleaved_stereo(Rate, 4096, buffer.data());
        ASSERT_EQ(got, 4096u) << "playback stopped after " << frames / Rate << " s";
        frames += got;
        if (static_cast<double>(frames) / Rate > duration + 1.0 && mod->get_current_order() == 0)
            wrapped = true;
    }
    EXPECT_TRUE(wrapped) << "never came back to the first order";
}

TEST(MusicFile, LoudnessWithinLimits) {
    const auto mod = loadMusic();
    mod->set_repeat_count(0);
    std::vector<float> buffer(2 * 4096);
    double sumSquares = 0.0, peak = 0.0;
    std::size_t samples = 0;
    for (;;) {
        const std::size_t got = mod->read_interleaved_stereo(Rate, 4096, buffer.data());
        if (got == 0)
            break;
        for (std::size_t i = 0; i < 2 * got; ++i) {
            sumSquares += double(buffer[i]) * buffer[i];
            peak = std::max(peak, double(std::fabs(buffer[i])));
        }
        samples += 2 * got;
    }
    ASSERT_GT(samples, 0u);
    const double peakDb = 20.0 * std::log10(peak);
    const double rmsDb = 10.0 * std::log10(sumSquares / double(samples));
    std::printf("rendered %.1f s: peak %.2f dBFS, RMS %.2f dBFS\n", double(samples) / 2 / Rate, peakDb, rmsDb);
    EXPECT_LE(peakDb, -1.0);
    EXPECT_GE(rmsDb, -20.0);
    EXPECT_LE(rmsDb, -12.0);
}

} // namespace
