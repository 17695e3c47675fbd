// Faults on the server's side never cost a player a run: vexlo-board's
// server and workers as processes over a real PostgreSQL, with the
// verifying child killed, fork refused and the database restarted under
// them.
#include "board_support.h"
#include "long_game.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

using namespace board_test;
using namespace std::chrono_literals;
using json = nlohmann::json;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Short games, each another: the car moved at different updates.
std::string shortGame(int i) {
    return "272 13\n" + std::to_string(280 + i % 450) + " 38\n" + std::to_string(730 + i / 450) + " 40\n";
}

std::string count(const TestDatabase& db, const std::string& where) {
    return db.value("SELECT count(*) FROM runs WHERE " + where);
}

// A worker is ready once it has played a first game of its own; sanitized,
// beside other tests' workers on a busy machine, that can take a while.
bool readyBoth(BoardProcess& a, BoardProcess& b) {
    return eventually(
        [&] {
            return a.output().find(" ready") != std::string::npos &&
                   b.output().find(" ready") != std::string::npos;
        },
        std::chrono::seconds(120));
}

class Faults : public ::testing::Test {
protected:
    Faults() : serve({"serve", "--port", "0", "--rate", "0", "--max-waiting", "0"}, db.url()) {
        port = serve.port();
    }
    TestDatabase db;
    BoardProcess serve;
    int port = 0;
};

TEST_F(Faults, AVerifyingChildKilledSixTimesInARowCostsThePlayerNothing) {
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    const std::string game = longGame(30000); // half a second of play or so
    ASSERT_FALSE(game.empty());
    const int id = submit(port, "unlucky", game);
    ASSERT_NE(id, 0);
    const std::string where = "id = " + std::to_string(id);
    auto killedAt = Clock::now();
    for (int kill = 1; kill <= 6; ++kill) {
        pid_t child = 0;
        ASSERT_TRUE(eventually(
            [&] {
                const auto children = childrenOf(worker.pid());
                child = children.empty() ? 0 : children.front();
                return child != 0 && count(db, where + " AND status = 'verifying'") == "1";
            },
            60s))
            << "kill " << kill;
        // Not tried again before its delay: 1 s, then 2 s, then 4 s.
        if (kill > 1 && kill <= 4) {
            EXPECT_GE(Clock::now() - killedAt, std::chrono::milliseconds(900 << (kill - 2))) << kill;
        }
        ::kill(child, SIGKILL);
        killedAt = Clock::now();
        const double killedEpoch =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        ASSERT_TRUE(eventually([&] {
            return count(db, where + " AND status = 'queued' AND failures = " + std::to_string(kill)) == "1";
        })) << "kill "
            << kill;
        EXPECT_EQ(db.value("SELECT failure FROM runs WHERE " + where),
                  "the verifying process ended abnormally: Killed");
        // Put back at once, until the kill and 1 s, 2 s, 4 s, ... more.
        const double delay = 1 << (kill - 1);
        const double until =
            std::stod(db.value("SELECT extract(epoch FROM not_before) FROM runs WHERE " + where)) - killedEpoch;
        EXPECT_GE(until, delay - 0.05) << kill;
        EXPECT_LE(until, delay + 1.0) << kill;
        if (kill >= 4) // its schedule checked, the rest of its wait is skipped
            db.value("UPDATE runs SET not_before = now() WHERE " + where + " RETURNING 1");
    }
    const json answer = finished(port, id, 120s);
    EXPECT_EQ(answer.value("status", ""), "verified") << answer.dump();
    EXPECT_EQ(db.value("SELECT failures FROM runs WHERE " + where), "6");
    const std::string log = worker.output();
    std::size_t putBack = 0;
    for (std::size_t at = 0; (at = log.find("put back after a failure on our side", at)) != std::string::npos;
         ++at)
        ++putBack;
    EXPECT_EQ(putBack, 6u) << log;
}

TEST_F(Faults, ForkRefusedForThirtySecondsWhile200RunsAreSubmittedRejectsNone) {
    const fs::path flag = fs::temp_directory_path() / ("board-no-fork-" + std::to_string(getpid()));
    const char* asan = std::getenv("ASAN_OPTIONS");
    // Preloaded after the sanitizer's runtime would be refused by it.
    const std::vector<std::string> env{"LD_PRELOAD=" REFUSE_FORK, "VEXLO_TEST_REFUSE_FORK=" + flag.string(),
                                       "ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") +
                                           ":verify_asan_link_order=0"};
    BoardProcess first({"worker", "--game-dir", sourceDir()}, db.url(), ".", env);
    BoardProcess second({"worker", "--game-dir", sourceDir()}, db.url(), ".", env);
    ASSERT_TRUE(readyBoth(first, second)) << first.output() << second.output();
    std::ofstream(flag).put('\n');
    const auto refused = Clock::now();
    std::vector<int> ids;
    for (int i = 0; i < 200; ++i)
        ids.push_back(submit(port, "patient", shortGame(i)));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0), 0);
    EXPECT_FALSE(
        eventually([&] { return count(db, "status IN ('verified', 'rejected')") != "0"; },
                   std::chrono::duration_cast<std::chrono::milliseconds>(30s - (Clock::now() - refused))));
    const std::string failures = db.value("SELECT sum(failures) FROM runs");
    fs::remove(flag);
    const auto allowed = Clock::now();
    EXPECT_TRUE(eventually([&] { return count(db, "status = 'verified'") == "200"; }, 180s));
    std::cout << "fork refused for 30 s: " << failures << " tries failed and were put back, none rejected; "
              << "all 200 verified "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - allowed).count()
              << " ms after fork was allowed again" << std::endl;
    EXPECT_GE(std::stoi(failures), 200);
    EXPECT_EQ(count(db, "status = 'rejected'"), "0");
}

TEST(FaultsOfTheDatabase, PostgreSQLRestartedMidVerificationLosesNoRun) {
    const fs::path folder = fs::temp_directory_path() / ("board-restart-" + std::to_string(getpid()));
    const std::string control = "bash " + sourceDir() + "/scripts/board-db.sh ";
    ASSERT_EQ(std::system((control + "start " + folder.string() + " >/dev/null").c_str()), 0);
    const std::string url = "postgresql://board@/board?host=" + folder.string();
    {
        BoardProcess serve({"serve", "--port", "0", "--rate", "0", "--max-waiting", "0"}, url);
        const int port = serve.port();
        BoardProcess first({"worker", "--game-dir", sourceDir()}, url);
        BoardProcess second({"worker", "--game-dir", sourceDir()}, url);
        ASSERT_TRUE(readyBoth(first, second)) << first.output() << second.output();
        std::vector<int> ids;
        for (int i = 0; i < 6; ++i) {
            ids.push_back(submit(port, "long", longGame(40000, i)));
            ids.push_back(submit(port, "short", shortGame(i)));
        }
        EXPECT_EQ(std::count(ids.begin(), ids.end(), 0), 0);
        // Both workers playing, then the database gone and back.
        ASSERT_TRUE(eventually(
            [&] { return !childrenOf(first.pid()).empty() && !childrenOf(second.pid()).empty(); }, 120s));
        ASSERT_EQ(std::system((control + "stop " + folder.string()).c_str()), 0);
        std::this_thread::sleep_for(1s);
        ASSERT_EQ(std::system((control + "start " + folder.string() + " >/dev/null").c_str()), 0);
        for (int id : ids)
            EXPECT_EQ(finished(port, id, 120s).value("status", ""), "verified") << id;
    }
    std::system((control + "stop " + folder.string()).c_str());
    fs::remove_all(folder);
}

} // namespace
