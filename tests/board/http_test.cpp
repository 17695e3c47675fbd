// The HTTP layer over real sockets: limits, deadlines and malformed
// requests are answered at the transport with JSON errors, whatever the
// handler would say.
#include "board/http/server.h"
#include "board_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using board_test::exchange;

class HttpServer : public ::testing::Test {
protected:
    void SetUp() override {
        board::http::ServerOptions options;
        options.port = 0;
        options.threads = 2;
        options.maxBody = 1024;
        options.maxHeader = 2048;
        options.readTimeout = std::chrono::milliseconds(300);
        options.idleTimeout = std::chrono::milliseconds(600);
        server_ = std::make_unique<board::http::Server>(options, [](const board::api::Request& r) {
            board::api::Response response;
            response.contentType = "text/plain";
            response.body = r.method + " " + r.target + " [" + r.contentType + "] " + r.body;
            response.headOnly = r.method == "HEAD";
            return response;
        });
        port_ = server_->port();
        thread_ = std::thread([this] { server_->run(); });
    }
    void TearDown() override {
        server_->stop();
        thread_.join();
    }
    int port_ = 0;
    std::unique_ptr<board::http::Server> server_;
    std::thread thread_;
};

TEST_F(HttpServer, HandsEveryMethodToTheHandlerAndKeepsConnectionsAlive) {
    const auto reply = exchange(port_,
                                "BREW /pot?x=%20 HTTP/1.1\r\nHost: a\r\nContent-Type: tea\r\nContent-Length: 3\r\n"
                                "Connection: close\r\n\r\nhot");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "BREW /pot?x=%20 [tea] hot");
    // Two requests sent at once on one connection: two answers in order.
    const std::string two =
        "GET /a HTTP/1.1\r\nHost: a\r\n\r\nGET /b HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n";
    const auto both = exchange(port_, two, std::chrono::seconds(5), true);
    EXPECT_NE(both.body.find("GET /b"), std::string::npos) << both.body;
    // HEAD: the length GET would send, no body.
    auto head =
        exchange(port_, "HEAD /abc HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n", std::chrono::seconds(2));
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers["content-length"], "13"); // "HEAD /abc [] "
    EXPECT_EQ(head.body, "");
}

TEST_F(HttpServer, ContinuesAnExpectedBody) {
    const auto reply = exchange(port_,
                                "POST /runs HTTP/1.1\r\nHost: a\r\nContent-Length: 2\r\nExpect: 100-continue\r\n"
                                "Connection: close\r\n\r\nok");
    EXPECT_EQ(reply.status, 100);
    EXPECT_NE(reply.body.find("POST /runs [] ok"), std::string::npos);
}

TEST_F(HttpServer, RefusesWhatItCannotTakeWithJsonErrors) {
    const struct {
        std::string raw;
        int status;
    } cases[] = {
        // Over the body limit by its length, before it is sent; and as chunks.
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1025\r\n\r\n", 413},
        {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n401\r\n" + std::string(1025, 'x') +
             "\r\n0\r\n\r\n",
         413},
        {"GET / HTTP/1.1\r\nHost: a\r\nX-Big: " + std::string(4000, 'x') + "\r\n\r\n", 431},
        {"GARBAGE\r\n\r\n", 400},
        {"GET / HTTP/9.9\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nBad Header\r\n\r\n", 400},
        // A slow sender: half a request, then nothing.
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 10\r\n\r\nabc", 408},
        {"GET / HT", 408},
    };
    for (const auto& c : cases) {
        auto reply = exchange(port_, c.raw, std::chrono::seconds(5));
        EXPECT_EQ(reply.status, c.status) << c.raw.substr(0, 60);
        EXPECT_EQ(reply.headers["access-control-allow-origin"], "*");
        EXPECT_EQ(reply.body.rfind("{\"error\":", 0), 0u) << reply.body;
    }
    // A connection that sends nothing is closed quietly.
    EXPECT_EQ(exchange(port_, "", std::chrono::seconds(5)).status, 0);
}

} // namespace
