// The schedule behind "synchronized update": 70 updates a second of game
// time, the rate of the 320 x 200 display mode the game was made for,
// whatever the monitor's refresh rate and however long showing a frame
// takes.
//
// Update n is due at start + n / 70 s. An update that comes early waits
// for its time; one late by no more than a frame goes at once and keeps
// the schedule's phase. One further behind still counts, but its frame is
// left off the screen: the game catches up by not showing frames, never by
// hurrying ones it shows. At most MaxSkipped frames in a row are left out,
// so at least one frame in seven is shown: ten frames of every second of
// game time. When that one is due and the schedule is still more than
// MaxBehind behind, showing frames is too slow for the game (or the game
// was held up): the schedule starts afresh from it, so the game slows down
// rather than turning into a slide show, and no debt is left for a burst.
//
// A watched run may go faster (setSpeed): at speed N the updates are due N
// times as often, and only every N-th frame goes to the screen, so that the
// screen is shown no more often than at the game's own pace.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace ptc::window {

class FramePacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t Rate = 70;
    static constexpr int MaxSkipped = 6;
    static constexpr Clock::duration MaxBehind = std::chrono::milliseconds(100);

    struct Slot {
        Clock::time_point due; // when the update goes: now, or later
        bool show = true;      // whether its frame goes to the screen
    };

    // The next update, asked for at `now`. The first one, and the first
    // after restart(), goes at once and the schedule counts from it.
    Slot next(Clock::time_point now) {
        if (!started_) {
            started_ = true;
            start_ = now;
            frames_ = 0;
            skipped_ = 0;
            return {now, true};
        }
        ++frames_;
        const Clock::time_point deadline = start_ + offset(frames_);
        if (now <= deadline || now - deadline <= offset(speed_)) {
            skipped_ = 0;
            return {std::max(now, deadline), frames_ % speed_ == 0};
        }
        if (skipped_ < MaxSkipped * speed_) {
            ++skipped_;
            return {now, false};
        }
        skipped_ = 0;
        if (now - deadline > MaxBehind) {
            start_ = now;
            frames_ = 0;
        }
        return {now, true};
    }

    // The game stood still on purpose (it waited for a key): the next
    // update starts the schedule afresh instead of catching up.
    void restart() { started_ = false; }

    // Updates due `speed` times as often from the next one on; 1 is the
    // game's own pace.
    void setSpeed(int speed) {
        if (speed < 1 || speed == speed_)
            return;
        speed_ = speed;
        started_ = false;
    }

private:
    // Deadline n, computed from the count each time so that no rounding
    // error builds up over a long run.
    Clock::duration offset(std::int64_t frames) const {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(frames * 1'000'000'000 / (Rate * speed_)));
    }

    bool started_ = false;
    Clock::time_point start_{};
    std::int64_t frames_ = 0;
    int skipped_ = 0;
    int speed_ = 1;
};

} // namespace ptc::window
