// A game sent to a score server, against answers made up here: what is
// sent, how the verdict is waited for, and the one line said for each end;
// and the player's key that goes with it.
// (The real server and libcurl: tests/game_window/kept_games_test.sh.)
#include "launch/desktop/kept_games.h"
#include "launch/desktop/options.h"
#include "launch/desktop/player_key.h"
#include "launch/desktop/run_link.h"
#include "launch/desktop/score_submission.h"
#include "../support/temp_dir.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <deque>
#include <fstream>

namespace {

using namespace vexlo;
using std::chrono::milliseconds;

// Answers in turn, noting each request.
class MadeUpServer : public HttpClient {
public:
    std::deque<HttpReply> replies;
    std::vector<std::string> asked; // "GET url" or "POST url body"

    HttpReply get(const std::string& url) override { return next("GET " + url); }
    HttpReply postJson(const std::string& url, const std::string& body) override {
        return next("POST " + url + " " + body);
    }

private:
    HttpReply next(const std::string& request) {
        asked.push_back(request);
        if (replies.empty())
            return {0, "", -1, "Connection refused"};
        HttpReply reply = replies.front();
        replies.pop_front();
        return reply;
    }
};

HttpReply answer(long status, const std::string& body, long retryAfter = -1) {
    return {status, body, retryAfter, ""};
}

struct Submission {
    MadeUpServer server;
    std::vector<milliseconds> slept;
    long queuedId = 0;
    std::string key; // the player's; none sent when empty

    SubmitOutcome send(const std::string& name = "Ann") {
        SubmitPacing pacing;
        pacing.verdictLimit = milliseconds(10000);
        pacing.sleep = [this](milliseconds pause) { slept.push_back(pause); };
        pacing.queued = [this](long id) { queuedId = id; };
        return submitRun(server, "http://scores.test:8080/", name, "# a game\n272 13\n", key, pacing);
    }
};

TEST(Submission, SendsTheRecordingAndWaitsForTheVerdictThenSaysTheRank) {
    Submission s;
    s.server.replies = {answer(202, R"({"id": 17, "status": "queued"})"),
                        answer(200, R"({"id": 17, "status": "queued", "score": null})"),
                        answer(503, R"({"error": "the database is away"})"),
                        answer(200, R"({"id": 17, "status": "verifying"})"),
                        answer(200, R"({"id": 17, "status": "verified", "score": 4210, "updates": 1670,
                                        "rank": 2, "reason": null})"),
                        answer(200, R"({"total": 7, "runs": []})")};
    const SubmitOutcome outcome = s.send();
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.verdict);
    EXPECT_EQ(outcome.line, "verified: rank 2 of 7, score 4210");
    EXPECT_EQ(s.queuedId, 17);
    ASSERT_EQ(s.server.asked.size(), 6u);
    const std::string post = s.server.asked[0];
    ASSERT_EQ(post.rfind("POST http://scores.test:8080/api/runs ", 0), 0u) << post;
    const auto body = nlohmann::json::parse(post.substr(post.find(' ', 5) + 1));
    EXPECT_EQ(body, (nlohmann::json{{"name", "Ann"}, {"keys", "# a game\n272 13\n"}}));
    EXPECT_EQ(s.server.asked[1], "GET http://scores.test:8080/api/runs/17");
    EXPECT_EQ(s.server.asked[5], "GET http://scores.test:8080/api/board?limit=1");
    // The looks come ever less often, up to the longest wait.
    EXPECT_EQ(s.slept, (std::vector<milliseconds>{milliseconds(250), milliseconds(500), milliseconds(1000),
                                                  milliseconds(2000)}));
}

TEST(Submission, EachOtherEndIsOneLineWithStatusOne) {
    struct Case {
        std::deque<HttpReply> replies;
        bool verdict;
        std::string line;
    };
    const std::vector<Case> cases = {
        {{answer(202, R"({"id": 3})"),
          answer(200, R"({"status": "rejected", "reason": "the game ended by Escape"})")},
         true,
         "rejected: the game ended by Escape"},
        {{answer(409, R"({"error": "this key script is on the board already, as run 1", "id": 1})")},
         true,
         "rejected: this key script is on the board already, as run 1"},
        {{}, false, "cannot reach the score server at http://scores.test:8080/: Connection refused"},
        {{answer(400, R"({"error": "keys: line 2: \u001b[31mbad\u0007"})")},
         false,
         "the score server refused the run: keys: line 2:  [31mbad "}, // a terminal's controls made harmless
        {{answer(413, "<html>too large</html>")}, false, "the score server refused the run: status 413"},
        {{answer(503, R"({"error": "the database is away"})")},
         false,
         "the score server at http://scores.test:8080/ cannot take runs now: the database is away"},
        {{answer(202, R"({"status": "queued"})")},
         false,
         "the score server at http://scores.test:8080/ gave no run number"},
        {{answer(202, R"({"id": 3})"), answer(404, R"({"error": "no such run"})")},
         false,
         "the score server at http://scores.test:8080/ no longer knows run 3"},
        {{answer(202, R"({"id": 3})")},
         false,
         "lost the score server at http://scores.test:8080/ while waiting for run 3: Connection refused"},
    };
    for (const Case& c : cases) {
        Submission s;
        s.server.replies = c.replies;
        const SubmitOutcome outcome = s.send();
        EXPECT_EQ(outcome.status, 1) << c.line;
        EXPECT_EQ(outcome.verdict, c.verdict) << c.line;
        EXPECT_EQ(outcome.line, c.line);
    }
    // A run that stays queued: given up on at the limit, with where to look later.
    Submission s;
    s.server.replies = {answer(202, R"({"id": 9})")};
    for (int i = 0; i < 100; ++i)
        s.server.replies.push_back(answer(200, R"({"status": "queued"})"));
    const SubmitOutcome outcome = s.send();
    EXPECT_EQ(outcome.line, "no verdict on run 9 within 10 s; see http://scores.test:8080/api/runs/9");
    milliseconds waited{0};
    for (const milliseconds pause : s.slept)
        waited += pause;
    EXPECT_LE(waited, milliseconds(10000));
}

// The command line's fault, as one this side refuses: status 2.
TEST(Submission, ANameTheServerRefusesForItsRulesIsStatusTwo) {
    Submission s;
    s.server.replies = {answer(400, R"({"error": "name may not contain control characters"})")};
    const SubmitOutcome outcome = s.send("Ann\u0085");
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.line, "the score server refused the run: name may not contain control characters");
    EXPECT_EQ(nameProblem("<b>Ann</b>"), "the name holds markup (< or >)");
    // An address without a scheme is a plain http one; another scheme is one line.
    const CommandLine plain = parseCommandLine({"--submit", "best", "--name", "A", "--server", "127.0.0.1:8080"});
    EXPECT_EQ(plain.error, "");
    EXPECT_EQ(plain.options.server, "http://127.0.0.1:8080");
    EXPECT_TRUE(parseCommandLine({"--submit", "best", "--name", "A", "--server", "ftp://s"}).valueError);
}

TEST(RunLink, NamesTheRunAndItsServerAndFetchesItsKeysOrSaysWhyNot) {
    std::string problem;
    auto link = parseRunLink("http://127.0.0.1:8080/index.html#run=12", problem);
    ASSERT_TRUE(link) << problem;
    EXPECT_EQ(link->id, 12);
    EXPECT_EQ(link->board, "http://127.0.0.1:8080/");
    link = parseRunLink("https://games.example/vexlo/index.html#run=7&board=http%3A%2F%2Fscores.example%3A8080%2F",
                        problem);
    ASSERT_TRUE(link) << problem;
    EXPECT_EQ(link->board, "http://scores.example:8080/");
    for (const char* bad :
         {"http://h/index.html", "http://h/#run=0", "http://h/#run=x", "http://h/#run=3&board=%zz"})
        EXPECT_FALSE(parseRunLink(bad, problem)) << bad;

    MadeUpServer server;
    server.replies = {answer(200, R"({"status": "verified", "name": "Ann\u0007 B", "score": 1200, "rank": 3,
                                      "race": "daily 2026-12-10"})"),
                      answer(200, "272 13\n"), answer(404, R"({"error": "no such run"})"),
                      answer(200, R"({"status": "hidden"})"), answer(200, R"({"status": "queued"})")};
    const RunLink run{"http://h/", 5};
    const FetchedRun fetched = fetchRun(server, run, problem);
    EXPECT_EQ(fetched.keys, "272 13\n");
    EXPECT_EQ(fetched.about, "Ann B: 1200 points, rank 3, daily race 2026-12-10");
    EXPECT_EQ(server.asked.at(0), "GET http://h/api/runs/5");
    EXPECT_EQ(server.asked.at(1), "GET http://h/api/runs/5/keys");
    const std::string notShown = "run 5 is not on the board at http://h/ (unknown, or hidden by its moderators)";
    for (const std::string& why :
         {notShown, notShown, std::string("run 5 is not on the board at http://h/: it has not been verified")}) {
        problem.clear();
        EXPECT_EQ(fetchRun(server, run, problem).keys, "");
        EXPECT_EQ(problem, why);
    }
    EXPECT_EQ(server.asked.size(), 5u); // no keys asked for a run not shown
}

TEST(Submission, TooManyRequestsWaitsAsTheServerAsks) {
    Submission s;
    s.server.replies = {answer(429, R"({"error": "too many requests"})", 3), answer(202, R"({"id": 4})"),
                        answer(200, R"({"status": "verified", "score": 90, "rank": 1})"),
                        answer(503, R"({"error": "the database is away"})")};
    const SubmitOutcome outcome = s.send();
    EXPECT_EQ(outcome.line, "verified: rank 1, score 90"); // without the board's total
    EXPECT_EQ(s.slept.front(), milliseconds(3000));
}

TEST(Submission, NamesAndTheCommandLine) {
    EXPECT_EQ(nameProblem("Ann"), "");
    EXPECT_EQ(nameProblem("  Zoë Ångström  "), "");
    EXPECT_EQ(nameProblem(std::string(24, 'x')), "");
    EXPECT_EQ(nameProblem("\xc3\xa9" + std::string(23, 'x')), ""); // 24 characters, 25 bytes
    EXPECT_EQ(nameProblem(std::string(25, 'x')), "the name must have 1 to 24 characters");
    EXPECT_EQ(nameProblem(" \t "), "the name must have 1 to 24 characters");
    EXPECT_EQ(nameProblem("a\x1b[2Jb"), "the name holds a control character");
    EXPECT_EQ(nameProblem("\xc3"), "the name is not valid UTF-8");
    EXPECT_EQ(nameProblem("\xff"), "the name is not valid UTF-8");

    const CommandLine good =
        parseCommandLine({"--submit", "latest", "--name=Ann", "--server", "https://s.example/"});
    EXPECT_EQ(good.error, "");
    EXPECT_EQ(good.options.submit, "latest");
    EXPECT_EQ(good.options.name, "Ann");
    EXPECT_EQ(good.options.server, "https://s.example/");
    EXPECT_TRUE(parseCommandLine({"--scores"}).options.scores);
    EXPECT_EQ(parseCommandLine({"--wat", "best"}).options.watch, "best");
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--submit", "best"}, "--submit needs --name NAME"},
        {{"--name", "Ann"}, "--name goes with --submit"},
        {{"--server", "http://s"}, "--server goes with --submit"},
        {{"--scores", "--submit", "best", "--name", "A"}, "--scores and --submit cannot be used together"},
        {{"--watch", "best", "--scores"}, "--watch and --scores cannot be used together"},
        {{"--submit", "best", "--name="}, "option '--name' needs a name"},
        {{"--submit", "best", "--name", "A", "--server", "ftp://s"},
         "invalid server: not an http:// or https:// address: 'ftp://s'"},
        {{"--s"}, "option '--s' is ambiguous"},
    };
    for (const auto& [args, error] : bad)
        EXPECT_EQ(parseCommandLine(args).error, error) << args[0];
}

} // namespace

namespace {

TEST(Submission, SendsThePlayersKeyAndSaysWhenTheOperatorsHidTheRun) {
    Submission s;
    s.key = std::string(43, 'k');
    s.server.replies = {answer(202, R"({"id": 5})"),
                        answer(200, R"({"status": "hidden", "reason": "found in a cheat's folder\u001b[2J"})")};
    const SubmitOutcome outcome = s.send();
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.verdict);
    EXPECT_EQ(outcome.line, "hidden by the board's operators: found in a cheat's folder [2J");
    const std::string post = s.server.asked.at(0);
    EXPECT_EQ(nlohmann::json::parse(post.substr(post.find(' ', 5) + 1))["player_key"], s.key);
    s.server.replies = {answer(403, R"({"error": "this name belongs to another player"})")};
    EXPECT_EQ(s.send().line, "the score server refused the run: this name belongs to another player");

    EXPECT_TRUE(parseCommandLine({"--player-key"}).options.playerKey);
    EXPECT_EQ(parseCommandLine({"--player-key", "--scores"}).error,
              "--scores and --player-key cannot be used together");
}

TEST(PlayerKey, IsMadeOnceKeptForItsPlayerAloneAndNeverOverwritten) {
    testing_support::TempDir home;
    EXPECT_EQ(playerKeyFile(keptGamesFolder("/data", "/home/ann")), "/data/vexlo-race/player.key");
    EXPECT_EQ(playerKeyFile(keptGamesFolder("relative", "/home/ann")),
              "/home/ann/.local/share/vexlo-race/player.key");
    EXPECT_FALSE(playerKeyFile(keptGamesFolder(nullptr, nullptr)));

    const auto file = home.path() / "share" / "vexlo-race" / "player.key"; // its folder made too
    const PlayerKey made = playerKey(file);
    ASSERT_EQ(made.problem, "");
    EXPECT_TRUE(isPlayerKey(made.key)) << made.key;
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(playerKey(file).key, made.key);
    EXPECT_NE(playerKey(home.path() / "other.key").key, made.key);

    // A key written by hand (from another device) is taken; anything else
    // is left for its player to see to.
    std::ofstream(file) << "  " << std::string(42, '-') << "_\r\n";
    EXPECT_EQ(playerKey(file).key, std::string(42, '-') + "_");
    std::ofstream(file) << "my key";
    const PlayerKey bad = playerKey(file);
    EXPECT_EQ(bad.key, "");
    EXPECT_NE(bad.problem.find("holds no player key"), std::string::npos) << bad.problem;
    std::ifstream kept(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "my key");
    std::filesystem::create_directories(home.path() / "folder.key");
    EXPECT_NE(playerKey(home.path() / "folder.key").problem.find("is a folder"), std::string::npos);
    for (const std::string& text : {std::string(43, '+'), std::string(44, 'a'), std::string(43, 'a') + "="})
        EXPECT_FALSE(isPlayerKey(text)) << text;
}

} // namespace
