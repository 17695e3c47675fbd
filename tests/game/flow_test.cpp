// Whole runs of the game on the headless platform: the intro, the title
// and its key waits, play, the ends of a run and the order of release.
#include "game_fixture.h"

#include "game/controls.h"

#include <algorithm>
#include <filesystem>

using namespace game_test;
using vexlo::gameState;

namespace {

// The calls from the first one named on.
std::vector<std::string> from(const std::vector<std::string>& calls, const std::string& first) {
    auto it = std::find(calls.begin(), calls.end(), first);
    return {it, calls.end()};
}

std::vector<std::string> tail(const std::vector<std::string>& calls, std::size_t n) {
    return {calls.end() - static_cast<long>(std::min(n, calls.size())), calls.end()};
}

} // namespace

TEST_F(GameTest, IntroRevealTitleThenPlayUntilEscape) {
    const Outcome out = run({{500, 65}, {500, vexlo::KeyEscape}});
    EXPECT_EQ(out.status, 0);
    for (long n = 1; n <= 70; ++n)
        ASSERT_TRUE(out.black(n)) << n;
    // The title grows a row per frame, then is shown whole once more.
    EXPECT_EQ(out.titleRows(71), 1);
    EXPECT_EQ(out.titleRows(170), 100);
    EXPECT_EQ(out.titleRows(270), 200);
    EXPECT_EQ(out.titleRows(271), 200);
    // The blocking title wait takes the first key at once; play starts at
    // update 272 and Escape, waiting after update 500, ends it with 501.
    EXPECT_EQ(out.at(272, 0, 0), RoadPixel(0, 0));
    EXPECT_EQ(out.at(273, 0, 0), RoadPixel(1, 0));
    EXPECT_EQ(out.at(272, 10, 100), Car);
    EXPECT_EQ(out.updates(), 501);
    EXPECT_EQ(tail(out.calls, 5),
              (std::vector<std::string>{"update", "close", "~Surface", "~PixelFormat", "~Display"}));
    EXPECT_EQ(tail(out.sound, 3),
              (std::vector<std::string>{"FMUSIC_StopSong", "FMUSIC_FreeSong", "FSOUND_Close"}));
    EXPECT_TRUE(out.messages.empty());
}

TEST_F(GameTest, StartUpOrderSoundBeforeWindowMusicAfterIntro) {
    const Outcome out = run({{0, 13}, {0, 13}, {0, vexlo::KeyEscape}});
    EXPECT_EQ(std::vector<std::string>(out.sound.begin(), out.sound.begin() + 3),
              (std::vector<std::string>{"FSOUND_Init", "FMUSIC_LoadSong", "FSOUND_Sample_LoadMpeg"}));
    EXPECT_EQ(std::vector<std::string>(out.calls.begin(), out.calls.begin() + 4),
              (std::vector<std::string>{"Display", "option", "option", "open"}));
    EXPECT_EQ(std::count(out.sound.begin(), out.sound.end(), "FMUSIC_PlaySong"), 1);
}

TEST_F(GameTest, KeysDuringTheIntroCutTheRevealShort) {
    // Two keys waiting: the first cuts the reveal and is dropped, the
    // second starts the game without a wait.
    const Outcome out = run({{10, 65}, {10, 66}, {300, vexlo::KeyEscape}});
    EXPECT_EQ(out.titleRows(71), 200);
    EXPECT_EQ(out.at(72, 0, 0), RoadPixel(0, 0));
    EXPECT_EQ(out.updates(), 301);

    // One key waiting: the game waits for a further key, and Escape on the
    // title screen starts the game like any other key.
    const Outcome one = run({{10, 65}, {5000, vexlo::KeyEscape}}, 100);
    EXPECT_EQ(one.titleRows(71), 200);
    EXPECT_EQ(one.at(72, 10, 100), Car);
    EXPECT_EQ(one.status, 1); // ran on into the update limit
}

TEST_F(GameTest, EscapeStillFinishesItsFrameAndLaterKeysApply) {
    const Outcome out = run({{272, 13}, {280, vexlo::KeyRight}, {290, vexlo::KeyEscape}, {290, vexlo::KeyDown}});
    ASSERT_EQ(out.status, 0);
    ASSERT_EQ(out.updates(), 291);
    EXPECT_EQ(out.at(291, 10, 105), Car); // Down after Escape moved the car
    EXPECT_NE(out.at(291, 10, 100), Car);
    // 9 frames at speed 1 (272 .. 280), 11 at speed 2 (281 .. 291), and the
    // last frame still advanced the scroll and the score.
    EXPECT_EQ(gameState.score, 9 + 2 * 11);
    EXPECT_EQ(gameState.scroll, 31.0f);
    EXPECT_EQ(gameState.playerY, 105);
}

TEST_F(GameTest, ArrowsSteerAndChangeTheScrollSpeedWithinBounds) {
    std::vector<Key> keys = {{272, 13}};
    for (int i = 0; i < 25; ++i)
        keys.push_back({280, vexlo::KeyUp});
    for (int i = 0; i < 7; ++i)
        keys.push_back({290, vexlo::KeyRight});
    keys.push_back({300, vexlo::KeyEscape});
    const Outcome out = run(keys);
    ASSERT_EQ(out.status, 0);
    EXPECT_EQ(gameState.playerY, 0);
    EXPECT_EQ(gameState.speed, 5);
    EXPECT_EQ(out.at(291, 10, 0), Car);
    // At speed 5 the road moves 5 pixels a frame.
    const Pixel before = out.at(292, 0, 0), after = out.at(293, 0, 0);
    EXPECT_EQ(((after >> 8) & 0xFF), (((before >> 8) & 0xFF) + 5) % 40);
}

TEST_F(GameTest, MissingPictureEndsBeforeAnythingOpens) {
    std::filesystem::remove(dataDir() / "titre.raw");
    const Outcome out = run({{0, 13}});
    EXPECT_EQ(out.status, 1);
    EXPECT_TRUE(out.calls.empty());
    EXPECT_TRUE(out.sound.empty());
    EXPECT_NE(out.stderrText.find("data/titre.raw"), std::string::npos);
}

TEST_F(GameTest, MusicThatDoesNotStartEndsAfterTheIntro) {
    fake_sound::Settings sound;
    sound.playSongResult = -1;
    const Outcome out = run({{272, 13}}, 100000, sound);
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.updates(), 70);
    EXPECT_EQ(tail(out.calls, 4), (std::vector<std::string>{"update", "~Surface", "~PixelFormat", "~Display"}));
    EXPECT_EQ(from(out.sound, "FMUSIC_PlaySong"),
              (std::vector<std::string>{"FMUSIC_PlaySong", "FMUSIC_StopSong", "FMUSIC_FreeSong", "FSOUND_Close"}));
    EXPECT_NE(out.stderrText.find("music"), std::string::npos);
    EXPECT_TRUE(out.messages.empty());
}

TEST_F(GameTest, ToolkitErrorReleasesMostRecentFirstThenSound) {
    // The key script runs out in the title wait: the toolkit throws there.
    const Outcome out = run({});
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.updates(), 271);
    EXPECT_EQ(tail(out.calls, 3), (std::vector<std::string>{"~Surface", "~PixelFormat", "~Display"}));
    EXPECT_EQ(std::count(out.calls.begin(), out.calls.end(), "close"), 0);
    EXPECT_EQ(out.messages, (std::vector<std::string>{"end of key script"}));
    EXPECT_EQ(tail(out.sound, 3),
              (std::vector<std::string>{"FMUSIC_StopSong", "FMUSIC_FreeSong", "FSOUND_Close"}));
}

TEST_F(GameTest, CrashRunsSeventyFramesIntoTheGameOverScreen) {
    // Keep to speed 1 and wait for the traffic to hit the car.
    const Outcome out = run({{272, 13}, {999999, 65}});
    ASSERT_EQ(out.status, 0);
    ASSERT_EQ(gameState.crashed, 1);
    EXPECT_EQ(gameState.crashTimer, 0);
    EXPECT_EQ(std::count(out.sound.begin(), out.sound.end(), "FSOUND_PlaySound"), 1);
    const long last = out.updates();
    const long gameOver = last - 1;
    EXPECT_TRUE(out.black(last));
    // The explosion of the crash's last frame, darkened, under the banner
    // and the final score.
    EXPECT_EQ(out.at(gameOver, 5, 20), Banner);
    // The score stood still from the hit on; the frame after the game-over
    // screen added the speed once more.
    const int shown = gameState.score - gameState.speed;
    EXPECT_EQ(out.at(gameOver, 170, 135), Digit((shown / 100000) % 10));
    EXPECT_EQ(out.at(gameOver, 203, 128), Digit(shown % 10));
    EXPECT_EQ(out.at(gameOver, 0, 199),
              (RoadPixel(static_cast<int>(gameState.scroll - 1) % 40, 199) >> 1) & 0x7F7F7F);
    // Seventy frames before it the car was still whole; one frame after the
    // hit no player picture is drawn, then the first explosion.
    const auto carCovered = [&](long n) { return out.at(n, 10, 100) == Car || out.at(n, 39, 129) == Car; };
    EXPECT_TRUE(carCovered(gameOver - 70));
    EXPECT_FALSE(carCovered(gameOver - 69));
}

TEST_F(GameTest, LongRunsWrapScoreAndScrollWithoutAVisibleChange) {
    gameState.score = vexlo::ScoreWrap - 3;
    gameState.scroll = vexlo::ScrollWrap - 2.0f;
    gameState.speed = 5;
    const Outcome out = run({{272, 13}, {280, vexlo::KeyEscape}});
    ASSERT_EQ(out.status, 0);
    EXPECT_GE(gameState.score, 0);
    EXPECT_EQ(gameState.score, 10 * 5 - 3);
    EXPECT_LT(gameState.scroll, vexlo::ScrollWrap);
    // The road keeps moving 5 pixels a frame through the wrap.
    for (long n = 273; n <= 281; ++n) {
        const Pixel before = out.at(n - 1, 0, 0), after = out.at(n, 0, 0);
        EXPECT_EQ((after >> 8) & 0xFF, (((before >> 8) & 0xFF) + 5) % 40) << n;
    }
    // The score's six digits run on from 999997 to 000042.
    EXPECT_EQ(out.at(272, 311, 1), Digit(7));
    EXPECT_EQ(out.at(281, 311, 1), Digit(2));
}
