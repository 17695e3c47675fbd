// Verification in this process: the child's limits and how it ends, a long
// child stopped while other work runs, and which keys make a new game.
#include "board/verify/child_process.h"
#include "board/verify/verifier.h"
#include "board_support.h"
#include "long_game.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace board;
using namespace std::chrono_literals;

// The address space this process has mapped already, which a child starts
// with.
long mappedBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::stol(line.substr(7)) * 1024;
    return 0;
}

void spin(std::chrono::milliseconds cpu) {
    while (std::clock() < static_cast<std::clock_t>(cpu.count() * (CLOCKS_PER_SEC / 1000))) {
    }
}

// The child's text when it could touch every byte of `bytes` it asked for.
std::string allocate(long bytes) {
    std::vector<char> block(static_cast<std::size_t>(bytes), 1);
    return std::to_string(block[block.size() / 2]);
}

TEST(ChildLimits, MemoryAndProcessorTimeEndAChildAsTheyShould) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no address-space limit under AddressSanitizer (its shadow memory needs terabytes)";
#endif
    ChildLimits limits;
    limits.cpuSeconds = 1;
    limits.memoryBytes = mappedBytes() + 64L * 1024 * 1024;
    EXPECT_EQ(runChild([] { return allocate(16L * 1024 * 1024); }, limits).output, "1");
    const ChildResult greedy = runChild([] { return allocate(256L * 1024 * 1024); }, limits);
    EXPECT_EQ(greedy.end, ChildEnd::OutOfMemory) << greedy.detail;
    const auto started = std::chrono::steady_clock::now();
    const ChildResult spinner = runChild(
        []() -> std::string {
            for (;;)
                spin(10000ms);
        },
        limits);
    EXPECT_EQ(spinner.end, ChildEnd::OutOfTime) << spinner.detail;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
}

TEST(ChildLimits, ASignalFromOutsideIsNotTheRunsDoing) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer takes a SIGSEGV for a report of its own.
    const std::vector<int> signals = {SIGKILL};
#else
    const std::vector<int> signals = {SIGKILL, SIGSEGV};
#endif
    for (int sig : signals) {
        const ChildResult killed = runChild(
            [sig]() -> std::string {
                spin(100ms);
                raise(sig);
                return "alive";
            },
            {});
        EXPECT_EQ(killed.end, ChildEnd::Crashed) << sig;
        EXPECT_EQ(killed.detail, strsignal(sig));
    }
}

TEST(ChildLimits, ALongChildIsStoppedWhileOtherWorkRunsThenGoesOn) {
    // The child spins for 1.5 s of processor time; after 0.3 s of it, the
    // parent stops it for 0.6 s of other work, which the child must not see.
    ChildWatch watch;
    watch.yieldAfter = 300ms;
    int yields = 0;
    std::string stoppedState;
    watch.yieldTo = [&]() -> std::function<void()> {
        if (yields++ > 0)
            return {};
        return [&] {
            std::this_thread::sleep_for(600ms);
            for (pid_t child : board_test::childrenOf(getpid()))
                stoppedState += board_test::stateOf(child);
        };
    };
    const auto started = std::chrono::steady_clock::now();
    const ChildResult result = runChild(
        [] {
            spin(1500ms);
            return std::string("done");
        },
        {}, watch);
    EXPECT_EQ(result.end, ChildEnd::Finished);
    EXPECT_EQ(result.output, "done");
    EXPECT_EQ(stoppedState, "T"); // stopped, not running, while the other work ran
    EXPECT_GE(yields, 2);         // asked again after, and nothing more to do
    EXPECT_GE(std::chrono::steady_clock::now() - started, 2100ms);
}

// Games played here read data/ from the source tree.
class Games : public ::testing::Test {
protected:
    Games() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(board_test::sourceDir());
    }
    ~Games() override { std::filesystem::current_path(previous_); }

    static Verdict play(const std::string& text, const VerifyLimits& limits = {}) {
        std::istringstream in(text);
        return verify(replay::readKeyScript(in, "test"), limits);
    }

private:
    std::filesystem::path previous_;
};

TEST_F(Games, KeysThatChangeNothingMakeNoNewGame) {
    // Straight to speed 5, then the traffic.
    const std::string game = "272 13\n272 39\n272 39\n272 39\n272 39\n";
    const Verdict original = play(game);
    ASSERT_EQ(original.outcome, Outcome::Verified) << original.reason;
    const struct {
        const char* why;
        std::string keys;
    } same[] = {
        {"a letter and Enter during play", game + "300 65\n301 13\n"},
        {"Left at speed 1, Right at speed 5", "272 13\n272 37\n272 39\n272 39\n272 39\n272 39\n400 39\n"},
        {"Up and Down in one frame", game + "350 38\n350 40\n"},
        {"a shorter title, the same play after it", "150 32\n151 13\n152 39\n152 39\n152 39\n152 39\n"},
        {"keys after the game-over screen", game + "900 38\n950 38\n"},
    };
    for (const auto& c : same) {
        const Verdict v = play(c.keys);
        ASSERT_EQ(v.outcome, Outcome::Verified) << c.why << ": " << v.reason;
        EXPECT_EQ(v.game, original.game) << c.why;
        EXPECT_EQ(v.score, original.score) << c.why;
    }
    // What the car does is another game: a step up, speed 4 for a frame.
    for (const std::string& other : {game + "300 38\n", std::string("272 13\n272 39\n272 39\n272 39\n273 39\n")})
        EXPECT_NE(play(other).game, original.game) << other;
}

TEST_F(Games, ARunPastItsProcessorTimeIsRejected) {
    const std::string game = board_test::longGame(200000);
    ASSERT_FALSE(game.empty());
    VerifyLimits limits;
    limits.cpuSeconds = 1;
    const Verdict v = play(game, limits);
    EXPECT_EQ(v.outcome, Outcome::Rejected);
    EXPECT_EQ(v.reason, "the game took longer than the time limit of 1 s to verify");
}

} // namespace
