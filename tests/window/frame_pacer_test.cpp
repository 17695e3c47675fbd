// The schedule of paced updates, on a clock of the test's own.
#include "window/frame_pacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using ptc::window::FramePacer;
using namespace std::chrono_literals;

constexpr FramePacer::Clock::time_point Start{1h};

// Deadline n to the nanosecond.
FramePacer::Clock::time_point deadline(std::int64_t n, FramePacer::Clock::time_point from = Start) {
    return from + std::chrono::nanoseconds(n * 1'000'000'000 / 70);
}

// A game whose updates cost nothing, showing its frames on a screen that
// takes `showCost` each, for `span` from `now`. What it made and showed.
struct Played {
    std::int64_t updates = 0, shown = 0;
    int mostSkippedInARow = 0;
};

Played play(FramePacer& pacer, FramePacer::Clock::time_point& now, FramePacer::Clock::duration span,
            FramePacer::Clock::duration showCost) {
    Played run;
    const auto end = now + span;
    int skipped = 0;
    while (now < end) {
        const FramePacer::Slot slot = pacer.next(now);
        now = std::max(now, slot.due);
        ++run.updates;
        if (slot.show) {
            ++run.shown;
            skipped = 0;
            now += showCost;
        } else {
            run.mostSkippedInARow = std::max(run.mostSkippedInARow, ++skipped);
        }
    }
    return run;
}

TEST(FramePacer, KeepsSeventyASecondWithoutDriftOverMinutes) {
    FramePacer pacer;
    EXPECT_EQ(pacer.next(Start).due, Start); // the first at once
    // Ten minutes of frames, each asked for 3 ms after the last was due.
    FramePacer::Clock::time_point now = Start;
    for (std::int64_t n = 1; n <= 70 * 600; ++n) {
        const FramePacer::Slot slot = pacer.next(now);
        ASSERT_EQ(slot.due, deadline(n)) << "frame " << n;
        ASSERT_TRUE(slot.show);
        now = slot.due + 3ms;
    }
    EXPECT_EQ(now - 3ms, Start + 600s);
}

TEST(FramePacer, ASlowScreenMissesFramesButNotGameTime) {
    // 30 ms to show a frame: every other frame shown; 95 ms: one in seven,
    // still ten for every second of game time. 70 updates a second either way.
    for (const auto cost : {30ms, 95ms}) {
        FramePacer pacer;
        auto now = Start;
        const Played run = play(pacer, now, 10s, cost);
        EXPECT_NEAR(static_cast<double>(run.updates), 700, 2) << cost.count() << " ms";
        EXPECT_LE(run.mostSkippedInARow, FramePacer::MaxSkipped);
        EXPECT_GE(run.shown, cost == 30ms ? 300 : 100) << cost.count() << " ms";
        EXPECT_LE(run.shown, cost == 30ms ? 350 : 115) << cost.count() << " ms";
    }
}

TEST(FramePacer, BelowTenFramesASecondTheGameSlowsAndNeverBurstsAfterwards) {
    FramePacer pacer;
    auto now = Start;
    // 150 ms a frame: one shown in seven, so the game runs at seven updates
    // per 150 ms instead of ten and a half.
    const Played slow = play(pacer, now, 3s, 150ms);
    EXPECT_NEAR(static_cast<double>(slow.shown), 20, 1);
    EXPECT_NEAR(static_cast<double>(slow.updates), 7.0 * static_cast<double>(slow.shown), 7);
    // Quick again: no more is caught up than MaxBehind and the last slow
    // frame, two runs of frames left off the screen; then 70 a second.
    const Played quick = play(pacer, now, 1s, 1ms);
    EXPECT_GE(quick.updates, 69);
    EXPECT_LE(quick.updates, 70 + 2 * (FramePacer::MaxSkipped + 1));
    EXPECT_EQ(play(pacer, now, 1s, 1ms).updates, 70);
}

TEST(FramePacer, AStallIsCaughtUpUnseenUpToATenthOfASecond) {
    FramePacer pacer;
    auto now = Start;
    play(pacer, now, 1s, 1ms);
    // 60 ms lost: the three frames furthest behind go unseen, at once, and
    // the schedule keeps its phase.
    now += 60ms;
    int unseen = 0;
    for (FramePacer::Slot slot = pacer.next(now); !slot.show; slot = pacer.next(now)) {
        EXPECT_EQ(slot.due, now);
        ++unseen;
    }
    EXPECT_EQ(unseen, 3);
    // 170 ms lost: six unseen, one shown, then the rest unseen, and no game
    // time lost.
    const Played stalled = play(pacer, now += 170ms, 1s, 1ms);
    EXPECT_NEAR(static_cast<double>(stalled.updates), 70 + 12, 1);
    // 400 ms lost: after six unseen the schedule is still 300 ms behind; it
    // starts afresh, and that time is not made up.
    const Played lost = play(pacer, now += 400ms, 1s, 1ms);
    EXPECT_NEAR(static_cast<double>(lost.updates), 70 + 7, 1);
}

TEST(FramePacer, AfterAKeyWaitTheScheduleStartsAfresh) {
    FramePacer pacer;
    auto now = Start;
    play(pacer, now, 1s, 1ms);
    pacer.restart();
    now += 10s;
    const FramePacer::Slot first = pacer.next(now);
    EXPECT_TRUE(first.show);
    EXPECT_EQ(first.due, now);
    EXPECT_EQ(pacer.next(now + 1ms).due, deadline(1, now));
}

} // namespace
