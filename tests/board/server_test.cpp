// vexlo-board as it runs: the server and workers as processes over a real
// PostgreSQL, spoken to over HTTP.
#include "board/db/connection.h"
#include "board/db/queue.h"
#include "board_support.h"
#include "replay/race.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace board_test;
using json = nlohmann::json;
namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A field that may be null, as text ("" for null).
std::string text(const json& answer, const char* field) {
    return answer.contains(field) && answer[field].is_string() ? answer[field].get<std::string>() : "";
}

// The six digits the replay tool's game-over frame shows, read off the
// frame with the digit pictures of data/.
int scoreOnScreen(const std::string& keysFile, long update) {
    const std::string out = fs::temp_directory_path() / ("screen-" + std::to_string(getpid()));
    const std::string command = buildDir() + "/replay --keys " + keysFile + " --out " + out + " --dump " +
                                std::to_string(update) + " >/dev/null 2>&1";
    std::system(("cd " + sourceDir() + " && " + command).c_str());
    const std::string frame = readFile(out + "/frame-" + std::to_string(update) + ".raw");
    fs::remove_all(out);
    if (frame.size() != 320 * 200 * 4)
        return -1;
    auto shown = [&](int x, int y) {
        const auto* p = reinterpret_cast<const unsigned char*>(frame.data()) + (y * 320 + x) * 4;
        return static_cast<unsigned>(p[0] | p[1] << 8 | p[2] << 16);
    };
    int score = 0;
    for (int k = 5; k >= 0; --k) {
        int digit = -1;
        for (int d = 0; d < 10 && digit < 0; ++d) {
            const std::string picture = readFile(sourceDir() + "/data/" + std::to_string(d) + ".raw");
            bool same = picture.size() == 8 * 16 * 3;
            for (int i = 0; same && i < 8 * 16; ++i) {
                const auto* rgb = reinterpret_cast<const unsigned char*>(picture.data()) + i * 3;
                const unsigned pixel = static_cast<unsigned>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
                same = pixel == 0xFF00FF || shown(203 - 8 * k + i % 8, 128 + i / 8) == pixel;
            }
            if (same)
                digit = d;
        }
        if (digit < 0)
            return -1;
        score = score * 10 + digit;
    }
    return score;
}

class Board : public ::testing::Test {
protected:
    Board() : serve({"serve", "--port", "0", "--rate", "0", "--max-waiting", "0"}, db.url()) {
        port = serve.port();
    }
    TestDatabase db;
    BoardProcess serve;
    int port = 0;
};

TEST_F(Board, VerifiesEachGoldenGameWithTheScoreTheReplayToolShows) {
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    // Two golden games are the first one's play with keys that change
    // nothing (Left at speed 1, keys in the crash): the same game, refused
    // as a copy, whose own game-over screen shows the score kept.
    const struct {
        const char* script;
        const char* status; // or "same", as the first game
    } games[] = {{"crash_speed1", "verified"},
                 {"crash_speed5", "verified"},
                 {"escape_in_crash", "rejected"},
                 {"escape_in_last_crash_frame", "same"},
                 {"keys_held_through_crash", "same"}};
    json first;
    for (const auto& game : games) {
        const std::string file = sourceDir() + "/tests/replay/" + game.script + ".keys";
        const std::string keys = readFile(file);
        const int id = submit(port, std::string(game.script).substr(0, 24), keys);
        const json answer = finished(port, id);
        EXPECT_EQ(request(port, "GET", "/api/runs/" + std::to_string(id) + "/keys").body, keys);
        if (std::string(game.status) == "same") {
            EXPECT_EQ(text(answer, "reason"),
                      "the same game as run " + first["id"].dump() + ", already on the board")
                << game.script;
            EXPECT_EQ(first["score"].get<int>(), scoreOnScreen(file, first["updates"].get<long>())) << game.script;
            continue;
        }
        EXPECT_EQ(answer.value("status", ""), game.status) << game.script << ": " << answer.dump();
        if (answer.value("status", "") != "verified") {
            EXPECT_NE(text(answer, "reason").find("Escape"), std::string::npos);
            EXPECT_TRUE(answer["score"].is_null() && answer["rank"].is_null());
            continue;
        }
        EXPECT_TRUE(answer["reason"].is_null());
        EXPECT_EQ(answer["score"].get<int>(), scoreOnScreen(file, answer["updates"].get<long>())) << game.script;
        if (first.is_null())
            first = answer;
    }
    // The board: verified runs only, the highest score first, equal scores
    // in the order submitted; ranks agree with each run's own.
    const json board = json::parse(request(port, "GET", "/api/board?limit=100").body);
    ASSERT_EQ(board["total"], 2);
    ASSERT_EQ(board["runs"].size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const json& entry = board["runs"][i];
        EXPECT_EQ(entry["rank"], i + 1);
        EXPECT_EQ(run(port, entry["id"])["rank"], i + 1);
        if (i > 0) {
            const json& before = board["runs"][i - 1];
            EXPECT_TRUE(before["score"] > entry["score"] ||
                        (before["score"] == entry["score"] && before["id"] < entry["id"]));
        }
    }
}

TEST_F(Board, RejectsCopiesAndGamesThatDoNotEndOnTheGameOverScreen) {
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    const int original = submit(port, "original", "272 13\n");
    EXPECT_EQ(finished(port, original).value("status", ""), "verified");
    // The same keys taken at the same updates, written differently, with a
    // key after the game ended: the same game.
    const json copy = finished(port, submit(port, "copy", "# mine!\n\n 300   13 # the title waits\n999999 27\n"));
    EXPECT_EQ(text(copy, "reason"), "the same game as run " + std::to_string(original) + ", already on the board");
    // One key more during play is another game.
    EXPECT_EQ(finished(port, submit(port, "other", "272 13\n300 38\n")).value("status", ""), "verified");
    EXPECT_EQ(text(finished(port, submit(port, "title", "")), "reason"),
              "the key script ended after update 271, before the game-over screen");
    BoardProcess limited({"worker", "--game-dir", sourceDir(), "--max-updates", "1000"}, db.url());
    worker.signal(SIGTERM);
    EXPECT_EQ(worker.wait(), 0);
    EXPECT_EQ(text(finished(port, submit(port, "long", "272 13\n280 38\n")), "reason"),
              "the game passed 1000 updates without reaching its game-over screen");
}

// A daily race's game: verified with the score the replay tool shows, on
// that day's board only; open from the start of its day until a day after
// its end; the copy rule within a race.
TEST_F(Board, VerifiesDailyRunsOnTheirDaysBoardWhileTheirRaceIsOpen) {
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    const std::string keys = "272 13\n272 39\n272 39\n20000 32\n";
    const replay::Day today = replay::today();
    const fs::path dir = fs::temp_directory_path() / ("daily-" + std::to_string(getpid()));
    fs::create_directories(dir);
    int first = 0;
    for (const int ago : {0, 1}) {
        const std::string day = replay::dayText(replay::dayAfter(today, -ago));
        const std::string file = (dir / ("daily-" + day + ".keys")).string();
        std::ofstream(file) << "race daily " << day << "\n" << keys;
        const int id = submit(port, "daily", readFile(file));
        first = first == 0 ? id : first;
        const json answer = finished(port, id);
        ASSERT_EQ(answer.value("status", ""), "verified") << day << ": " << answer.dump();
        EXPECT_EQ(text(answer, "race"), "daily " + day);
        EXPECT_EQ(answer["rank"], 1);
        EXPECT_EQ(answer["score"].get<int>(), scoreOnScreen(file, answer["updates"].get<long>())) << day;
        const json board = json::parse(request(port, "GET", "/api/board?race=daily&date=" + day).body);
        ASSERT_EQ(board["total"], 1) << day;
        EXPECT_EQ(board["runs"][0]["id"], id);
    }
    fs::remove_all(dir);
    // The same keys: the same day's game is a copy, its very text refused at
    // once; the classic race's is another game.
    const std::string todays = "race daily " + replay::dayText(today) + "\n" + keys;
    const Reply copy =
        request(port, "POST", "/api/runs", "{\"name\": \"copy\", \"keys\": " + jsonString(todays) + "}");
    EXPECT_EQ(copy.status, 409);
    EXPECT_EQ(json::parse(copy.body, nullptr, false).value("id", 0), first);
    EXPECT_EQ(text(finished(port, submit(port, "copy", todays + "1000 65\n")), "reason"),
              "the same game as run " + std::to_string(first) + ", already on the board");
    const json classic = finished(port, submit(port, "classic", keys));
    EXPECT_EQ(text(classic, "race"), "classic");
    EXPECT_EQ(classic["rank"], 1);
    const json board = json::parse(request(port, "GET", "/api/board").body);
    ASSERT_EQ(board["total"], 1);
    EXPECT_EQ(board["runs"][0]["id"], classic["id"]);
    // A day not begun, and one past a day after its end.
    for (const int from : {1, -2}) {
        const std::string day = replay::dayText(replay::dayAfter(today, from));
        const Reply refused = request(port, "POST", "/api/runs",
                                      R"({"name": "late", "keys": "race daily )" + day + R"(\n272 13\n"})");
        EXPECT_EQ(refused.status, 400);
        EXPECT_EQ(json::parse(refused.body, nullptr, false).value("error", ""),
                  "the daily race of " + day + " is not open");
    }
    EXPECT_EQ(request(port, "GET", "/api/board?race=daily").status, 400);
}

TEST_F(Board, RefusesACopiedTopRunAtOnceAndTheSameGameWithKeysThatChangeNothing) {
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    const std::string top = readFile(sourceDir() + "/tests/replay/crash_speed5.keys");
    const int original = submit(port, "top", top);
    ASSERT_EQ(finished(port, original).value("status", ""), "verified");
    // The very same text: refused before it is stored or played.
    const Reply copy =
        request(port, "POST", "/api/runs", "{\"name\": \"thief\", \"keys\": " + jsonString(top) + "}");
    EXPECT_EQ(copy.status, 409);
    const json answer = json::parse(copy.body, nullptr, false);
    EXPECT_EQ(answer.value("id", 0), original);
    EXPECT_EQ(answer.value("error", ""),
              "this key script is on the board already, as run " + std::to_string(original));
    EXPECT_EQ(db.value("SELECT count(*) FROM runs"), "1");
    // Keys added that change nothing: a letter, Left at speed 1.
    const std::string same = "the same game as run " + std::to_string(original) + ", already on the board";
    EXPECT_EQ(text(finished(port, submit(port, "thief", top + "1000 65\n")), "reason"), same);
    std::string slower = top;
    slower.insert(slower.find("272 39"), "272 37\n");
    EXPECT_EQ(text(finished(port, submit(port, "thief", slower)), "reason"), same);
}

TEST_F(Board, KeepsAtMostThreeRunsWaitingPerAddressAndPerPlayerKey) {
    BoardProcess limited({"serve", "--port", "0", "--rate", "0"}, db.url());
    const int limitedPort = limited.port();
    auto post = [&](const std::string& keys, const std::string& from, const std::string& key = "") {
        return request(limitedPort, "POST", "/api/runs",
                       "{\"name\": \"" + std::string(key.empty() ? "n" : "keyed") + "\", \"keys\": " +
                           jsonString(keys) + (key.empty() ? "" : ", \"player_key\": " + jsonString(key)) + "}",
                       "application/json", "", from);
    };
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(post("272 13\n" + std::to_string(300 + i) + " 38\n", "127.0.0.1").status, 202);
    Reply refused = post("272 13\n400 38\n", "127.0.0.1");
    EXPECT_EQ(refused.status, 429);
    EXPECT_EQ(refused.headers["retry-after"], "5");
    EXPECT_EQ(json::parse(refused.body, nullptr, false).value("error", ""),
              "3 runs from this address are waiting to be verified already; try again in 5 s");
    EXPECT_EQ(post("272 13\n400 38\n", "127.0.0.2").status, 202);
    const std::string playerKey = "VmV4bG9SYWNlVGVzdEtleU9mVGhpcnR5VHdvQnl0ZXM";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(
            post("272 13\n" + std::to_string(500 + i) + " 38\n", "127.0.0." + std::to_string(10 + i), playerKey)
                .status,
            202);
    EXPECT_EQ(post("272 13\n600 38\n", "127.0.0.20", playerKey).status, 429);
    EXPECT_EQ(db.value("SELECT count(*) FROM runs"), "7");
    // Once a worker has taken them, there is room again.
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    EXPECT_TRUE(eventually([&] { return db.value("SELECT count(*) FROM runs WHERE status = 'queued'") == "0"; }));
    EXPECT_EQ(post("272 13\n401 38\n", "127.0.0.1").status, 202);
}

TEST_F(Board, HandsTheRunOfAKilledWorkerToAnotherOnceItsLeaseRunsOut) {
    const int stuck = submit(port, "stuck", "272 13\n");
    board::db::Connection direct(db.url());
    ASSERT_TRUE(board::db::claimRun(direct, 2)); // a worker that died holding it
    EXPECT_EQ(run(port, stuck).value("status", ""), "verifying");
    for (int i = 0; i < 20; ++i)
        submit(port, "run", "272 13\n" + std::to_string(300 + i) + " 40\n");
    {
        BoardProcess first({"worker", "--game-dir", sourceDir(), "--lease", "2"}, db.url());
        eventually(
            [&] { return std::stoi(db.value("SELECT count(*) FROM runs WHERE finished IS NOT NULL")) >= 3; });
        first.signal(SIGKILL);
        first.wait();
    }
    BoardProcess second({"worker", "--game-dir", sourceDir(), "--lease", "2"}, db.url());
    EXPECT_TRUE(eventually([&] { return db.value("SELECT count(*) FROM runs WHERE finished IS NULL") == "0"; }));
    EXPECT_EQ(run(port, stuck).value("status", ""), "verified");
    EXPECT_EQ(db.value("SELECT count(*) FROM runs WHERE status IN ('verified', 'rejected')"), "21");
}

TEST_F(Board, AnswersEachErrorAndStoresNothingItRefuses) {
    const std::string good = "{\"name\": \"a\", \"keys\": \"\"}";
    const struct {
        std::string method, target, body, type;
        int status;
    } cases[] = {
        {"POST", "/api/runs", "{\"name\": ", "application/json", 400},
        {"POST", "/api/runs", "{\"name\": \"<i>\", \"keys\": \"\"}", "application/json", 400},
        {"POST", "/api/runs", good, "text/plain", 415},
        {"POST", "/api/runs", "{\"name\": \"a\", \"keys\": \"" + std::string(300000, '#') + "\"}",
         "application/json", 413},
        {"GET", "/api/runs", "", "", 405},
        {"PUT", "/api/runs/1", good, "application/json", 405},
        {"DELETE", "/api/board", "", "", 405},
        {"GET", "/api/runs/12345", "", "", 404},
        {"GET", "/api/runs/12345/keys", "", "", 404},
        {"GET", "/api/nothing", "", "", 404},
        {"GET", "/index.html", "", "", 404}, // no --web
        {"GET", "/api/board?limit=1000", "", "", 400},
    };
    for (const auto& c : cases) {
        Reply reply = request(port, c.method, c.target, c.body, c.type);
        EXPECT_EQ(reply.status, c.status) << c.method << " " << c.target;
        EXPECT_EQ(reply.headers["content-type"], "application/json");
        EXPECT_TRUE(json::parse(reply.body, nullptr, false).contains("error")) << reply.body;
        EXPECT_EQ(reply.headers["access-control-allow-origin"], "*");
    }
    EXPECT_EQ(request(port, "GET", "/api/runs/12345").headers["access-control-allow-origin"], "*");
    Reply preflight = request(port, "OPTIONS", "/api/runs");
    EXPECT_EQ(preflight.status, 204);
    EXPECT_NE(preflight.headers["access-control-allow-methods"].find("POST"), std::string::npos);
    EXPECT_EQ(db.value("SELECT count(*) FROM runs"), "0");

    BoardProcess strict({"serve", "--port", "0", "--rate", "1", "--burst", "2"}, db.url());
    const int strictPort = strict.port();
    int status = 0;
    for (int i = 0; i < 3; ++i)
        status = request(strictPort, "GET", "/api/health").status;
    EXPECT_EQ(status, 429);
    EXPECT_EQ(request(strictPort, "GET", "/api/health").headers["retry-after"], "1");
}

TEST(BoardDatabase, AnswersUnavailableWhileItIsAwayAndRecoversByItself) {
    const fs::path folder = fs::temp_directory_path() / ("board-away-" + std::to_string(getpid()));
    const std::string control = "bash " + sourceDir() + "/scripts/board-db.sh ";
    ASSERT_EQ(std::system((control + "start " + folder.string() + " >/dev/null").c_str()), 0);
    const std::string url = "postgresql://board@/board?host=" + folder.string();
    BoardProcess serve({"serve", "--port", "0", "--rate", "0"}, url);
    const int port = serve.port();
    EXPECT_EQ(request(port, "GET", "/api/health").body, "{\"ok\":true}");
    const int id = submit(port, "before", "272 13\n");
    ASSERT_EQ(std::system((control + "stop " + folder.string()).c_str()), 0);
    for (const auto& [method, target] :
         {std::pair{"GET", "/api/health"}, {"GET", "/api/board"}, {"POST", "/api/runs"}}) {
        Reply reply = request(port, method, target, "{\"name\": \"a\", \"keys\": \"\"}");
        EXPECT_EQ(reply.status, 503) << target;
        EXPECT_EQ(reply.headers["retry-after"], "5");
    }
    ASSERT_EQ(std::system((control + "start " + folder.string() + " >/dev/null").c_str()), 0);
    EXPECT_TRUE(eventually([&] { return request(port, "GET", "/api/health").status == 200; }));
    EXPECT_EQ(run(port, id).value("status", ""), "queued");
    std::system((control + "stop " + folder.string()).c_str());
    fs::remove_all(folder);
}

TEST_F(Board, ServesThePagesFolderAndNothingOutsideIt) {
    const fs::path top = fs::temp_directory_path() / ("board-web-" + std::to_string(getpid()));
    fs::create_directories(top / "site");
    std::ofstream(top / "site" / "index.html") << "<p>page</p>";
    std::ofstream(top / "secret.txt") << "secret";
    BoardProcess web({"serve", "--port", "0", "--rate", "0", "--web", (top / "site").string()}, db.url());
    const int webPort = web.port();
    Reply page = request(webPort, "GET", "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body, "<p>page</p>");
    EXPECT_EQ(page.headers["content-type"], "text/html; charset=utf-8");
    for (const char* outside :
         {"/../secret.txt", "/%2e%2e/secret.txt", "/..%2fsecret.txt", "/%252e%252e/secret.txt"})
        EXPECT_EQ(request(webPort, "GET", outside).status, 404) << outside;
    EXPECT_EQ(request(webPort, "POST", "/index.html", "x").status, 405);
    EXPECT_EQ(request(webPort, "GET", "/api/health").status, 200);
    fs::remove_all(top);
}

} // namespace
