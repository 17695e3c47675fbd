#include "game/game_state.h"
#include "game/random.h"
#include "game/traffic.h"
#include "render/image_assets.h"
#include "fake_sound_layer.h"
#include "sound/sound_player.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vexlo;

namespace {

struct Traffic : ::testing::Test {
    void SetUp() override {
        gameState = GameState{};
        setRandomState(1);
        clearTraffic();
        fake_sound::reset();
    }
    void TearDown() override {
        gameState = GameState{};
        setRandomState(1);
        clearTraffic();
    }
    void place(int slot, float x, int y) {
        trafficTable.enemyX[slot] = x;
        trafficTable.enemyY[slot] = y;
    }
    int occupied() const {
        int n = 0;
        for (float x : trafficTable.enemyX)
            n += x != EmptySlot;
        return n;
    }
};

} // namespace

TEST_F(Traffic, CollisionBoxIncludesItsLowerEdgesAndExcludesItsUpperOnes) {
    // The player stands at (10, 100).
    const struct {
        float x;
        int y;
        bool hits;
    } cases[] = {{-20.0f, 70, true},  {-20.5f, 70, false}, {39.5f, 129, true}, {40.0f, 100, false},
                 {10.0f, 130, false}, {10.0f, 69, false},  {10.0f, 70, true},  {0.0f, 100, true}};
    for (const auto& c : cases) {
        SetUp();
        place(0, c.x, c.y);
        EXPECT_EQ(updateTraffic(), 1);
        EXPECT_EQ(gameState.crashed, c.hits ? 1 : 0) << c.x << "," << c.y;
        EXPECT_EQ(gameState.crashTimer, c.hits ? CrashFrames : 0);
    }
}

TEST_F(Traffic, OnlyTheLowestSlotTakesTheOnlyHit) {
    SoundPlayer player;
    gameState.soundPlayer = &player;
    place(7, 5.0f, 95);
    place(3, 20.0f, 110);
    updateTraffic();
    EXPECT_EQ(gameState.crashed, 1);
    EXPECT_EQ(gameState.crashTimer, 70);
    EXPECT_EQ(fake_sound::calls(), std::vector<std::string>{"FSOUND_PlaySound"});
    // Both cars keep moving, and nothing can hit again.
    EXPECT_EQ(trafficTable.enemyX[3], 19.5f);
    EXPECT_EQ(trafficTable.enemyX[7], 4.5f);
    gameState.crashTimer = 0;
    updateTraffic();
    EXPECT_EQ(fake_sound::calls().size(), 1u);
    EXPECT_EQ(gameState.crashTimer, 0);
    gameState.soundPlayer = nullptr;
}

TEST_F(Traffic, CarsDriftBySpeedLessAHalfAndLeavePastMinusThirty) {
    place(0, -29.5f, 0);
    updateTraffic();
    EXPECT_EQ(trafficTable.enemyX[0], -30.0f); // exactly -30 stays one more frame
    updateTraffic();
    EXPECT_EQ(trafficTable.enemyX[0], EmptySlot);
    EXPECT_EQ(trafficTable.enemyY[0], 0); // the row is left as it was

    gameState.speed = 5;
    place(1, -26.0f, 12);
    place(2, 320.0f, 12);
    updateTraffic();
    EXPECT_EQ(trafficTable.enemyX[1], EmptySlot);
    EXPECT_EQ(trafficTable.enemyX[2], 315.5f);
}

TEST_F(Traffic, SpawnFillsTheLowestFreeSlotUntilTheTableIsFull) {
    EXPECT_EQ(spawnEnemy(), 1);
    EXPECT_EQ(trafficTable.enemyX[0], SpawnX);
    EXPECT_EQ(trafficTable.enemyY[0], 41); // the first random number, 41, mod 170
    for (int i = 1; i < MaxEnemies; ++i)
        ASSERT_EQ(spawnEnemy(), 1);
    EXPECT_EQ(occupied(), MaxEnemies);
    trafficTable.enemyY[299] = 7;
    EXPECT_EQ(spawnEnemy(), 0);
    EXPECT_EQ(trafficTable.enemyY[299], 7);

    trafficTable.enemyX[5] = EmptySlot;
    EXPECT_EQ(spawnEnemy(), 1);
    EXPECT_EQ(trafficTable.enemyX[5], SpawnX);
    for (int i = 0; i < MaxEnemies; ++i)
        EXPECT_LT(trafficTable.enemyY[i], SpawnRows);
}

TEST_F(Traffic, DrawTruncatesTowardZeroAndHigherSlotsDrawOnTop) {
    std::vector<Pixel> enemy(900, 0x00ABCDEFu), frame(FramePixels, 0u), other(900, 0x00123456u);
    Pixel* saved = imageAssets.enemy;
    imageAssets.enemy = enemy.data();
    place(0, 319.5f, 10); // column 319: one column visible
    place(1, -0.5f, 50);  // column 0
    EXPECT_EQ(drawTraffic(frame.data()), 1);
    EXPECT_EQ(frame[10 * 320 + 319], 0x00ABCDEFu);
    EXPECT_EQ(frame[10 * 320 + 318], 0u);
    EXPECT_EQ(frame[50 * 320 + 0], 0x00ABCDEFu);
    EXPECT_EQ(frame[50 * 320 + 29], 0x00ABCDEFu);
    EXPECT_EQ(frame[50 * 320 + 30], 0u);
    imageAssets.enemy = saved;

    clearTraffic();
    std::fill(frame.begin(), frame.end(), 0u);
    EXPECT_EQ(drawTraffic(frame.data()), 1);
    EXPECT_EQ(updateTraffic(), 1);
    EXPECT_EQ(occupied(), 0);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0u), FramePixels);
}
