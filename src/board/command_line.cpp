#include "board/command_line.h"

#include <charconv>
#include <map>
#include <vector>

namespace board {

const char* const Usage =
    R"(usage: vexlo-board serve [--port N] [--listen ADDR] [--web DIR] [--rate R] [--burst N] [--threads N]
                          [--trust-proxy ADDR]... [--metrics-listen ADDR:PORT] [--log-format text|json]
                          [--max-waiting W]
       vexlo-board worker [--game-dir DIR] [--lease S] [--time-limit S] [--max-updates N]
                          [--log-format text|json]
       vexlo-board admin COMMAND ... (vexlo-board admin --help)
       vexlo-board --help | --version
All read the database's address from DATABASE_URL (a libpq connection string or URI).
  serve    HTTP on ADDR (127.0.0.1) port N (8080): the API under /api/ and, with
           --web, the files of DIR; at most R requests a second (50, bursts of
           N: 100) from one address, 0 for no limit; at most W runs waiting to
           be verified (3) from one address and under one player key, 0 for no
           limit; from a proxy named by --trust-proxy (any number), the last
           address of X-Forwarded-For is the client's; --metrics-listen serves
           GET /metrics (Prometheus' text format) on an address of its own
  worker   verifies queued runs by playing them with the game, whose data/
           is read from DIR (the current folder); a claim's lease
           is S seconds (30), renewed while it plays; a game gets S seconds of
           processor time (120) and N updates (1000000)
  admin    the operators' commands: hide and ban, the moderation log, admin
           tokens, counting the board afresh
serve and worker print a line a request or verdict; --log-format json makes
each a JSON object.
)";

namespace {

bool number(const std::string& text, long long low, long long high, long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

struct Parser {
    CommandLine& line;
    std::string option, value;

    bool bad(const std::string& why) {
        line.command = CommandLine::Bad;
        line.problem = why;
        return false;
    }
    bool whole(long long low, long long high, long long& out) {
        return number(value, low, high, out) ||
               bad(option + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    }
    bool serveOption() {
        ServeOptions& s = line.serve;
        long long n = 0;
        if (option == "--port")
            return whole(0, 65535, n) && (s.server.port = static_cast<unsigned short>(n), true);
        if (option == "--listen")
            return s.server.address = value, true;
        if (option == "--web")
            return s.webDir = value, true;
        if (option == "--rate")
            return whole(0, 1000000, n) && (s.rate = static_cast<double>(n), true);
        if (option == "--burst")
            return whole(1, 1000000, n) && (s.burst = static_cast<double>(n), true);
        if (option == "--threads")
            return whole(1, 256, n) && (s.server.threads = static_cast<int>(n), true);
        if (option == "--trust-proxy")
            return s.proxies.add(value) || bad("--trust-proxy takes an IPv4 or IPv6 address: " + value);
        if (option == "--metrics-listen")
            return metricsAddress();
        if (option == "--max-waiting")
            return whole(0, 1000000, n) && (s.maxWaiting = static_cast<int>(n), true);
        return bad("unknown option for serve: " + option);
    }
    // ADDR:PORT, or [ADDR]:PORT for IPv6.
    bool metricsAddress() {
        const std::size_t colon = value.rfind(':');
        long long port = 0;
        if (colon == std::string::npos || !number(value.substr(colon + 1), 0, 65535, port))
            return bad("--metrics-listen takes ADDR:PORT, such as 127.0.0.1:9464");
        http::ServerOptions metrics;
        metrics.address = value.substr(0, colon);
        if (metrics.address.size() > 2 && metrics.address.front() == '[' && metrics.address.back() == ']')
            metrics.address = metrics.address.substr(1, metrics.address.size() - 2);
        if (!ops::canonicalAddress(metrics.address))
            return bad("--metrics-listen takes ADDR:PORT, such as 127.0.0.1:9464");
        metrics.port = static_cast<unsigned short>(port);
        metrics.threads = 1;
        line.serve.metrics = metrics;
        return true;
    }
    bool logFormat() {
        if (value != "text" && value != "json")
            return bad("--log-format takes text or json");
        line.logFormat = value == "json" ? ops::LogFormat::Json : ops::LogFormat::Text;
        return true;
    }
    bool workerOption() {
        WorkerOptions& w = line.worker;
        long long n = 0;
        if (option == "--game-dir")
            return line.gameDir = value, true;
        if (option == "--lease")
            return whole(1, 3600, n) && (w.leaseSeconds = static_cast<int>(n), true);
        if (option == "--time-limit")
            return whole(1, 3600, n) && (w.limits.cpuSeconds = static_cast<int>(n), true);
        if (option == "--max-updates")
            return whole(1, 1000000000, n) && (w.limits.maxUpdates = static_cast<long>(n), true);
        return bad("unknown option for worker: " + option);
    }
};

} // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return line.problem = "a command is needed", line;
    const std::string& command = args[0];
    if (command == "--help" || command == "-h")
        return line.command = CommandLine::Help, line;
    if (command == "--version")
        return line.command = CommandLine::Version, line;
    if (command == "admin") {
        line.admin.assign(args.begin() + 1, args.end());
        return line.command = CommandLine::Admin, line;
    }
    if (command != "serve" && command != "worker")
        return line.problem = "unknown command: " + command, line;
    line.command = command == "serve" ? CommandLine::Serve : CommandLine::Work;
    Parser parser{line, "", ""};
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h")
            return line.command = CommandLine::Help, line;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) != 0)
            return parser.bad("unexpected argument: " + arg), line;
        if (equals != std::string::npos) {
            parser.option = arg.substr(0, equals);
            parser.value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            parser.option = arg;
            parser.value = args[++i];
        } else {
            return parser.bad("missing value after " + arg), line;
        }
        const bool ok = parser.option == "--log-format"      ? parser.logFormat()
                        : line.command == CommandLine::Serve ? parser.serveOption()
                                                             : parser.workerOption();
        if (!ok)
            return line;
    }
    return line;
}

} // namespace board
