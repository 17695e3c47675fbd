// An HTTP load client for the score server: C connections on loopback,
// each sending one kind of request again and again (keep-alive), for a
// time. Prints the latency percentiles and the rate.
//
//   load_client --port P --clients C --seconds S --kind board|deep|post [--total T] [--rate R]
//
// Without a rate each client sends its next request as soon as the answer
// came (the server's most, and latency mostly waiting in line); with R the
// clients together send R a second on a fixed schedule, and each latency is
// counted from when its request was due, so a late answer also delays the
// ones behind it in the figures.
//
// board: GET /api/board with offsets from 0 to 980; deep: offsets anywhere
// in the first T runs; post: POST /api/runs of a small run.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int connectTo(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads one response; its status, or 0.
int readResponse(int fd, std::string& buffer) {
    for (;;) {
        const std::size_t head = buffer.find("\r\n\r\n");
        if (head != std::string::npos) {
            const std::size_t at = buffer.find("Content-Length: ");
            const std::size_t length = at < head ? std::strtoul(buffer.c_str() + at + 16, nullptr, 10) : 0;
            if (buffer.size() >= head + 4 + length) {
                const int status = std::atoi(buffer.c_str() + 9);
                buffer.erase(0, head + 4 + length);
                return status;
            }
        }
        char chunk[65536];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return 0;
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

struct Result {
    std::vector<double> latencies; // ms
    long failures = 0;
};

struct Options {
    int port = 0, clients = 64;
    double seconds = 10;
    long total = 1000000;
    std::string kind = "board";
    double rate = 0;
};

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i], value = argv[i + 1];
        if (arg == "--port")
            o.port = std::atoi(value.c_str());
        else if (arg == "--clients")
            o.clients = std::atoi(value.c_str());
        else if (arg == "--seconds")
            o.seconds = std::atof(value.c_str());
        else if (arg == "--kind")
            o.kind = value;
        else if (arg == "--total")
            o.total = std::atol(value.c_str());
        else if (arg == "--rate")
            o.rate = std::atof(value.c_str());
    }
    return o;
}

// The next request of the kind: a small run to post (its keys differ by
// the serial number), or a page of the board.
std::string nextRequest(const Options& o, std::atomic<long>& serial, std::mt19937_64& random) {
    if (o.kind == "post") {
        const long n = ++serial;
        const std::string body = "{\"name\": \"load " + std::to_string(n % 100000) + "\", \"keys\": \"272 13\\n" +
                                 std::to_string(300 + n) + " 38\\n\"}";
        return "POST /api/runs HTTP/1.1\r\nHost: l\r\nContent-Type: application/json\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body;
    }
    const long range = o.kind == "deep" ? std::max(1L, o.total - 20) : 981;
    const long offset = static_cast<long>(random() % static_cast<std::uint64_t>(range));
    return "GET /api/board?limit=20&offset=" + std::to_string(offset) + " HTTP/1.1\r\nHost: l\r\n\r\n";
}

// One client's requests until `end`, on its own connection.
void runClient(const Options& o, int c, Clock::time_point end, std::atomic<long>& serial, Result& r) {
    std::mt19937_64 random(static_cast<std::uint64_t>(c) * 7919 + 1);
    int fd = connectTo(o.port);
    std::string buffer;
    const auto interval = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(o.rate > 0 ? o.clients / o.rate : 0));
    auto due = Clock::now() + interval * c / o.clients;
    while (Clock::now() < end && fd >= 0) {
        if (o.rate > 0)
            std::this_thread::sleep_until(due);
        const std::string request = nextRequest(o, serial, random);
        const auto start = o.rate > 0 ? due : Clock::now();
        due += interval;
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
            ++r.failures;
            break;
        }
        const int status = readResponse(fd, buffer);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (status / 100 != 2) {
            ++r.failures;
            if (status == 0) {
                close(fd);
                fd = connectTo(o.port);
                buffer.clear();
            }
            continue;
        }
        r.latencies.push_back(ms);
    }
    if (fd >= 0)
        close(fd);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parseOptions(argc, argv);
    if (o.port == 0) {
        std::fprintf(
            stderr,
            "usage: load_client --port P [--clients C] [--seconds S] [--kind board|deep|post] [--total T]\n");
        return 2;
    }
    std::vector<Result> results(static_cast<std::size_t>(o.clients));
    std::atomic<long> serial{0};
    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.seconds));
    std::vector<std::thread> threads;
    for (int c = 0; c < o.clients; ++c)
        threads.emplace_back([&, c] { runClient(o, c, end, serial, results[static_cast<std::size_t>(c)]); });
    for (auto& t : threads)
        t.join();
    std::vector<double> all;
    long failures = 0;
    for (const Result& r : results) {
        all.insert(all.end(), r.latencies.begin(), r.latencies.end());
        failures += r.failures;
    }
    std::sort(all.begin(), all.end());
    auto at = [&](double q) {
        return all.empty()
                   ? 0.0
                   : all[std::min(all.size() - 1, static_cast<std::size_t>(q * static_cast<double>(all.size())))];
    };
    std::printf(
        "%s: %d clients, %zu requests in %.0f s (%.0f/s), %ld failed; latency ms p50 %.2f p90 %.2f p99 %.2f max "
        "%.2f\n",
        o.kind.c_str(), o.clients, all.size(), o.seconds, static_cast<double>(all.size()) / o.seconds, failures,
        at(0.5), at(0.9), at(0.99), all.empty() ? 0.0 : all.back());
    return failures == 0 ? 0 : 1;
}
