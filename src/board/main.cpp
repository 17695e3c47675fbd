// vexlo-board: the score server (serve), its verifying workers (worker) and
// the operators' commands (admin).
#include "board/admin/admin_command.h"
#include "board/api/board_cache.h"
#include "board/api/board_listener.h"
#include "board/api/rate_limit.h"
#include "board/api/routes.h"
#include "board/api/static_files.h"
#include "board/command_line.h"
#include "board/db/pool.h"
#include "board/http/server.h"
#include "board/ops/log.h"
#include "board/ops/metrics.h"
#include "board/ops/worker_figures.h"
#include "board/worker/worker.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
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

// GET /metrics on its own address, on a thread of its own, until stopped.
class MetricsServer {
public:
    MetricsServer(const board::http::ServerOptions& options, board::ops::ServerMetrics& metrics,
                  board::db::Pool& pool, const board::api::RateLimiter& limiter)
        : server_(options, [&](const board::api::Request& r) { return answer(r, metrics, pool, limiter); }) {
        std::cout << "vexlo-board: metrics on http://" << options.address << ":" << server_.port() << "/metrics"
                  << std::endl;
        thread_ = std::thread([this] { server_.run(); });
    }
    ~MetricsServer() {
        server_.stop();
        thread_.join();
    }

private:
    static board::api::Response answer(const board::api::Request& request, board::ops::ServerMetrics& metrics,
                                       board::db::Pool& pool, const board::api::RateLimiter& limiter) {
        if (request.target.substr(0, request.target.find('?')) != "/metrics")
            return board::api::errorResponse(404, "no such path; the metrics are at /metrics");
        if (request.method != "GET" && request.method != "HEAD") {
            board::api::Response response = board::api::errorResponse(405, "this path takes GET, HEAD");
            response.headers.emplace_back("Allow", "GET, HEAD");
            return response;
        }
        board::api::Response response;
        response.contentType = "text/plain; version=0.0.4; charset=utf-8";
        response.body = metrics.scrape(pool, limiter.refused());
        response.headOnly = request.method == "HEAD";
        return response;
    }

    board::http::Server server_;
    std::thread thread_;
};

int serve(const board::ServeOptions& options, board::ops::LogFormat logFormat) {
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
    board::ops::ServerMetrics metrics;
    // Each request: its client named (a trusted proxy may say who), answered,
    // counted and logged.
    const auto handle = [&](const board::api::Request& request) {
        const auto began = std::chrono::steady_clock::now();
        board::api::Request named = request;
        named.client = options.proxies.client(request.client, request.forwardedFor);
        board::api::Response response = api.handle(named);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        const std::string path = request.target.substr(0, request.target.find('?'));
        metrics.observeRequest(board::ops::routeOf(path), response.status, seconds);
        board::ops::writeLine(board::ops::formatLine(
            logFormat, board::ops::RequestLine{request.method, path, named.client, response.status, seconds * 1000,
                                               response.headOnly ? 0 : response.body.size()}));
        return response;
    };
    int status = 0;
    try {
        std::optional<MetricsServer> metricsServer;
        if (options.metrics)
            metricsServer.emplace(*options.metrics, metrics, pool, limiter);
        board::http::Server server(options.server, handle);
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

int work(board::WorkerOptions options, const std::string& gameDir, board::ops::LogFormat logFormat) {
    if (chdir(gameDir.c_str()) != 0) {
        std::cerr << "vexlo-board: cannot enter the game folder " << gameDir << "\n";
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    options.databaseUrl = databaseUrl();
    board::ops::WorkerFigures figures(options.databaseUrl, board::ops::workerName());
    options.onVerdict = [&](const board::VerdictReport& v) {
        const std::string kind = v.verified ? "" : board::ops::verdictKind(v.reason);
        figures.verdict(v.verified ? "verified" : "rejected", kind, v.seconds);
        board::ops::writeLine(board::ops::formatLine(
            logFormat, board::ops::VerdictLine{v.run, v.verified ? "verified" : "rejected", kind, v.seconds * 1000,
                                               v.updates, v.score}));
    };
    options.onEvent = [&](long long run, const std::string& what) {
        board::ops::writeLine(board::ops::formatLine(logFormat, board::ops::RunLine{run, what}));
    };
    options.onTick = [&] { figures.tick(); };
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
        return serve(line.serve, line.logFormat);
    case board::CommandLine::Work:
        return work(line.worker, line.gameDir, line.logFormat);
    case board::CommandLine::Admin:
        if (!line.admin.empty() && (line.admin[0] == "--help" || line.admin[0] == "-h")) {
            std::cout << board::AdminUsage;
            return 0;
        }
        return board::runAdmin(line.admin, databaseUrl(), std::cout, std::cerr);
    case board::CommandLine::Bad:
        break;
    }
    std::cerr << "vexlo-board: " << line.problem << "\n" << board::Usage;
    return 2;
}
