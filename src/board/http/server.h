// HTTP/1.1 over Boost.Beast: a few threads serve any number of connections,
// each request read under a deadline (a slow sender gets 408) and within
// size limits (413 for the body, 431 for the header), answered by a handler
// that runs on the thread that read it.
#pragma once

#include "board/api/message.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace board::http {

struct ServerOptions {
    std::string address = "127.0.0.1";
    unsigned short port = 8080; // 0: any free port
    int threads = 8;
    std::size_t maxBody = 256 * 1024;
    std::size_t maxHeader = 16 * 1024;
    std::chrono::milliseconds readTimeout{10000}; // one whole request
    std::chrono::milliseconds idleTimeout{30000}; // between requests
    std::size_t maxConnections = 4000;
};

using Handler = std::function<api::Response(const api::Request&)>;

class Server {
public:
    // Binds at once; throws std::runtime_error when it cannot.
    Server(const ServerOptions& options, Handler handler);
    ~Server();
    unsigned short port() const;
    // Serves until SIGINT or SIGTERM, or stop().
    void run();
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace board::http
