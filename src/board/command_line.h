// vexlo-board's command line.
#pragma once

#include "board/http/server.h"
#include "board/ops/client_address.h"
#include "board/ops/log.h"
#include "board/worker/worker.h"

#include <optional>
#include <string>
#include <vector>

namespace board {

struct ServeOptions {
    http::ServerOptions server;
    std::string webDir;                         // empty: no static files
    double rate = 50, burst = 100;              // requests a second per address; rate 0: no limit
    std::optional<http::ServerOptions> metrics; // --metrics-listen: GET /metrics there
    ops::TrustedProxies proxies;                // --trust-proxy
    int maxWaiting = 3;                         // runs waiting per address and per player key; 0: no limit
};

struct CommandLine {
    enum { Serve, Work, Admin, Help, Version, Bad } command = Bad;
    ServeOptions serve;
    WorkerOptions worker;
    std::vector<std::string> admin; // the words after "admin"
    std::string gameDir = ".";
    ops::LogFormat logFormat = ops::LogFormat::Text;
    std::string problem; // for Bad
};

CommandLine parseCommandLine(int argc, const char* const* argv);

extern const char* const Usage;

} // namespace board
