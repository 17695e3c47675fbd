// What clients send, checked before anything is stored: the run's JSON and
// name, the board's query, the API's paths, static paths, the rate.
#include "board/api/board_cache.h"
#include "board/api/query.h"
#include "board/api/rate_limit.h"
#include "board/api/run_request.h"
#include "board/api/static_files.h"
#include "board/api/submitter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace board::api;

std::string body(const std::string& name, const std::string& keys) {
    return "{\"name\": \"" + name + "\", \"keys\": \"" + keys + "\"}";
}

TEST(RunRequest, TakesATrimmedNameAndTheKeysAsSent) {
    const RunRequest run = parseRunRequest(
        "{\"extra\": [1, {\"deep\": null}], \"name\": \"\\u00a0 Zo\\u00eb \", \"keys\": \"# go\\n272 13\\r\\n\"}");
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.name, "Zo\xc3\xab");
    EXPECT_EQ(run.keys, "# go\n272 13\r\n");
    // Characters, not bytes: 24 of up to four bytes each are a name (with a
    // letter in it), 25 of one are not.
    std::string emoji = "A";
    for (int i = 0; i < 23; ++i)
        emoji += "\xf0\x9f\x9a\x97";
    EXPECT_EQ(parseRunRequest(body(emoji, "")).error, "");
    EXPECT_NE(parseRunRequest(body(std::string(25, 'a'), "")).error, "");
    EXPECT_EQ(parseRunRequest(body(" " + std::string(24, 'a') + " ", "")).error, "");
}

TEST(RunRequest, RefusesEachMalformedBodyWithAReason) {
    std::string deep;
    for (int i = 0; i < 40; ++i)
        deep = "{\"a\": " + (deep.empty() ? "1" : deep) + "}";
    const struct {
        std::string body, says;
    } cases[] = {
        {"", "not valid JSON"},
        {"{\"name\": \"a\", \"keys\": \"", "not valid JSON"},
        {"{\"name\": \"a\", \"keys\": \"\"} x", "not valid JSON"},
        {"[1]", "must be a JSON object"},
        {"\"text\"", "must be a JSON object"},
        {"{\"keys\": \"\"}", "name is missing"},
        {"{\"name\": \"a\"}", "keys is missing"},
        {"{\"name\": 5, \"keys\": \"\"}", "name must be a string"},
        {"{\"name\": \"a\", \"keys\": null}", "keys must be a string"},
        {"{\"name\": \"a\", \"keys\": [\"1 13\"]}", "keys must be a string"},
        {"{\"name\": \"a\", \"name\": \"b\", \"keys\": \"\"}", "given twice"},
        {"{\"x\": " + deep + ", \"name\": \"a\", \"keys\": \"\"}", "nested too deeply"},
        {body("a\xff", ""), "not valid JSON"},
        {body("\xe2\x82", ""), "not valid JSON"},
        {body("\\ud800", ""), "not valid JSON"},
        {body("   ", ""), "1 to 24 characters"},
        {body("", ""), "1 to 24 characters"},
        {body("bell\\u0007", ""), "control characters"},
        {body("tab\\t", ""), "control characters"},
        {body("\\u202egnp.exe", ""), "control characters"},
        {body("<script>alert(1)</script>", ""), "markup"},
        {body("a", "5 -3"), "keys:1: the key code"},
        {body("a", "272 13\\n-5 13"), "keys:2: the update number"},
        {body("a", "5 13\\u0000"), "NUL"},
    };
    for (const auto& c : cases) {
        const RunRequest run = parseRunRequest(c.body);
        EXPECT_NE(run.error.find(c.says), std::string::npos) << c.body << " -> " << run.error;
    }
}

TEST(Query, ReadsTheBoardsLimitAndOffset) {
    EXPECT_EQ(parseBoardQuery("").limit, 20);
    const BoardQuery q = parseBoardQuery("offset=1000000&x=y&limit=100");
    EXPECT_EQ(q.error, "");
    EXPECT_EQ(q.limit, 100);
    EXPECT_EQ(q.offset, 1000000);
    for (const char* bad : {"limit=0", "limit=101", "limit=", "limit=-1", "limit=1e2", "limit=5&limit=6",
                            "offset=-1", "offset=1.5", "offset=9999999999999999", "offset=%zz", "limit=%2B5"})
        EXPECT_NE(parseBoardQuery(bad).error, "") << bad;
}

TEST(Query, ReadsTheBoardsRaceAClassicOneOrADaysWithItsDate) {
    EXPECT_FALSE(parseBoardQuery("").race.daily);
    EXPECT_FALSE(parseBoardQuery("race=classic").race.daily);
    const BoardQuery daily = parseBoardQuery("race=daily&date=2026-12-10&limit=5");
    EXPECT_EQ(daily.error, "");
    EXPECT_EQ(daily.race.name(), "daily 2026-12-10");
    EXPECT_EQ(daily.limit, 5);
    const struct {
        const char* query;
        const char* says;
    } cases[] = {
        {"race=daily", "date is required with race=daily"},
        {"race=classic&date=2026-12-10", "date goes with race=daily"},
        {"date=2026-12-10", "date goes with race=daily"},
        {"race=weekly", "race must be classic or daily"},
        {"race=daily&date=2025-12-31", "from 2026-01-01"},
        {"race=daily&date=2026-02-30", "from 2026-01-01"},
        {"race=daily&date=2026-12-10&date=2026-12-11", "date is given twice"},
    };
    for (const auto& c : cases)
        EXPECT_NE(parseBoardQuery(c.query).error.find(c.says), std::string::npos) << c.query;
}

TEST(RunRequest, TakesTheRaceTheKeysNameAndADailyRunOnlyWhileItsRaceIsOpen) {
    const RunRequest run = parseRunRequest(R"({"name": "a", "keys": "race daily 2026-12-10\n272 13\n"})");
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.race.name(), "daily 2026-12-10");
    using namespace std::chrono;
    const sys_days day{year(2026) / December / 10};
    EXPECT_EQ(raceClosed(run.race, day - seconds(1)), "the daily race of 2026-12-10 is not open");
    EXPECT_EQ(raceClosed(run.race, day), "");
    EXPECT_EQ(raceClosed(run.race, day + hours(47) + minutes(59)), ""); // a day after its end
    EXPECT_EQ(raceClosed(run.race, day + hours(48)), "the daily race of 2026-12-10 is not open");
    EXPECT_EQ(raceClosed(replay::Race{}, day - days(3000)), ""); // the classic race is always open
}

TEST(Query, NamesTheApisPaths) {
    EXPECT_EQ(parseApiPath("/api/runs").kind, ApiPath::Runs);
    EXPECT_EQ(parseApiPath("/api/board").kind, ApiPath::Board);
    EXPECT_EQ(parseApiPath("/api/health").kind, ApiPath::Health);
    const ApiPath keys = parseApiPath("/api/runs/42/keys");
    EXPECT_EQ(keys.kind, ApiPath::RunKeys);
    EXPECT_EQ(keys.id, "42");
    EXPECT_EQ(parseApiPath("/api/runs/42").kind, ApiPath::Run);
    // One spelling a run: the others name no run.
    for (const char* unknown : {"/api", "/api/", "/api/runs/", "/api/runs/x", "/api/runs/-1", "/api/runs/1/keys/",
                                "/api/runs/9999999999999999", "/api/%72uns", "/api/board/", "/api/runs/042",
                                "/api/runs/0", "/api/runs/00042/keys", "/api/runs/%34%32", "/api/runs/+42",
                                "/api/runs/42/", "/api/runs//42", "/api//runs/42"})
        EXPECT_EQ(parseApiPath(unknown).kind, ApiPath::Unknown) << unknown;
    EXPECT_EQ(parseApiPath("/index.html").kind, ApiPath::NotApi);
}

TEST(StaticPath, NeverLeavesTheFolder) {
    namespace fs = std::filesystem;
    const fs::path top = fs::temp_directory_path() / ("static-test-" + std::to_string(getpid()));
    fs::create_directories(top / "web" / "data");
    std::ofstream(top / "web" / "index.html") << "page";
    std::ofstream(top / "web" / "data" / "0.raw") << "digit";
    std::ofstream(top / "secret") << "secret";
    fs::create_symlink(top / "secret", top / "web" / "link");
    const fs::path web = top / "web";
    EXPECT_EQ(staticPath(web, "/"), fs::canonical(web / "index.html"));
    EXPECT_EQ(staticPath(web, "/data/0.raw"), fs::canonical(web / "data" / "0.raw"));
    EXPECT_EQ(staticPath(web, "/data/%30.raw"), fs::canonical(web / "data" / "0.raw"));
    for (const char* outside :
         {"/../secret", "/%2e%2e/secret", "/%2E%2E%2Fsecret", "/data/../../secret", "/.%2e/secret",
          "/%252e%252e/secret", "/data/%2e%2e/%2e%2e/secret", "//secret", "/..\\secret", "/%5c..%5csecret",
          "/link", "/data/", "/data", "/index.html%00.png", "/%", "/%zz", "secret", "/./index.html"})
        EXPECT_FALSE(staticPath(web, outside).has_value()) << outside;
    fs::remove_all(top);
}

TEST(StaticFiles, ChoosesGzipAndMatchesTagsAsClientsAskForThem) {
    for (const char* takes : {"gzip", "deflate, gzip;q=0.5", "GZIP", "br, x-gzip", "*", "gzip;q=1.0, *;q=0"})
        EXPECT_TRUE(acceptsGzip(takes)) << takes;
    for (const char* refuses :
         {"", "identity", "br, deflate", "gzip;q=0", "gzip; q=0.000", "*, gzip;q=0", "*;q=0", "gzipx"})
        EXPECT_FALSE(acceptsGzip(refuses)) << refuses;
    EXPECT_TRUE(tagListed("\"a\"", "\"a\""));
    EXPECT_TRUE(tagListed("\"x\", W/\"a\"", "\"a\""));
    EXPECT_TRUE(tagListed(" * ", "\"a\""));
    EXPECT_FALSE(tagListed("\"a-gz\"", "\"a\""));
    EXPECT_FALSE(tagListed("a", "\"a\""));
}

TEST(Submitter, IsTheAddressAndForIPv6ItsNetwork) {
    EXPECT_EQ(submitterOf("203.0.113.7"), "203.0.113.7");
    EXPECT_EQ(submitterOf("::ffff:203.0.113.7"), "203.0.113.7");
    // One household's /64: any address in it is the same sender.
    EXPECT_EQ(submitterOf("2001:db8:1:2:aaaa::1"), "2001:db8:1:2::/64");
    EXPECT_EQ(submitterOf("2001:db8:1:2:ffff:ffff:ffff:ffff"), "2001:db8:1:2::/64");
    EXPECT_NE(submitterOf("2001:db8:1:3::1"), submitterOf("2001:db8:1:2::1"));
}

TEST(RateLimit, RefillsAtTheRateAndSaysHowLongToWait) {
    RateLimiter limiter(2, 3);
    const auto t = RateLimiter::Clock::now();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(limiter.admit("a", t), 0);
    EXPECT_EQ(limiter.admit("a", t), 1);
    EXPECT_EQ(limiter.admit("b", t), 0); // each address has its own
    EXPECT_EQ(limiter.admit("a", t + std::chrono::milliseconds(600)), 0);
    EXPECT_EQ(limiter.admit("a", t + std::chrono::milliseconds(600)), 1);
    EXPECT_EQ(limiter.refused(), 2);
    RateLimiter none(0, 1);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(none.admit("a", t), 0);
}

} // namespace

namespace {

TEST(BoardCache, KeepsPagesOnlyWhileListeningAndUntilTheBoardChanges) {
    board::api::BoardCache cache;
    cache.store(20, 0, cache.generation(), "page");
    EXPECT_FALSE(cache.find(20, 0)); // not listening: nothing kept
    cache.setListening(true);
    const long long before = cache.generation();
    cache.store(20, 0, before, "page");
    EXPECT_EQ(cache.find(20, 0), "page");
    EXPECT_FALSE(cache.find(20, 1));
    cache.invalidate();
    EXPECT_FALSE(cache.find(20, 0));
    cache.store(20, 0, before, "read before the change"); // too old to keep
    EXPECT_FALSE(cache.find(20, 0));
    cache.store(20, 0, cache.generation(), "new");
    cache.setListening(false);
    EXPECT_FALSE(cache.find(20, 0));
}

} // namespace
