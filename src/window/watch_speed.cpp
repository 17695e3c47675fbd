#include "window/watch_speed.h"

#include <algorithm>

namespace ptc::window {

bool isWatchSpeed(int n) { return n == 1 || n == 2 || n == 4 || n == 8; }

void WatchPlan::updated(long update, bool gameOverOnScreen) {
    total = update;
    if (gameOverOnScreen && !gameOverAt)
        gameOverAt = update;
}

std::optional<long> WatchPlan::crashAt() const {
    if (!gameOverAt || *gameOverAt <= CrashUpdates)
        return std::nullopt;
    return *gameOverAt - CrashUpdates;
}

std::optional<long> WatchPlan::skipTo() const {
    const std::optional<long> crash = crashAt();
    if (!crash)
        return std::nullopt;
    return std::max(0L, *crash - CrashUpdates);
}

WatchSpeed::WatchSpeed(int speed, WatchPlan plan) : speed_(isWatchSpeed(speed) ? speed : 1), plan_(plan) {}

void WatchSpeed::setSpeed(int speed) {
    if (isWatchSpeed(speed))
        speed_ = speed;
}

bool WatchSpeed::skip(long updates) {
    const std::optional<long> to = plan_.skipTo();
    if (skipping_ || !to || updates + 1 >= *to)
        return false;
    skipping_ = true;
    return true;
}

WatchSpeed::Pace WatchSpeed::pace(long updates) {
    if (skipping_ && updates + 1 >= plan_.skipTo().value_or(0))
        skipping_ = false;
    return {skipping_, speed_};
}

std::chrono::milliseconds WatchSpeed::hold(std::chrono::milliseconds atOwnPace) const {
    return skipping_ ? std::chrono::milliseconds(0) : atOwnPace / speed_;
}

WatchState WatchSpeed::state(long updates) const {
    const std::optional<long> to = plan_.skipTo();
    return {speed_, updates, plan_.total, skipping_, !skipping_ && to && updates + 1 < *to};
}

} // namespace ptc::window
