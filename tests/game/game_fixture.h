// Runs whole games on the headless platform in a scratch folder whose
// data/ holds simple pictures that tell, pixel by pixel, what was drawn.
#pragma once

#include "../support/temp_dir.h"
#include "display/headless/headless.h"
#include "fake_sound_layer.h"
#include "game/game_state.h"
#include "game/random.h"
#include "render/frame_buffer.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace game_test {

using vexlo::Pixel;

// The pictures: the road encodes its column modulo 40 and its row; the title
// encodes its row; everything else is one flat colour.
constexpr Pixel RoadPixel(int x, int y) {
    return 0x00200000u | static_cast<Pixel>(x % 40) << 8 | static_cast<Pixel>(y % 256);
}
constexpr Pixel TitlePixel(int y) { return 0x00400000u | static_cast<Pixel>(y + 1); }
constexpr Pixel Car = 0x000000C1u, Enemy = 0x000000BBu, Boom3 = 0x000000E3u, Banner = 0x00EEEE00u;
constexpr Pixel Digit(int d) { return 0x00D00000u + static_cast<Pixel>(d); }

struct Key {
    long update;
    int code;
};

struct Outcome {
    int status = -1;
    std::vector<std::vector<Pixel>> frames; // frames[n - 1] is update n
    std::vector<std::string> calls;         // toolkit calls
    std::vector<std::string> sound;         // sound library calls
    std::vector<std::string> messages;
    std::string stderrText;

    Pixel at(long update, int x, int y) const { return frames.at(update - 1).at(y * 320 + x); }
    bool black(long update) const {
        for (Pixel p : frames.at(update - 1))
            if (p != 0)
                return false;
        return true;
    }
    // How many rows from the top show the title, with black below them;
    // -1 for any other picture.
    int titleRows(long update) const;
    long updates() const { return static_cast<long>(frames.size()); }
};

class GameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Runs one game from the initial state; change vexlo::gameState before
    // calling to start elsewhere.
    Outcome run(const std::vector<Key>& keys, long maxUpdates = 100000, fake_sound::Settings sound = {});
    std::filesystem::path dataDir() const { return dir.path() / "data"; }

    testing_support::TempDir dir;
};

} // namespace game_test
