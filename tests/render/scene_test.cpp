#include "game/game_state.h"
#include "render/image_assets.h"
#include "render/scene.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vexlo;

namespace {

// Pictures of one flat colour each, so that a frame pixel tells which
// picture was drawn there.
constexpr Pixel Car = 0x000000C1u, Boom1 = 0x000000E1u, Boom2 = 0x000000E2u, Boom3 = 0x000000E3u,
                Enemy = 0x000000BBu, Label = 0x000000AAu;
constexpr Pixel Digit(int d) { return 0x00D00000u + static_cast<Pixel>(d); }

class Scene : public ::testing::Test {
protected:
    void SetUp() override {
        saved = imageAssets;
        savedState = gameState;
        auto flat = [this](std::size_t n, Pixel colour) {
            store.emplace_back(n, colour);
            return store.back().data();
        };
        store.reserve(20);
        imageAssets.car = flat(900, Car);
        imageAssets.explosion1 = flat(900, Boom1);
        imageAssets.explosion2 = flat(900, Boom2);
        imageAssets.explosion3 = flat(900, Boom3);
        imageAssets.enemy = flat(900, Enemy);
        imageAssets.scoreLabel = flat(810, Label);
        for (int d = 0; d < 10; ++d) {
            imageAssets.digits[d] = flat(128, Digit(d));
            imageAssets.digits[d][0] = TransparentColor; // top-left corner lets the scene through
        }
    }
    void TearDown() override {
        imageAssets = saved;
        gameState = savedState;
    }
    Pixel at(int x, int y) const { return frame[y * ScreenWidth + x]; }
    // The digits drawn in a layout, most significant first.
    std::string digitsAt(int unitsColumn, int row) const {
        std::string s;
        for (int k = 5; k >= 0; --k)
            s += static_cast<char>('0' + (at(unitsColumn - 8 * k + 1, row) - Digit(0)));
        return s;
    }

    std::vector<Pixel> frame = std::vector<Pixel>(FramePixels, 0u);
    std::vector<std::vector<Pixel>> store;
    ImageAssets saved;
    GameState savedState;
};

} // namespace

TEST_F(Scene, PlayerPictureFollowsTheCrashTimer) {
    const struct {
        int crashed, timer;
        Pixel expected;
    } cases[] = {{0, 0, Car},   {0, 37, Car},   {1, 70, 0},     {1, 69, Boom1}, {1, 61, Boom1},
                 {1, 60, 0},    {1, 59, Boom2}, {1, 56, Boom2}, {1, 55, 0},     {1, 54, Boom3},
                 {1, 1, Boom3}, {1, 0, 0},      {1, -1, 0},     {1, 71, 0}};
    for (const auto& c : cases) {
        std::fill(frame.begin(), frame.end(), 0u);
        gameState.crashed = c.crashed;
        gameState.crashTimer = c.timer;
        EXPECT_EQ(drawPlayer(frame.data(), 10, 100), 1);
        EXPECT_EQ(at(10, 100), c.expected) << "crashed " << c.crashed << " timer " << c.timer;
        EXPECT_EQ(at(39, 129), c.expected);
        EXPECT_EQ(at(40, 100), 0u);
    }
}

TEST_F(Scene, EnemyIsClippedAtTheLeftEdge) {
    drawEnemy(frame.data(), -29, 50);
    EXPECT_EQ(at(0, 50), Enemy);
    EXPECT_EQ(at(1, 50), 0u);
    std::fill(frame.begin(), frame.end(), 0u);
    drawEnemy(frame.data(), -30, 50);
    drawEnemy(frame.data(), 320, 50);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0u), FramePixels);
}

TEST_F(Scene, ScoreInPlayHasTheLabelAndTheLastSixDigits) {
    drawScore(frame.data(), 42, 0);
    EXPECT_EQ(digitsAt(311, 1), "000042");
    EXPECT_EQ(at(222, 1), Label);
    EXPECT_EQ(at(270, 16), Label);
    EXPECT_EQ(at(221, 1), 0u);
    EXPECT_EQ(at(319, 1), 0u); // column 319 and row 0 stay as they were
    EXPECT_EQ(at(300, 0), 0u);
    EXPECT_EQ(at(311, 1), 0u); // the digit's colour key shows the scene beneath

    drawScore(frame.data(), 999999, 0);
    EXPECT_EQ(digitsAt(311, 1), "999999");
    drawScore(frame.data(), 1000000, 0);
    EXPECT_EQ(digitsAt(311, 1), "000000");
}

TEST_F(Scene, ScoreAtGameOverIsCentredWithoutLabel) {
    drawScore(frame.data(), 2147483647, 1);
    EXPECT_EQ(digitsAt(203, 128), "483647");
    EXPECT_EQ(at(163 + 1, 143), Digit(4));
    EXPECT_EQ(std::count(frame.begin(), frame.end(), Label), 0);
    EXPECT_EQ(at(300, 5), 0u);
}

TEST_F(Scene, NegativeScoreNeverLeavesTheDigitPictures) {
    drawScore(frame.data(), -42, 0);
    EXPECT_EQ(digitsAt(311, 1), "000042");
    drawScore(frame.data(), -2147483647 - 1, 1);
    EXPECT_EQ(digitsAt(203, 128), "483648");
}
