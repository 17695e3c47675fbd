// Watching at any speed and the held key, without a window: what the plan
// knows of a run, how a skip and the speeds pace it, the keys a watcher
// has, the bar over the picture, and that a key held into a wait does not
// end it while a recording of the game still replays.
#include "window/comforts.h"
#include "window/frame_pacer.h"
#include "window/game_keys.h"
#include "window/watch_bar.h"
#include "window/watch_speed.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ptc::KeyEvent;
using ptc::window::GameKeys;
using ptc::window::KeyQueue;
using ptc::window::PlayerKey;
using ptc::window::WatchPlan;
using ptc::window::WatchSpeed;
using ptc::window::WindowCommand;
using namespace std::chrono_literals;

constexpr int Space = 32, Right = 39, Escape = 27;

PlayerKey key(int code, bool repeat = false) { return PlayerKey(KeyEvent(code, false, false, false), repeat); }

// A run of 1670 updates whose game-over screen comes at 1668, as the
// classic race at speed 1 with a key at once.
WatchPlan classicPlan() {
    WatchPlan plan;
    for (long n = 1; n <= 1670; ++n)
        plan.updated(n, n >= 1668);
    return plan;
}

TEST(WatchPlan, KnowsTheTotalAndSkipsTo70UpdatesBeforeTheCrash) {
    const WatchPlan plan = classicPlan();
    EXPECT_EQ(plan.total, 1670);
    EXPECT_EQ(plan.gameOverAt, 1668);
    EXPECT_EQ(plan.crashAt(), 1598);
    EXPECT_EQ(plan.skipTo(), 1528);
    // A run ended by Escape before any crash has nothing to skip to.
    WatchPlan escaped;
    for (long n = 1; n <= 900; ++n)
        escaped.updated(n, false);
    EXPECT_FALSE(escaped.skipTo());
    EXPECT_EQ(escaped.total, 900);
}

TEST(WatchSpeed, ASkipIsUnpacedAndSilentUntilItsUpdateThenAtTheChosenSpeed) {
    WatchSpeed watch(4, classicPlan());
    EXPECT_FALSE(watch.audible()); // heard at the game's own pace only
    EXPECT_EQ(watch.hold(1500ms), 375ms);
    EXPECT_TRUE(watch.state(300).canSkip);
    ASSERT_TRUE(watch.skip(300));
    EXPECT_FALSE(watch.skip(301)); // one is under way
    EXPECT_EQ(watch.hold(1500ms), 0ms);
    long unpaced = 0, n = 300;
    for (; watch.pace(n).unpaced; ++n)
        ++unpaced;
    // Updates 301 to 1527 unseen; update 1528 is the first shown again.
    EXPECT_EQ(n + 1, 1528);
    EXPECT_EQ(unpaced, 1227);
    EXPECT_EQ(watch.pace(n).speed, 4);
    EXPECT_FALSE(watch.state(n).canSkip);
    EXPECT_FALSE(watch.skip(1600)); // past it: nothing to skip to
    watch.setSpeed(3);              // no such speed
    EXPECT_EQ(watch.speed(), 4);
    watch.setSpeed(1);
    EXPECT_TRUE(watch.audible());
    EXPECT_EQ(watch.hold(1500ms), 1500ms);
}

TEST(FramePacer, AtSpeedNUpdatesComeNTimesAsOftenAndEveryNthFrameIsShown) {
    using ptc::window::FramePacer;
    for (const int speed : {1, 2, 8}) {
        FramePacer pacer;
        pacer.setSpeed(speed);
        FramePacer::Clock::time_point now{1h};
        const auto start = now;
        long shown = 0;
        for (int n = 0; n <= 70 * speed; ++n) {
            const FramePacer::Slot slot = pacer.next(now);
            now = std::max(now, slot.due);
            shown += slot.show ? 1 : 0;
        }
        EXPECT_EQ(now - start, 1s) << "speed " << speed;
        EXPECT_EQ(shown, 71) << "speed " << speed; // the first, then 70 a second
    }
}

TEST(GameKeys, WatchingTheKeys1248AndSChangeTheSpeedAndSkipWhileInPlayTheyAreTheGames) {
    GameKeys watching({{272, Space}});
    KeyQueue player{key('1'), key('2'), key('4'), key('8'), key('S'), key('7')};
    const WindowCommand expected[] = {WindowCommand::Speed1, WindowCommand::Speed2, WindowCommand::Speed4,
                                      WindowCommand::Speed8, WindowCommand::Skip};
    for (const WindowCommand command : expected)
        EXPECT_EQ(watching.poll(10, player).command, command);
    EXPECT_EQ(watching.poll(10, player).command, WindowCommand::None);
    EXPECT_EQ(ptc::window::speedAskedBy(WindowCommand::Speed8), 8);

    GameKeys playing;
    KeyQueue keys{key('8')};
    EXPECT_EQ(playing.take(271, keys).key->code(), '8'); // the title's wait
    keys = {key('4')};
    const GameKeys::Poll poll = playing.poll(300, keys);
    EXPECT_EQ(poll.command, WindowCommand::None);
    EXPECT_TRUE(poll.keyWaits);
}

// Right held through the crash: its repeats keep coming. In play they steer
// as any key; the game-over screen's wait passes them by, and only a fresh
// press ends it. What was written replays the same game.
TEST(GameKeys, AKeyHeldIntoAWaitDoesNotEndItAndARecordingHoldsNoneOfItsRepeats) {
    GameKeys keys;
    std::vector<replay::ScriptedKey> written;
    keys.onTaken = [&](const replay::ScriptedKey& k) { written.push_back(k); };
    KeyQueue queue{key(Space)};
    EXPECT_EQ(keys.take(271, queue).key->code(), Space); // the title's wait
    queue = {key(Right), key(Right, true)};
    ASSERT_TRUE(keys.poll(500, queue).keyWaits);
    EXPECT_EQ(keys.take(500, queue).key->code(), Right);
    ASSERT_TRUE(keys.poll(501, queue).keyWaits); // a repeat in play is a key
    EXPECT_EQ(keys.take(501, queue).key->code(), Right);
    // The game-over screen waits: repeats come and are passed by.
    queue = {key(Right, true), key(Right, true)};
    EXPECT_FALSE(keys.take(1668, queue).key);
    EXPECT_TRUE(queue.empty());
    queue = {key(Right, true), key(Escape)};
    EXPECT_EQ(keys.take(1668, queue).key->code(), Escape);
    EXPECT_EQ(written,
              (std::vector<replay::ScriptedKey>{{272, Space}, {500, Right}, {501, Right}, {1669, Escape}}));
    // The title's wait too: a key held from before the game does not start it.
    GameKeys title;
    queue = {key(Space, true), key(Space, true)};
    EXPECT_FALSE(title.take(271, queue).key);
}

// A window for the comforts that only counts what it is asked.
struct CountingWindow final : ptc::window::ComfortsWindow {
    int restarts = 0;
    std::vector<std::uint32_t> frame =
        std::vector<std::uint32_t>(ptc::DisplayWidth * ptc::DisplayHeight, 0x123456u);
    void waitForEvents() override {}
    void showInstead(const std::uint32_t*) override {}
    const std::uint32_t* lastFrame() const override { return frame.data(); }
    void requestClose() override {}
    void throwIfClosed() const override {}
    void restartPace() override { ++restarts; }
};

TEST(Comforts, AWatchersSpeedAndSkipReachThePaceTheSoundAndWhoeverIsTold) {
    std::vector<bool> muted;
    std::vector<ptc::window::WatchState> told;
    ptc::window::ComfortsSetUp setUp;
    setUp.watched = std::vector<replay::ScriptedKey>{{272, Space}, {5000, Space}};
    setUp.watchPlan = classicPlan();
    setUp.watchSpeed = 2;
    setUp.muteChanged = [&](bool now) { muted.push_back(now); };
    setUp.watchChanged = [&](const ptc::window::WatchState& state) { told.push_back(state); };
    setUp.titleWords = "daily race 2026-12-10";
    ptc::window::setUpComforts(setUp);
    ptc::window::Comforts comforts;
    comforts.begin();
    EXPECT_EQ(comforts.title("Vexlo Race by Tamsel 2001"), "Vexlo Race \u2014 daily race 2026-12-10");
    ASSERT_EQ(muted, std::vector<bool>{true}); // x2: silent from the start
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].speed, 2);
    EXPECT_EQ(told[0].total, 1670);

    CountingWindow window;
    KeyQueue player{key('1')};
    EXPECT_FALSE(comforts.keyPressed(window, 100, player));
    EXPECT_EQ(comforts.pace(window, 100).speed, 1);
    EXPECT_EQ(window.restarts, 1);
    EXPECT_EQ(muted.back(), false);
    player = {key('S')};
    comforts.keyPressed(window, 400, player);
    EXPECT_TRUE(told.back().skipping);
    EXPECT_EQ(muted.back(), true);
    long n = 400;
    while (comforts.pace(window, n).unpaced)
        ++n;
    EXPECT_EQ(n + 1, 1528);
    EXPECT_FALSE(told.back().skipping);
    EXPECT_EQ(muted.back(), false);
    // The bar lies over the bottom rows of a copy, only where the window draws it.
    EXPECT_EQ(comforts.shown(window.frame.data(), n), window.frame.data());
}

TEST(WatchBar, LeavesThePictureAboveItAndSaysTheSpeedTheCountAndTheKeys) {
    constexpr int W = ptc::DisplayWidth, H = ptc::DisplayHeight;
    std::vector<std::uint32_t> frame(W * H), out(W * H);
    for (int i = 0; i < W * H; ++i)
        frame[i] = static_cast<std::uint32_t>(i) * 2654435761u & 0xFFFFFFu;
    const ptc::window::WatchState state{8, 835, 1670, false, true};
    ptc::window::drawWatchBar(frame.data(), out.data(), state);
    const int top = ptc::window::WatchBarTop;
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + top * W, frame.begin()));
    EXPECT_FALSE(std::equal(out.begin() + top * W, out.end(), frame.begin() + top * W));
    // Half played: the line is filled half way.
    EXPECT_NE(out[top * W + W / 2 - 1], out[top * W + W / 2 + 1]);
    EXPECT_EQ(ptc::window::watchBarWords(state), "x8  835/1670  1 2 4 8 SPEED  S SKIP TO THE CRASH");
}

} // namespace
