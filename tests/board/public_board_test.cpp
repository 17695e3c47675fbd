// The board in public, as processes over a real PostgreSQL, spoken to over
// HTTP and through vexlo-board admin: a claimed name and a thousand of its
// look-alikes, the admin routes without a valid token, the operators'
// command line, and hides and bans while eight workers verify a thousand
// runs, after which the board's counts still equal a fresh count.
#include "board/db/connection.h"
#include "board/names/secret.h"
#include "board_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <random>
#include <thread>

namespace {

using namespace board_test;
using board::names::newSecret;
using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

std::string runBody(const std::string& name, const std::string& keys, const std::string& key = "") {
    return "{\"name\": " + jsonString(name) + ", \"keys\": " + jsonString(keys) +
           (key.empty() ? "" : ", \"player_key\": \"" + key + "\"") + "}";
}

struct Said {
    int status;
    std::string output;
};

Said admin(const std::vector<std::string>& args, const std::string& url) {
    std::vector<std::string> all{"admin"};
    all.insert(all.end(), args.begin(), args.end());
    BoardProcess process(all, url);
    const int status = process.wait();
    return {status, process.output()};
}

// A new admin token: the last line vexlo-board admin token create prints.
std::string newToken(const std::string& note, const std::string& url) {
    std::string out = admin({"token", "create", "--note", note}, url).output;
    out.erase(out.find_last_not_of('\n') + 1);
    return out.substr(out.find_last_of('\n') + 1);
}

std::string bearer(const std::string& token) { return "Authorization: Bearer " + token + "\r\n"; }

// All that names and moderation may change, in one line.
std::string boardState(const TestDatabase& db) {
    return db.value(R"(SELECT concat_ws(' | ',
        (SELECT string_agg(id || status || coalesce(hidden_reason, '-'), ',' ORDER BY id) FROM runs),
        (SELECT string_agg(skeleton || coalesce(banned_reason, '-') || coalesce(encode(player_key, 'hex'), '-'),
                           ',' ORDER BY skeleton) FROM names),
        (SELECT count(*) FROM moderation_log),
        (SELECT string_agg(id || coalesce(revoked::text, '-'), ',' ORDER BY id) FROM admin_tokens),
        (SELECT string_agg(score || ':' || runs, ',' ORDER BY score) FROM score_counts)))");
}

std::string status(int port, long long id) {
    const json run = json::parse(request(port, "GET", "/api/runs/" + std::to_string(id)).body, nullptr, false);
    return run.value("status", "");
}

// Ann written in other letters that look alike (case, full width, the
// mathematical alphabets, Cyrillic and Greek), and with what hides,
// reorders or stacks in each place of it.
std::vector<std::string> impersonations() {
    const std::vector<std::string> a = {"A",          "a",          "\uff21",     "\uff41",     "\U0001D400",
                                        "\U0001D41A", "\U0001D5A0", "\U0001D5D4", "\U0001D608", "\U0001D670",
                                        "\u0410",     "\u0430",     "\u0391"};
    const std::vector<std::string> n = {"n",          "N",          "\uff4e",     "\uff2e",     "\U0001D427",
                                        "\U0001D40D", "\U0001D5C7", "\U0001D5E1", "\U0001D62F", "\u039d"};
    std::vector<std::string> names;
    for (const std::string& first : a)
        for (const std::string& second : n)
            for (const std::string& third : n)
                names.push_back(first + second + third);
    const std::vector<std::string> hiding = {
        "\u200b", "\u200c", "\u200d", "\u2060", "\ufeff",     "\u00ad",     "\u034f",    "\u115f", "\u1160",
        "\u3164", "\uffa0", "\u2800", "\u180e", "\u2061",     "\u2064",     "\ufe0f",    "\ufe00", "\u061c",
        "\u200e", "\u200f", "\u202a", "\u202b", "\u202c",     "\u202d",     "\u202e",    "\u2066", "\u2067",
        "\u2068", "\u2069", "\u0085", "\u2028", "\U000E0020", "\U000E0041", "\U000E007F"};
    for (const std::string base : {"Ann", "aNN"})
        for (const std::string& c : hiding)
            for (std::size_t at : {1, 2, 3})
                names.push_back(base.substr(0, at) + c + base.substr(at));
    for (const char* marks : {"\u0300\u0301\u0302", "\u0308\u0308\u0308", "\u0323\u0304\u030c\u0306"})
        for (std::size_t at : {1, 2, 3})
            names.push_back(std::string("Ann").substr(0, at) + marks + std::string("Ann").substr(at));
    for (const char* padded : {" Ann ", "\u00a0ANN", "ann\u3000", "\tAnn"})
        names.push_back(padded);
    return names;
}

class PublicBoard : public ::testing::Test {
protected:
    PublicBoard() : serve({"serve", "--port", "0", "--rate", "0", "--max-waiting", "0"}, db.url()) {
        port = serve.port();
    }
    long long submit(const std::string& name, const std::string& keys, const std::string& key = "") {
        const Reply reply = request(port, "POST", "/api/runs", runBody(name, keys, key));
        EXPECT_EQ(reply.status, 202) << name << ": " << reply.body;
        return json::parse(reply.body, nullptr, false).value("id", 0LL);
    }
    bool finished(long long id) {
        return eventually([&] {
            const std::string s = status(port, id);
            return s == "verified" || s == "rejected";
        });
    }
    TestDatabase db;
    BoardProcess serve;
    int port = 0;
};

TEST_F(PublicBoard, AThousandLookAlikesOfAClaimedNameAreRefusedAndNothingIsStored) {
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    const std::string owner = newSecret(), other = newSecret();
    const long long claim = submit("Ann", "272 13\n", owner);
    ASSERT_TRUE(finished(claim));
    ASSERT_EQ(status(port, claim), "verified");
    const std::vector<std::string> names = impersonations();
    ASSERT_GE(names.size(), 1000u);
    const std::string before = boardState(db);
    int refused[2] = {0, 0};
    const auto start = Clock::now();
    for (std::size_t i = 0; i < names.size(); ++i) {
        // With another player's key, or with none.
        const Reply reply =
            request(port, "POST", "/api/runs", runBody(names[i], "272 13\n300 38\n", i % 2 ? other : ""));
        EXPECT_TRUE(reply.status == 400 || reply.status == 403) << names[i] << ": " << reply.status << reply.body;
        ++refused[reply.status == 403];
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(boardState(db), before);
    std::cout << "impersonation: " << names.size() << " look-alikes of a claimed name refused (" << refused[0]
              << " with 400, " << refused[1] << " with 403) in " << seconds << " s; nothing stored\n";
    // Its player may still use it, in any of its spellings.
    EXPECT_GT(submit("\uff21NN", "272 13\n301 38\n", owner), claim);
}

TEST_F(PublicBoard, AThousandAdminRequestsWithoutAValidTokenAre401AndChangeNothing) {
    const std::string token = newToken("night shift", db.url()), old = newToken("old laptop", db.url());
    ASSERT_TRUE(board::names::isSecret(token)) << token;
    ASSERT_EQ(admin({"token", "revoke", "2"}, db.url()).status, 0);
    const long long run = submit("Ann", "272 13\n");
    const std::string id = std::to_string(run);
    const struct {
        std::string method, target, body;
    } routes[] = {{"POST", "/api/admin/runs/" + id + "/hide", R"({"reason": "x"})"},
                  {"POST", "/api/admin/runs/" + id + "/unhide", ""},
                  {"POST", "/api/admin/names/ban", R"({"name": "Ann", "reason": "x"})"},
                  {"POST", "/api/admin/names/unban", R"({"name": "Ann"})"},
                  {"GET", "/api/admin/log", ""}};
    std::string offByOne = token;
    offByOne.back() = offByOne.back() == 'A' ? 'B' : 'A';
    const std::vector<std::string> wrong = {"",
                                            "Authorization: Bearer\r\n",
                                            "Authorization: Basic dXNlcjpwYXNz\r\n",
                                            "Authorization: Token " + token + "\r\n",
                                            "X-Admin-Token: " + token + "\r\n",
                                            bearer(old),
                                            bearer(newSecret()),
                                            bearer(offByOne),
                                            bearer(token + "x"),
                                            bearer(token.substr(1)),
                                            bearer(board::names::hexBytes(board::names::digestOf(token)))};
    const std::string before = boardState(db);
    int sent = 0;
    while (sent < 1000)
        for (const auto& route : routes)
            for (const std::string& header : wrong) {
                Reply reply = request(port, route.method, route.target, route.body, "application/json", header);
                ++sent;
                EXPECT_EQ(reply.status, 401) << route.target << " " << header;
                EXPECT_EQ(reply.headers["www-authenticate"].rfind("Bearer realm=\"vexlo-board\"", 0), 0u);
            }
    EXPECT_EQ(boardState(db), before);
    std::cout << "admin: " << sent << " requests with no, wrong or revoked tokens, each 401; nothing changed\n";

    // With the token: each route does what it says, logged under its note.
    for (const auto& route : routes)
        EXPECT_EQ(request(port, route.method, route.target, route.body, "application/json", bearer(token)).status,
                  200)
            << route.target;
    const json log = json::parse(request(port, "GET", "/api/admin/log?limit=2", "", "", bearer(token)).body);
    EXPECT_EQ(log["total"], 7); // two tokens made, one revoked, hide, unhide, ban, unban
    EXPECT_EQ(log["entries"][0]["who"], "night shift");
    EXPECT_EQ(log["entries"][0]["action"], "unban");

    // A failed try costs ten requests of the address's rate.
    BoardProcess strict({"serve", "--port", "0", "--rate", "5", "--burst", "20"}, db.url());
    const int strictPort = strict.port();
    EXPECT_EQ(request(strictPort, "GET", "/api/admin/log", "", "", bearer(old)).status, 401);
    EXPECT_EQ(request(strictPort, "GET", "/api/admin/log", "", "", bearer(old)).status, 401);
    EXPECT_EQ(request(strictPort, "GET", "/api/health").status, 429);
}

TEST_F(PublicBoard, TheCommandLineActsLogsAndSaysWhatItDid) {
    BoardProcess worker({"worker", "--game-dir", sourceDir()}, db.url());
    const long long run = submit("Ann", "272 13\n");
    ASSERT_TRUE(finished(run));
    const std::string id = std::to_string(run), url = db.url();
    const passwd* user = getpwuid(geteuid());
    const std::string who = "cli:" + std::string(user != nullptr ? user->pw_name : "");

    Said said = admin({"hide", id, "--reason", "  found in a cheat's folder "}, url);
    EXPECT_EQ(said.status, 0);
    EXPECT_EQ(said.output, "run " + id + " hidden: found in a cheat's folder\n");
    const json hidden = json::parse(request(port, "GET", "/api/runs/" + id).body);
    EXPECT_EQ(hidden["status"], "hidden");
    EXPECT_EQ(hidden["reason"], "found in a cheat's folder");
    EXPECT_TRUE(hidden["score"].is_null() && hidden["updates"].is_null() && hidden["rank"].is_null());
    EXPECT_EQ(json::parse(request(port, "GET", "/api/board").body)["total"], 0);
    EXPECT_NE(admin({"runs", "--status", "hidden"}, url).output.find("(found in a cheat's folder)"),
              std::string::npos);
    EXPECT_EQ(admin({"unhide", id}, url).output, "run " + id + " shown again\n");
    said = admin({"unhide", id}, url);
    EXPECT_EQ(said.status, 1);
    EXPECT_EQ(said.output, "vexlo-board admin: run " + id + " is not hidden\n");

    EXPECT_EQ(admin({"ban", "ANN", "--reason=rude"}, url).output, "ANN banned: 1 run hidden\n");
    const Reply banned = request(port, "POST", "/api/runs", runBody("\uff41nn", "272 13\n300 38\n"));
    EXPECT_EQ(banned.status, 403);
    EXPECT_EQ(banned.body, R"({"error":"this name is banned"})");
    EXPECT_EQ(admin({"unban", "ann"}, url).output, "ann unbanned: 1 run shown again\n");
    EXPECT_EQ(admin({"unban", "ann"}, url).status, 1);
    const std::string log = admin({"log", "--limit", "2"}, url).output;
    EXPECT_NE(log.find("4 actions logged, the latest first\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  " + who + "  unban ann\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  " + who + "  ban ANN: rude\n"), std::string::npos) << log;
    EXPECT_EQ(admin({"recount"}, url).output, "every count equals a fresh count: nothing to mend\n");
    // A run deleted by hand leaves the board it served, its total and ranks.
    const long long second = submit("Bo", "272 13\n300 38\n");
    ASSERT_TRUE(finished(second));
    EXPECT_EQ(json::parse(request(port, "GET", "/api/board").body)["total"], 2);
    EXPECT_EQ(db.value("DELETE FROM runs WHERE id = " + id + " RETURNING id"), id);
    EXPECT_TRUE(eventually([&] { return json::parse(request(port, "GET", "/api/board").body)["total"] == 1; }));
    EXPECT_EQ(json::parse(request(port, "GET", "/api/runs/" + std::to_string(second)).body)["rank"], 1);
    EXPECT_EQ(boardDrift(url), "");

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"hide", id},
                                                {"hide", "x", "--reason", "r"},
                                                {"ban", "Ann"},
                                                {"shout"},
                                                {"token", "revoke"},
                                                {"runs", "--status", "lost"},
                                                {"log", "--limit", "0"},
                                                {}})
        EXPECT_EQ(admin(bad, url).status, 2) << (bad.empty() ? "" : bad[0]);
    EXPECT_EQ(admin({"token", "revoke", "7"}, url).status, 1);
}

TEST_F(PublicBoard, HidesAndBansWhileEightWorkersVerifyAThousandRunsLeaveTheBoardTrue) {
    const std::string token = newToken("under load", db.url());
    std::vector<std::unique_ptr<BoardProcess>> workers;
    for (int i = 0; i < 8; ++i)
        workers.push_back(std::make_unique<BoardProcess>(
            std::vector<std::string>{"worker", "--game-dir", sourceDir()}, db.url()));
    // A thousand short games, each its own: speed 5 after a wait of 0 to 39
    // updates, then Up at one of 25 updates (a crash after some 470).
    std::vector<std::string> keys(20);
    for (int k = 0; k < 10; ++k)
        keys[k] = newSecret(); // half the names claimed by their player
    const auto start = Clock::now();
    std::atomic<int> submitted{0}, banned{0};
    std::thread submitting([&] {
        for (int i = 0; i < 1000; ++i) {
            const int wait = i % 40, up = 290 + i / 40;
            std::string script = "272 13\n";
            for (int s = 0; s < 4; ++s)
                script += std::to_string(272 + wait) + " 39\n";
            script += std::to_string(up) + " 38\n";
            const Reply reply = request(port, "POST", "/api/runs",
                                        runBody("Racer " + std::to_string(i % 20), script, keys[i % 20]));
            EXPECT_TRUE(reply.status == 202 || reply.status == 403) << reply.body;
            ++(reply.status == 202 ? submitted : banned);
        }
    });
    // Meanwhile the operators hide and show runs, and ban and lift bans.
    std::mt19937 random(7);
    int actions = 0, turns = 0;
    std::string bannedName;
    auto act = [&](const std::string& target, const std::string& body) {
        const Reply reply = request(port, "POST", target, body, "application/json", bearer(token));
        EXPECT_TRUE(reply.status == 200 || reply.status == 404 || reply.status == 409) << target << reply.body;
        ++actions;
    };
    board::db::Connection look(db.url());
    const board::db::Statement runs{"runs",
                                    "SELECT count(*) FILTER (WHERE status IN ('queued', 'verifying')), "
                                    "coalesce(max(id), 1) FROM runs"};
    long long highest = 1;
    auto done = [&] {
        const board::db::Result now = look.exec(runs);
        highest = now.integer(0, 1);
        return submitted + banned == 1000 && now.integer(0, 0) == 0;
    };
    while (!done() && Clock::now() - start < std::chrono::minutes(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::string run = std::to_string(1 + static_cast<int>(random() % static_cast<unsigned>(highest)));
        act("/api/admin/runs/" + run + "/hide", R"({"reason": "looked at"})");
        act("/api/admin/runs/" + std::to_string(1 + random() % static_cast<unsigned>(highest)) + "/unhide", "");
        if (++turns % 10 == 0) { // a name banned for a while, then the next
            if (!bannedName.empty())
                act("/api/admin/names/unban", "{\"name\": " + bannedName + "}");
            bannedName = jsonString("racer " + std::to_string(random() % 20));
            act("/api/admin/names/ban", "{\"name\": " + bannedName + ", \"reason\": \"too fast\"}");
        }
    }
    submitting.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_TRUE(done()) << db.value("SELECT count(*) FROM runs WHERE status IN ('queued', 'verifying')")
                        << " runs still waiting";
    EXPECT_EQ(boardDrift(db.url()), "");
    const json board = json::parse(request(port, "GET", "/api/board?limit=1").body);
    EXPECT_EQ(
        board["total"].get<long long>(),
        std::stoll(db.value("SELECT count(*) FROM runs WHERE status = 'verified' AND hidden_reason IS NULL")));
    for (auto& worker : workers)
        EXPECT_EQ(worker->output().find("deadlock"), std::string::npos) << worker->output();
    std::cout << "moderation under load: " << submitted << " runs verified or rejected by 8 workers (" << banned
              << " refused under banned names) in " << seconds << " s while " << actions
              << " hides, shows, bans and unbans were made; " << board["total"]
              << " on the board, the counts, the total and every rank equal to a fresh count\n";
}

} // namespace
