#include "board/ops/worker_figures.h"

#include "board/db/connection.h"
#include "board/ops/board_figures.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>
#include <tuple>
#include <unistd.h>

namespace board::ops {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto BeatEvery = std::chrono::seconds(5);
constexpr auto WriteEvery = std::chrono::seconds(1);
} // namespace

struct WorkerFigures::Impl {
    db::Connection db;
    std::string worker;
    std::map<std::tuple<std::string, std::string, double>, std::pair<long long, double>> pending;
    Clock::time_point nextTry = Clock::now();
    Clock::time_point nextBeat = Clock::now();

    Impl(const std::string& url, std::string name)
        : db(url, std::chrono::seconds(5), "-c synchronous_commit=off"), worker(std::move(name)) {}

    // Adds what is counted; what the database did not take stays counted.
    void write() {
        for (auto it = pending.begin(); it != pending.end();) {
            const auto& [outcome, kind, bucket] = it->first;
            try {
                addVerdicts(db, {outcome, kind, bucket, it->second.first, it->second.second});
                it = pending.erase(it);
            } catch (const std::exception&) {
                break;
            }
        }
    }

    void tick() {
        const auto now = Clock::now();
        if (now < nextTry)
            return;
        nextTry = now + WriteEvery;
        if (now >= nextBeat) {
            try {
                beat(db, worker);
                nextBeat = now + BeatEvery;
            } catch (const std::exception&) {
                // The database is away (the worker says so itself), or
                // its tables are not made yet: again in a second.
            }
        }
        write();
    }
};

WorkerFigures::WorkerFigures(const std::string& databaseUrl, std::string worker)
    : impl_(std::make_unique<Impl>(databaseUrl, std::move(worker))) {}

WorkerFigures::~WorkerFigures() {
    try {
        impl_->write();
        forgetWorker(impl_->db, impl_->worker);
    } catch (const std::exception&) {
    }
}

void WorkerFigures::verdict(const std::string& outcome, const std::string& kind, double seconds) {
    const auto& buckets = verificationBuckets();
    const auto at = std::lower_bound(buckets.begin(), buckets.end(), seconds);
    const double bucket = at == buckets.end() ? std::numeric_limits<double>::infinity() : *at;
    auto& counted = impl_->pending[{outcome, kind, bucket}];
    counted.first += 1;
    counted.second += seconds;
}

void WorkerFigures::tick() { impl_->tick(); }

std::string workerName() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return std::string(host) + ":" + std::to_string(getpid());
}

} // namespace board::ops
