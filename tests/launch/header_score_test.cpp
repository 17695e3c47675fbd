// The score a kept game's header carries is the number its game-over
// screen showed, not the counter the game leaves behind: the game counts
// once more after the key that ends that screen. Played with the real game,
// its data/ and the silent sound, through the game's door, as main wires
// it.
#include "display/headless/headless.h"
#include "game/run_game.h"
#include "launch/desktop/game_keeper.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace {

struct Played {
    int header = 0;              // what the kept game's header would carry
    std::optional<int> onScreen; // what the game-over screen showed
    int counterAtEnd = 0;        // the number shown by the counter at the end
};

Played play(const std::string& keysFile) {
    std::ifstream in(keysFile);
    Played played;
    vexlo::HeaderScore header;
    ptc::headless::Script script;
    script.keys = replay::readKeyScript(in, keysFile);
    script.recordCalls = false;
    script.onUpdate = [&](long, const std::uint32_t*) {
        if (!played.onScreen && vexlo::gameOverOnScreen())
            played.onScreen = vexlo::shownScore();
    };
    // main notes each key the game takes, as the recording rule gives it.
    script.onRead = [&](long, int) { header.keyTaken(vexlo::gameOverOnScreen(), vexlo::shownScore()); };
    ptc::headless::start(std::move(script));
    vexlo::resetGame();
    EXPECT_EQ(vexlo::runGame(), 0);
    played.counterAtEnd = vexlo::shownScore();
    played.header = header.atEnd(vexlo::shownScore());
    return played;
}

TEST(HeaderScore, IsTheNumberTheGameOverScreenShowed) {
    const Played played = play("tests/replay/crash_speed5.keys");
    ASSERT_TRUE(played.onScreen);
    EXPECT_EQ(played.header, *played.onScreen);
    // The counter ran on past the screen's number: taking it would be wrong.
    EXPECT_NE(played.counterAtEnd, *played.onScreen);
}

TEST(HeaderScore, IsTheCounterForAGameThatNeverReachedTheScreen) {
    vexlo::HeaderScore header;
    header.keyTaken(false, 120);
    EXPECT_EQ(header.atEnd(135), 135);
    header.keyTaken(true, 651);
    header.keyTaken(true, 656);
    EXPECT_EQ(header.atEnd(661), 651);
}

} // namespace
