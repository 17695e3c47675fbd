// What an operator sees and relies on: the client behind a trusted proxy,
// the log lines, GET /metrics checked by promtool, the page's files as a
// browser and a cache ask for them, and the paths' methods.
#include "board/ops/client_address.h"
#include "board/ops/log.h"
#include "board_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace board_test;
using json = nlohmann::json;
namespace fs = std::filesystem;

TEST(ClientAddress, OnlyATrustedProxyNamesTheClientByTheHopItAdded) {
    board::ops::TrustedProxies proxies;
    EXPECT_TRUE(proxies.add("127.0.0.1"));
    EXPECT_TRUE(proxies.add("::1"));
    EXPECT_FALSE(proxies.add("localhost"));
    EXPECT_FALSE(proxies.add("10.0.0.0/8"));
    // The last hop is the one the proxy added; what the client wrote before it is not believed.
    EXPECT_EQ(proxies.client("127.0.0.1", "203.0.113.7"), "203.0.113.7");
    EXPECT_EQ(proxies.client("127.0.0.1", "1.2.3.4, 203.0.113.7"), "203.0.113.7");
    EXPECT_EQ(proxies.client("127.0.0.1", "1.2.3.4,203.0.113.7 "), "203.0.113.7");
    EXPECT_EQ(proxies.client("::ffff:127.0.0.1", "2001:DB8::1"), "2001:db8::1");
    EXPECT_EQ(proxies.client("::1", "::ffff:198.51.100.2"), "198.51.100.2");
    // Not an address, or not from a trusted proxy: the peer is the client.
    EXPECT_EQ(proxies.client("127.0.0.1", "1.2.3.4, unknown"), "127.0.0.1");
    EXPECT_EQ(proxies.client("127.0.0.1", "203.0.113.7:443"), "127.0.0.1");
    EXPECT_EQ(proxies.client("127.0.0.1", ""), "127.0.0.1");
    EXPECT_EQ(proxies.client("127.0.0.2", "203.0.113.7"), "127.0.0.2");
    EXPECT_EQ(board::ops::TrustedProxies().client("127.0.0.1", "203.0.113.7"), "127.0.0.1");
}

TEST(LogLines, AreOneLineOfTextOrJsonWithWhatAClientSentMadeHarmless) {
    using board::ops::LogFormat;
    const board::ops::RequestLine request{"GET", "/a\"b\\c\n\x01\xff", "127.0.0.1", 404, 1.5, 77};
    const std::string text = board::ops::formatLine(LogFormat::Text, request);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_NE(
        text.find(" request method=GET path=/a%22b%5Cc%0A%01%FF status=404 ms=1.50 bytes=77 client=127.0.0.1"),
        std::string::npos)
        << text;
    const json line = json::parse(board::ops::formatLine(LogFormat::Json, request));
    EXPECT_EQ(line["event"], "request");
    EXPECT_EQ(line["path"], "/a%22b%5Cc%0A%01%FF");
    EXPECT_EQ(line["status"], 404);
    EXPECT_EQ(line["bytes"], 77);
    const json verdict = json::parse(
        board::ops::formatLine(LogFormat::Json, board::ops::VerdictLine{7, "verified", "", 12, 1400, 651}));
    EXPECT_EQ(verdict["run"], 7);
    EXPECT_EQ(verdict["updates"], 1400);
    EXPECT_EQ(verdict["score"], 651);
    // A worker's note about a run: the system's words, which may hold quotes.
    const board::ops::RunLine note{9, "put back: \"fork\" failed\nagain"};
    const json noted = json::parse(board::ops::formatLine(LogFormat::Json, note));
    EXPECT_EQ(noted["event"], "note");
    EXPECT_EQ(noted["run"], 9);
    EXPECT_EQ(noted["what"], "put back: \"fork\" failed again");
    EXPECT_EQ(board::ops::formatLine(LogFormat::Text, note).find('\n'), std::string::npos);
    EXPECT_FALSE(verdict.contains("reason"));
    EXPECT_EQ(
        board::ops::formatLine(LogFormat::Text, board::ops::RequestLine{"GET", std::string(5000, 'a'), "", 200, 0})
            .size(),
        board::ops::formatLine(LogFormat::Text, board::ops::RequestLine{"GET", std::string(300, 'a'), "", 200, 0})
            .size());
}

std::string postRun(int port, const std::string& name, const std::string& keys, const std::string& extra = "") {
    const Reply reply =
        request(port, "POST", "/api/runs",
                "{\"name\": " + jsonString(name) + ", \"keys\": " + jsonString(keys) + extra + "}");
    EXPECT_EQ(reply.status, 202) << reply.body;
    return std::to_string(json::parse(reply.body, nullptr, false).value("id", 0));
}

std::string statusOf(int port, const std::string& id) {
    return json::parse(request(port, "GET", "/api/runs/" + id).body, nullptr, false).value("status", "");
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A figure of the scrape: the value on the line that starts with series.
double figure(const std::string& metrics, const std::string& series) {
    std::istringstream lines(metrics);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(series + " ", 0) == 0)
            return std::stod(line.substr(series.size() + 1));
    return -1;
}

TEST(Metrics, CountWhatTheServerAndTheWorkersDidAndPassPromtool) {
    TestDatabase db;
    BoardProcess serve(
        {"serve", "--port", "0", "--rate", "0", "--metrics-listen", "127.0.0.1:0", "--log-format", "json"},
        db.url());
    const int port = serve.port();
    ASSERT_NE(port, 0) << serve.output();
    BoardProcess worker({"worker", "--log-format", "json"}, db.url(), sourceDir());
    const std::string keys = fileText(sourceDir() + "/tests/replay/crash_speed5.keys");
    const std::string verified =
        postRun(port, "metrics", keys, ", \"player_key\": \"secret-player-key-0123456789abcdefghijklmno\"");
    const std::string rejected = postRun(port, "metrics", "# a secret comment\n5 27\n");
    ASSERT_TRUE(eventually(
        [&] { return statusOf(port, verified) == "verified" && statusOf(port, rejected) == "rejected"; }));
    request(port, "GET", "/api/board?limit=3");
    request(port, "GET", "/api/runs/0" + verified);

    int metricsPort = 0;
    const std::string said = serve.output();
    const std::size_t at = said.find("metrics on http://127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << said;
    metricsPort = std::atoi(said.c_str() + at + 28);
    std::string metrics;
    // The workers' verdicts reach the database within a second or so.
    ASSERT_TRUE(eventually([&] {
        metrics = request(metricsPort, "GET", "/metrics").body;
        return figure(metrics, "vexlo_board_runs_verified_total") == 1;
    })) << metrics;
    EXPECT_EQ(figure(metrics, "vexlo_board_runs_submitted_total"), 2);
    EXPECT_EQ(figure(metrics, "vexlo_board_runs_rejected_total{reason=\"unfinished\"}"), 1);
    EXPECT_EQ(figure(metrics, "vexlo_board_verification_seconds_count"), 2);
    EXPECT_EQ(figure(metrics, "vexlo_board_queue_runs{status=\"queued\"}"), 0);
    EXPECT_EQ(figure(metrics, "vexlo_board_http_requests_total{route=\"runs\",status=\"202\"}"), 2);
    EXPECT_EQ(figure(metrics, "vexlo_board_http_requests_total{route=\"other\",status=\"404\"}"), 1);
    EXPECT_EQ(figure(metrics, "vexlo_board_database_up"), 1);
    EXPECT_NE(metrics.find("vexlo_board_worker_heartbeat_timestamp_seconds{worker="), std::string::npos);
    // Its figures written without a thread of their own: a game's child
    // forked beside another thread could inherit a lock held, and hang.
    EXPECT_EQ(threadsOf(worker.pid()), 1);
    EXPECT_EQ(request(metricsPort, "GET", "/api/health").status, 404);
    EXPECT_EQ(request(port, "GET", "/metrics").status, 404); // never on the public address

    const fs::path scrape = fs::temp_directory_path() / ("metrics-" + std::to_string(getpid()) + ".txt");
    std::ofstream(scrape) << metrics;
    const std::string check =
        "promtool check metrics < " + scrape.string() + " > " + scrape.string() + ".out 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << fileText(scrape.string() + ".out");
    fs::remove(scrape);
    fs::remove(scrape.string() + ".out");

    // A JSON line a request and a verdict; no key script, no player key.
    worker.signal(SIGTERM);
    worker.wait();
    int requests = 0, verdicts = 0;
    for (const std::string& log : {serve.output(), worker.output()}) {
        EXPECT_EQ(log.find("secret"), std::string::npos) << log;
        EXPECT_EQ(log.find("272 "), std::string::npos);
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] != '{')
                continue;
            const json entry = json::parse(line);
            requests += entry["event"] == "request";
            verdicts += entry["event"] == "verdict";
            if (entry["event"] == "request" && entry["path"] == "/api/board") {
                EXPECT_EQ(entry["client"], "127.0.0.1");
                EXPECT_GT(entry.value("bytes", 0), 10);
            }
            if (entry["event"] == "verdict" && std::to_string(entry.value("run", 0)) == rejected) {
                EXPECT_EQ(entry["reason"], "unfinished");
            }
        }
    }
    EXPECT_GE(requests, 5);
    EXPECT_EQ(verdicts, 2);
}

// A page's folder with a file, its gzip copy, and a file of each kind.
fs::path makeSite() {
    const fs::path site = fs::temp_directory_path() / ("board-page-" + std::to_string(getpid())) / "site";
    fs::create_directories(site / "data");
    std::ofstream(site / "index.html") << std::string(4000, 'x');
    std::ofstream(site / "manifest.webmanifest") << "{}";
    std::ofstream(site / "data" / "a.raw") << "raw";
    std::system(("gzip -9nk " + (site / "index.html").string()).c_str());
    return site;
}

TEST(Metrics, SayTheDatabaseIsAwayAndLeaveItsFiguresOut) {
    BoardProcess serve({"serve", "--port", "0", "--metrics-listen", "127.0.0.1:0"},
                       "postgresql://board@/board?host=/nonexistent&connect_timeout=1");
    ASSERT_NE(serve.port(), 0) << serve.output();
    const std::string said = serve.output();
    const int metricsPort = std::atoi(said.c_str() + said.find("metrics on http://127.0.0.1:") + 28);
    const Reply scrape = request(metricsPort, "GET", "/metrics");
    EXPECT_EQ(scrape.status, 200);
    EXPECT_EQ(figure(scrape.body, "vexlo_board_database_up"), 0);
    EXPECT_EQ(scrape.body.find("vexlo_board_runs_"), std::string::npos);
}

class PageFiles : public ::testing::Test {
protected:
    ~PageFiles() override { fs::remove_all(site.parent_path()); }
    Reply get(const std::string& target, const std::string& headers) {
        return board_test::exchange(port, "GET " + target + " HTTP/1.1\r\nHost: a\r\nConnection: close\r\n" +
                                              headers + "\r\n");
    }
    fs::path site = makeSite();
    TestDatabase db;
    BoardProcess serve{{"serve", "--port", "0", "--rate", "0", "--web", site.string()}, db.url()};
    int port = serve.port();
};

TEST_F(PageFiles, GoOutWithTheirTypesTagsAndGzipCopies) {
    EXPECT_EQ(get("/manifest.webmanifest", "").headers["content-type"], "application/manifest+json");
    EXPECT_EQ(get("/data/a.raw", "").headers["content-type"], "application/octet-stream");

    Reply plain = get("/", "Accept-Encoding: br\r\n");
    EXPECT_EQ(plain.body, std::string(4000, 'x'));
    EXPECT_EQ(plain.headers.count("content-encoding"), 0u);
    EXPECT_EQ(plain.headers["vary"], "Accept-Encoding");
    Reply packed = get("/", "Accept-Encoding: gzip, deflate\r\n");
    EXPECT_EQ(packed.headers["content-encoding"], "gzip");
    EXPECT_EQ(packed.body, fileText(site / "index.html.gz"));
    EXPECT_NE(packed.headers["etag"], plain.headers["etag"]);
    EXPECT_EQ(get("/", "Accept-Encoding: gzip;q=0\r\n").headers.count("content-encoding"), 0u);

    // Revalidation: the same tag is 304 with no body; another is the file.
    Reply again = get("/", "Accept-Encoding: gzip\r\nIf-None-Match: \"old\", " + packed.headers["etag"] + "\r\n");
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(again.body, "");
    EXPECT_EQ(again.headers["etag"], packed.headers["etag"]);
    EXPECT_EQ(get("/", "If-None-Match: " + packed.headers["etag"] + "\r\n").status, 200);

    // A copy older than its file is not sent; a new file has a new tag.
    fs::last_write_time(site / "index.html",
                        fs::last_write_time(site / "index.html.gz") + std::chrono::seconds(5));
    Reply newer = get("/", "Accept-Encoding: gzip\r\nIf-None-Match: " + plain.headers["etag"] + "\r\n");
    EXPECT_EQ(newer.status, 200);
    EXPECT_EQ(newer.headers.count("content-encoding"), 0u);
}

TEST_F(PageFiles, HaveOneSpellingARunAndAdvertiseTheirPathsOwnMethods) {
    const std::string id = postRun(port, "spelling", "5 27\n");
    EXPECT_EQ(request(port, "GET", "/api/runs/" + id).status, 200);
    for (const std::string& other : {"/api/runs/0" + id, "/api/runs/00" + id + "/keys", "/api/runs/" + id + "/",
                                     "/api/runs/%3" + id, "/api/runs/+" + id, "/api/runs//" + id})
        EXPECT_EQ(request(port, "GET", other).status, 404) << other;
    const struct {
        const char* path;
        const char* methods;
    } paths[] = {{"/", "GET, HEAD, OPTIONS"},
                 {"/api/runs", "POST, OPTIONS"},
                 {"/api/runs/1", "GET, HEAD, OPTIONS"},
                 {"/api/board", "GET, HEAD, OPTIONS"}};
    for (const auto& p : paths) {
        Reply preflight = request(port, "OPTIONS", p.path);
        EXPECT_EQ(preflight.status, 204) << p.path;
        EXPECT_EQ(preflight.headers["access-control-allow-methods"], p.methods) << p.path;
        EXPECT_EQ(preflight.headers["allow"], p.methods) << p.path;
    }
    EXPECT_EQ(request(port, "OPTIONS", "/api/nothing").status, 404);
    EXPECT_EQ(request(port, "DELETE", "/").headers["allow"], "GET, HEAD, OPTIONS");
}

} // namespace
