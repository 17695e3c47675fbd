#include "board/ops/metrics.h"

#include "board/api/query.h"
#include "board/ops/board_figures.h"

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

namespace board::ops {

namespace pm = prometheus;

namespace {

const pm::Histogram::BucketBoundaries LatencyBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                        0.05,   0.1,   0.25,   0.5,   1,    2.5};

// The board's figures, into a registry made for one scrape.
void addBoardFigures(pm::Registry& registry, const BoardFigures& figures) {
    pm::BuildCounter()
        .Name("vexlo_board_runs_submitted_total")
        .Help("Runs submitted to the board (the highest run number given)")
        .Register(registry)
        .Add({})
        .Increment(static_cast<double>(figures.submitted));
    auto& queue = pm::BuildGauge()
                      .Name("vexlo_board_queue_runs")
                      .Help("Runs not finished yet: waiting for a worker, or being verified")
                      .Register(registry);
    queue.Add({{"status", "queued"}}).Set(static_cast<double>(figures.queued));
    queue.Add({{"status", "verifying"}}).Set(static_cast<double>(figures.verifying));
    pm::BuildGauge()
        .Name("vexlo_board_queue_oldest_age_seconds")
        .Help("Seconds since the oldest run not finished yet was submitted (0: none)")
        .Register(registry)
        .Add({})
        .Set(figures.oldestWaitingSeconds);

    pm::BuildGauge()
        .Name("vexlo_board_queue_stuck_runs")
        .Help("Runs still waiting after ten failures in a row on the server's side, for the operators to see")
        .Register(registry)
        .Add({})
        .Set(static_cast<double>(figures.stuck));
    pm::BuildGauge()
        .Name("vexlo_board_runs_hidden")
        .Help("Runs the board's operators hid")
        .Register(registry)
        .Add({})
        .Set(static_cast<double>(figures.hidden));

    auto& verified = pm::BuildCounter()
                         .Name("vexlo_board_runs_verified_total")
                         .Help("Runs the workers verified")
                         .Register(registry)
                         .Add({});
    auto& rejected = pm::BuildCounter()
                         .Name("vexlo_board_runs_rejected_total")
                         .Help("Runs the workers rejected, by kind of reason")
                         .Register(registry);
    const auto& bounds = verificationBuckets();
    std::vector<double> buckets(bounds.size() + 1, 0.0);
    double seconds = 0;
    for (const VerdictCount& v : figures.verdicts) {
        if (v.outcome == "verified")
            verified.Increment(static_cast<double>(v.runs));
        else
            rejected.Add({{"reason", v.kind}}).Increment(static_cast<double>(v.runs));
        const auto at = std::lower_bound(bounds.begin(), bounds.end(), v.bucket);
        buckets[static_cast<std::size_t>(at - bounds.begin())] += static_cast<double>(v.runs);
        seconds += v.seconds;
    }
    pm::BuildHistogram()
        .Name("vexlo_board_verification_seconds")
        .Help("Time a worker took from claiming a run to its verdict")
        .Register(registry)
        .Add({}, bounds)
        .ObserveMultiple(buckets, seconds);

    auto& beats = pm::BuildGauge()
                      .Name("vexlo_board_worker_heartbeat_timestamp_seconds")
                      .Help("When each worker last said it was alive (Unix time)")
                      .Register(registry);
    for (const WorkerBeat& b : figures.beats)
        beats.Add({{"worker", b.worker}}).Set(b.unixSeconds);
}

} // namespace

struct ServerMetrics::Impl {
    pm::Registry registry;
    pm::Family<pm::Counter>& requests = pm::BuildCounter()
                                            .Name("vexlo_board_http_requests_total")
                                            .Help("HTTP requests this server answered, by route and status")
                                            .Register(registry);
    pm::Family<pm::Histogram>& latency = pm::BuildHistogram()
                                             .Name("vexlo_board_http_request_duration_seconds")
                                             .Help("Time this server took to answer a request, by route")
                                             .Register(registry);
};

ServerMetrics::ServerMetrics() : impl_(std::make_unique<Impl>()) {}
ServerMetrics::~ServerMetrics() = default;

void ServerMetrics::observeRequest(const std::string& route, int status, double seconds) {
    impl_->requests.Add({{"route", route}, {"status", std::to_string(status)}}).Increment();
    impl_->latency.Add({{"route", route}}, LatencyBuckets).Observe(seconds);
}

std::string ServerMetrics::scrape(db::Pool& pool, long long rateLimited) {
    pm::Registry now;
    pm::BuildCounter()
        .Name("vexlo_board_http_rate_limited_total")
        .Help("Requests this server refused with 429 for their address's rate")
        .Register(now)
        .Add({})
        .Increment(static_cast<double>(rateLimited));
    bool reachable = true;
    try {
        auto connection = pool.take();
        addBoardFigures(now, readBoardFigures(*connection));
    } catch (const std::exception&) {
        reachable = false; // the board's figures are left out
    }
    pm::BuildGauge()
        .Name("vexlo_board_database_up")
        .Help("Whether the database answered this scrape (1) or not (0)")
        .Register(now)
        .Add({})
        .Set(reachable ? 1 : 0);
    std::vector<pm::MetricFamily> families = impl_->registry.Collect();
    for (auto& family : now.Collect())
        families.push_back(std::move(family));
    std::ostringstream text;
    pm::TextSerializer().Serialize(text, families);
    return text.str();
}

std::string routeOf(const std::string& path) {
    if (path.rfind("/api/admin/", 0) == 0)
        return "admin";
    switch (api::parseApiPath(path).kind) {
    case api::ApiPath::Runs:
        return "runs";
    case api::ApiPath::Run:
        return "run";
    case api::ApiPath::RunKeys:
        return "run_keys";
    case api::ApiPath::Board:
        return "board";
    case api::ApiPath::Health:
        return "health";
    case api::ApiPath::NotApi:
        return "page";
    default:
        return "other";
    }
}

} // namespace board::ops
