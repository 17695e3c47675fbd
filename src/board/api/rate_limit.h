// Requests a second per client address: a bucket of tokens per address,
// refilled at the rate and holding at most the burst.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace board::api {

class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    // perSecond 0 lets everything through.
    RateLimiter(double perSecond, double burst);
    // 0 when the request may go on; else the whole seconds until it may.
    int admit(const std::string& client, Clock::time_point now = Clock::now());
    // Requests refused so far.
    long long refused() const { return refused_; }
    // Takes tokens more from the client's bucket (down to a burst's worth
    // below nothing): a request that costs more than one.
    void charge(const std::string& client, double tokens, Clock::time_point now = Clock::now());

private:
    struct Bucket {
        double tokens;
        Clock::time_point last;
    };
    void forgetFull(Clock::time_point now);

    double perSecond_, burst_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
    Clock::time_point lastSweep_{};
    std::atomic<long long> refused_{0};
};

} // namespace board::api
