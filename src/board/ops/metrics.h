// GET /metrics in Prometheus' text format, on an address of its own
// (--metrics-listen), built with prometheus-cpp's registry and text
// serializer. Two kinds of figures: this server's own (its requests by
// route and status and their latency, those the rate limit refused), and
// the board's, read from the database at each scrape and the same on
// every server (runs submitted, verified, rejected by kind of reason;
// the queue; verification times; the workers' heartbeats; whether the
// database can be reached).
#pragma once

#include "board/db/pool.h"

#include <memory>
#include <string>

namespace board::ops {

class ServerMetrics {
public:
    ServerMetrics();
    ~ServerMetrics();
    // One request answered; route is routeOf() of its path.
    void observeRequest(const std::string& route, int status, double seconds);
    // The whole text. rateLimited: requests the rate limit refused so far.
    std::string scrape(db::Pool& pool, long long rateLimited);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A path's route, as a label of few values: runs, run, run_keys, board,
// health, page (the web folder's files) or other.
std::string routeOf(const std::string& path);

} // namespace board::ops
