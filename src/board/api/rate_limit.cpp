#include "board/api/rate_limit.h"

#include <algorithm>
#include <cmath>

namespace board::api {

namespace {
constexpr std::size_t SweepAbove = 10000;
}

RateLimiter::RateLimiter(double perSecond, double burst) : perSecond_(perSecond), burst_(std::max(burst, 1.0)) {}

int RateLimiter::admit(const std::string& client, Clock::time_point now) {
    if (perSecond_ <= 0)
        return 0;
    std::lock_guard lock(mutex_);
    if (buckets_.size() > SweepAbove && now - lastSweep_ > std::chrono::seconds(1))
        forgetFull(now);
    auto [it, added] = buckets_.try_emplace(client, Bucket{burst_, now});
    Bucket& b = it->second;
    const double elapsed = std::chrono::duration<double>(now - b.last).count();
    b.tokens = std::min(burst_, b.tokens + elapsed * perSecond_);
    b.last = now;
    if (b.tokens >= 1) {
        b.tokens -= 1;
        return 0;
    }
    ++refused_;
    return std::max(1, static_cast<int>(std::ceil((1 - b.tokens) / perSecond_)));
}

void RateLimiter::charge(const std::string& client, double tokens, Clock::time_point now) {
    if (perSecond_ <= 0)
        return;
    std::lock_guard lock(mutex_);
    auto [it, added] = buckets_.try_emplace(client, Bucket{burst_, now});
    it->second.tokens = std::max(-burst_, it->second.tokens - tokens);
}

// A bucket that has filled up again is the same as none.
void RateLimiter::forgetFull(Clock::time_point now) {
    lastSweep_ = now;
    std::erase_if(buckets_, [&](const auto& entry) {
        const double elapsed = std::chrono::duration<double>(now - entry.second.last).count();
        return entry.second.tokens + elapsed * perSecond_ >= burst_;
    });
}

} // namespace board::api
