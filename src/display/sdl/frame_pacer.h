// The schedule behind "synchronized update": frames are shown at a steady
// 70 a second, the rate of the 320 x 200 display mode the game was made
// for, whatever the monitor's refresh rate.
#pragma once

#include <chrono>
#include <cstdint>

namespace ptc::sdl {

class FramePacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t Rate = 70;
    // A frame this late (or later) is not caught up on: the schedule starts
    // afresh from it, so a stall is not followed by a burst of frames.
    static constexpr std::int64_t MaxLateFrames = 2;

    // maxLateFrames replaces MaxLateFrames, for a platform whose waits are
    // less punctual (a browser's timers).
    explicit FramePacer(Clock::time_point start, std::int64_t maxLateFrames = MaxLateFrames)
        : start_(start), maxLateFrames_(maxLateFrames) {}

    // The time at which the next frame is due, given the time now. Deadline
    // n is start + n / 70 s, computed from the frame count each time so that
    // no rounding error builds up over a long run. A deadline already in the
    // past by no more than maxLateFrames frames is returned as it is (the
    // frame goes out at once and the schedule keeps its phase).
    Clock::time_point next(Clock::time_point now) {
        ++frames_;
        const Clock::time_point deadline = start_ + offset(frames_);
        if (now - deadline > offset(maxLateFrames_)) {
            start_ = now;
            frames_ = 0;
            return now;
        }
        return deadline;
    }

    // Tells when the frame went out. After a fresh start the schedule counts
    // from here, so that a slow first frame does not make the next hurry.
    void shown(Clock::time_point when) {
        if (frames_ == 0)
            start_ = when;
    }

private:
    static Clock::duration offset(std::int64_t frames) {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(frames * 1'000'000'000 / Rate));
    }

    Clock::time_point start_;
    std::int64_t maxLateFrames_;
    std::int64_t frames_ = 0;
};

} // namespace ptc::sdl
