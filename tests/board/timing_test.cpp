// How soon a run is verified: on an idle board, and behind long runs of
// another sender. Each prints its figures; run one at a time.
#include "board_support.h"
#include "long_game.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>
#include <thread>

namespace {

using namespace board_test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Now, in seconds since 1970, as the database's clock on this machine says it.
double epochNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Seconds from `accepted` (epochNow() at the 202) to the run's verdict, by
// the database's own stamp: the figure holds no polling.
double verdictAfter(const TestDatabase& db, int id, double accepted) {
    return std::stod(db.value("SELECT extract(epoch FROM finished) FROM runs WHERE id = " + std::to_string(id))) -
           accepted;
}

bool ready(BoardProcess& worker) {
    return eventually([&] { return worker.output().find(" ready") != std::string::npos; });
}

TEST(Timing, OnAnIdleBoardAShortGameIsVerifiedWithin150msOfIts202) {
    TestDatabase db;
    BoardProcess serve({"serve", "--port", "0", "--rate", "0"}, db.url());
    const int port = serve.port();
    BoardProcess first({"worker", "--game-dir", sourceDir()}, db.url());
    BoardProcess second({"worker", "--game-dir", sourceDir()}, db.url());
    ASSERT_TRUE(ready(first) && ready(second));
    std::mt19937 random(7);
    std::vector<double> waits;
    for (int i = 0; i < 60; ++i) {
        // Idle between two games, as a quiet board is.
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + random() % 400));
        const std::string keys = "272 13\n" + std::to_string(280 + i) + " 38\n";
        const int id = submit(port, "idle", keys);
        const double accepted = epochNow();
        ASSERT_NE(id, 0);
        ASSERT_EQ(finished(port, id).value("status", ""), "verified");
        waits.push_back(verdictAfter(db, id, accepted));
    }
    std::sort(waits.begin(), waits.end());
    const double median = waits[waits.size() / 2];
    std::cout << "202 to verified on an idle board, " << waits.size() << " short games: median "
              << static_cast<int>(median * 1000) << " ms, p99 (the slowest) "
              << static_cast<int>(waits.back() * 1000) << " ms, fastest " << static_cast<int>(waits.front() * 1000)
              << " ms" << std::endl;
    EXPECT_LE(median, 0.150);
}

TEST(Timing, AShortGameBehindFourLongRunsFromOneAddressIsVerifiedInSeconds) {
    std::vector<std::string> longRuns;
    for (int variant = 0; variant < 4; ++variant) {
        longRuns.push_back(longGame(600000, variant));
        ASSERT_FALSE(longRuns.back().empty());
    }
    TestDatabase db;
    BoardProcess serve({"serve", "--port", "0", "--rate", "0"}, db.url());
    const int port = serve.port();
    BoardProcess first({"worker", "--game-dir", sourceDir()}, db.url());
    BoardProcess second({"worker", "--game-dir", sourceDir()}, db.url());
    ASSERT_TRUE(ready(first) && ready(second));
    // Two long runs hold both workers, two more wait behind them.
    std::vector<int> hogs;
    for (int i = 0; i < 4; ++i) {
        hogs.push_back(submit(port, "hog", longRuns[i], "127.0.0.1"));
        ASSERT_NE(hogs.back(), 0) << i;
        if (i == 1) {
            ASSERT_TRUE(
                eventually([&] { return !childrenOf(first.pid()).empty() && !childrenOf(second.pid()).empty(); }));
        }
    }
    const int id = submit(port, "player", "272 13\n300 38\n", "127.0.0.2");
    const double accepted = epochNow();
    ASSERT_NE(id, 0);
    ASSERT_EQ(finished(port, id, 60s).value("status", ""), "verified");
    const double wait = verdictAfter(db, id, accepted);
    const std::string hogsDone = db.value("SELECT count(*) FROM runs WHERE name = 'hog' AND finished IS NOT NULL");
    std::cout << "a short game behind 4 runs of 600,000 updates from another address: verified "
              << static_cast<int>(wait * 1000)
              << " ms after its 202 (target 2,000 ms); long runs finished by then: " << hogsDone << std::endl;
    // The target holds on a quiet machine (docs/board.md has the figure); on a
    // shared one the long runs' first second of processor time takes longer
    // to come. Without yielding, the wait would be a long run's: 10 s or more.
    EXPECT_EQ(hogsDone, "0");
    EXPECT_LE(wait, 5.0);
}

} // namespace
