// vexlo-board's command line.
#pragma once

#include "board/http/server.h"
#include "board/worker/worker.h"

#include <string>

namespace board {

struct ServeOptions {
    http::ServerOptions server;
    std::string webDir;            // empty: no static files
    double rate = 50, burst = 100; // requests a second per address; rate 0: no limit
    int maxWaiting = 3;            // runs waiting per address and per player key; 0: no limit
};

struct CommandLine {
    enum { Serve, Work, Help, Version, Bad } command = Bad;
    ServeOptions serve;
    WorkerOptions worker;
    std::string gameDir = ".";
    std::string problem; // for Bad
};

CommandLine parseCommandLine(int argc, const char* const* argv);

extern const char* const Usage;

} // namespace board
