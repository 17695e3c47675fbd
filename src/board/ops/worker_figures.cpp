#include "board/ops/worker_figures.h"

#include "board/db/connection.h"
#include "board/ops/board_figures.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <thread>
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
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::map<std::tuple<std::string, std::string, double>, std::pair<long long, double>> pending;
    std::thread thread;

    Impl(const std::string& url, std::string name)
        : db(url, std::chrono::seconds(5), "-c synchronous_commit=off"), worker(std::move(name)) {}

    // Adds what is counted; what the database did not take stays counted.
    void write() {
        decltype(pending) taken;
        {
            std::lock_guard lock(mutex);
            taken.swap(pending);
        }
        for (auto it = taken.begin(); it != taken.end();) {
            const auto& [outcome, kind, bucket] = it->first;
            try {
                addVerdicts(db, {outcome, kind, bucket, it->second.first, it->second.second});
                it = taken.erase(it);
            } catch (const std::exception&) {
                break;
            }
        }
        std::lock_guard lock(mutex);
        for (const auto& [key, value] : taken) {
            auto& counted = pending[key];
            counted.first += value.first;
            counted.second += value.second;
        }
    }

    void run() {
        auto nextBeat = Clock::now();
        std::unique_lock lock(mutex);
        while (!stopping) {
            lock.unlock();
            if (Clock::now() >= nextBeat) {
                try {
                    beat(db, worker);
                    nextBeat = Clock::now() + BeatEvery;
                } catch (const std::exception&) {
                    // The database is away (the worker says so itself), or
                    // its tables are not made yet: again in a second.
                }
            }
            write();
            lock.lock();
            wake.wait_for(lock, WriteEvery, [&] { return stopping; });
        }
    }
};

WorkerFigures::WorkerFigures(const std::string& databaseUrl, std::string worker)
    : impl_(std::make_unique<Impl>(databaseUrl, std::move(worker))) {
    impl_->thread = std::thread([this] { impl_->run(); });
}

WorkerFigures::~WorkerFigures() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    impl_->thread.join();
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
    std::lock_guard lock(impl_->mutex);
    auto& counted = impl_->pending[{outcome, kind, bucket}];
    counted.first += 1;
    counted.second += seconds;
}

std::string workerName() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return std::string(host) + ":" + std::to_string(getpid());
}

} // namespace board::ops
