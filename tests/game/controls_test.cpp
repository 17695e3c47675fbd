#include "game/controls.h"
#include "game/game_state.h"
#include "game/random.h"

#include <gtest/gtest.h>

using namespace vexlo;

namespace {

struct Controls : ::testing::Test {
    void SetUp() override { gameState = GameState{}; }
    void TearDown() override { gameState = GameState{}; }
    int running = 1;
    void press(int code, int times = 1) {
        for (int i = 0; i < times; ++i)
            applyKey(code, running);
    }
};

} // namespace

TEST_F(Controls, SpeedAndRowReachTheirBoundsAndHoldThem) {
    press(KeyLeft);
    EXPECT_EQ(gameState.speed, 1);
    press(KeyRight, 4);
    EXPECT_EQ(gameState.speed, 5);
    press(KeyRight);
    EXPECT_EQ(gameState.speed, 5);

    press(KeyUp, 19);
    EXPECT_EQ(gameState.playerY, 5);
    press(KeyUp);
    EXPECT_EQ(gameState.playerY, 0);
    press(KeyUp);
    EXPECT_EQ(gameState.playerY, 0);
    gameState.playerY = 100;
    press(KeyDown, 14);
    EXPECT_EQ(gameState.playerY, 170);
    press(KeyDown);
    EXPECT_EQ(gameState.playerY, 170);
    EXPECT_EQ(running, 1);
}

TEST_F(Controls, CrashFreezesTheArrowsButNotEscape) {
    gameState.crashed = 1;
    gameState.crashTimer = 12;
    press(KeyUp);
    press(KeyRight);
    EXPECT_EQ(gameState.playerY, 100);
    EXPECT_EQ(gameState.speed, 1);
    press(KeyEscape);
    EXPECT_EQ(running, 0);
    // Once the timer has run out the guard is gone.
    gameState.crashTimer = 0;
    press(KeyDown);
    EXPECT_EQ(gameState.playerY, 105);
}

TEST_F(Controls, OtherKeysChangeNothing) {
    for (int code : {0, 13, 32, 36, 41, 65, 1000, -1})
        press(code);
    EXPECT_EQ(gameState.playerY, 100);
    EXPECT_EQ(gameState.speed, 1);
    EXPECT_EQ(running, 1);
}

TEST(Random, IsTheSameSequenceEverywhere) {
    setRandomState(1);
    EXPECT_EQ(vexlo::rand(), 41);
    EXPECT_EQ(vexlo::rand(), 18467);
    EXPECT_EQ(vexlo::rand(), 6334);
    setRandomState(0xFFFFFFFFu); // wraps modulo 2^32 without trouble
    const int r = vexlo::rand();
    EXPECT_GE(r, 0);
    EXPECT_LE(r, 32767);
    setRandomState(1);
}
