// vexlo-board: the score server (serve) and its verifying workers (worker).
#include "board/api/board_cache.h"
#include "board/api/board_listener.h"
#include "board/api/rate_limit.h"
#include "board/api/routes.h"
#include "board/api/static_files.h"
#include "board/command_line.h"
#include "board/db/pool.h"
#include "board/http/server.h"
#include "board/worker/worker.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};

void onStopSignal(int) { stopRequested = true; }

std::string databaseUrl() {
    const char* url = std::getenv("DATABASE_URL");
    return url != nullptr ? url : "";
}

// Every connection is a file descriptor: take all the system allows.
void raiseFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

int serve(const board::ServeOptions& options) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!options.webDir.empty() && !fs::is_directory(options.webDir, error)) {
        std::cerr << "vexlo-board: --web " << options.webDir << " is not a folder\n";
        return 2;
    }
    raiseFileLimit();
    board::db::Pool pool(databaseUrl());
    board::api::RateLimiter limiter(options.rate, options.burst);
    const board::api::StaticFiles files(options.webDir);
    board::api::BoardCache cache;
    std::atomic<bool> stopListening{false};
    std::thread listener([&] { board::api::listenForBoardChanges(databaseUrl(), cache, stopListening); });
    board::api::Api api(pool, limiter, options.webDir.empty() ? nullptr : &files, &cache);
    api.maxWaiting = options.maxWaiting;
    api.onDatabase = [](bool reachable, const std::string& why) {
        if (!reachable)
            std::cerr << "vexlo-board: " << why << "; answering 503 until it is back" << std::endl;
        else if (why.empty())
            std::cerr << "vexlo-board: the database is back" << std::endl;
        else
            std::cerr << "vexlo-board: " << why << std::endl;
    };
    int status = 0;
    try {
        board::http::Server server(options.server, [&](const board::api::Request& r) { return api.handle(r); });
        std::cout << "vexlo-board: serving http://" << options.server.address << ":" << server.port() << "/"
                  << std::endl;
        server.run();
        std::cout << "vexlo-board: stopped" << std::endl;
    } catch (const std::runtime_error& e) {
        std::cerr << "vexlo-board: " << e.what() << "\n";
        status = 1;
    }
    stopListening = true;
    listener.join();
    return status;
}

int work(board::WorkerOptions options, const std::string& gameDir) {
    if (chdir(gameDir.c_str()) != 0) {
        std::cerr << "vexlo-board: cannot enter the game folder " << gameDir << "\n";
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    options.databaseUrl = databaseUrl();
    const int status = board::Worker(options, stopRequested).run();
    std::cout << "vexlo-board: worker " << getpid() << " stopped" << std::endl;
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const board::CommandLine line = board::parseCommandLine(argc, argv);
    switch (line.command) {
    case board::CommandLine::Help:
        std::cout << board::Usage;
        return 0;
    case board::CommandLine::Version:
        std::cout << "vexlo-board " << VEXLO_VERSION << "\n";
        return 0;
    case board::CommandLine::Serve:
        return serve(line.serve);
    case board::CommandLine::Work:
        return work(line.worker, line.gameDir);
    case board::CommandLine::Bad:
        break;
    }
    std::cerr << "vexlo-board: " << line.problem << "\n" << board::Usage;
    return 2;
}
