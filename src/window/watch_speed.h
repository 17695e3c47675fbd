// Watching a recorded run faster than it was played: at 1, 2, 4 or 8 times
// the game's pace (the keys 1, 2, 4 and 8, or --speed), with the updates
// played out of the run's total, and "Skip to the crash", which plays
// unpaced to 70 updates before the crash and then at the chosen speed.
// Every update is made at every speed; a faster one only leaves frames off
// the screen, so what is shown is always the replay tool's frame of that
// update. The sound is heard at the game's own pace only.
//
// The run's total and its crash are known before it is watched: its keys
// are played once unpaced and unseen first (WatchPlan), by whoever starts
// the watching.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace ptc::window {

// The update that shows the game-over screen comes this many updates after
// the crash began, and "Skip to the crash" stops as many updates before it.
constexpr long CrashUpdates = 70;

// Whether n is a speed a run can be watched at: 1, 2, 4 or 8.
bool isWatchSpeed(int n);

struct WatchPlan {
    long total = 0;                 // the updates the run makes to its end
    std::optional<long> gameOverAt; // the update that shows the game-over screen, if it comes

    // Finds the plan from the updates of an unseen run: call for each with
    // whether the game-over screen is on.
    void updated(long update, bool gameOverOnScreen);
    // The first update of the crash, if the run has one.
    std::optional<long> crashAt() const;
    // Where "Skip to the crash" goes on at the chosen speed.
    std::optional<long> skipTo() const;
};

// What the watching is doing now, for the bar and the page.
struct WatchState {
    int speed = 1;
    long updates = 0;      // played so far
    long total = 0;        // 0: not known
    bool skipping = false; // playing unpaced to the crash
    bool canSkip = false;  // the crash is still ahead, and no skip is under way
    bool operator==(const WatchState&) const = default;
};

class WatchSpeed {
public:
    WatchSpeed() = default;
    WatchSpeed(int speed, WatchPlan plan);

    int speed() const { return speed_; }
    void setSpeed(int speed);
    // Asks to skip to the crash; false when it is not ahead.
    bool skip(long updates);

    // The update after `updates` updates: whether it is made at once,
    // unpaced and unseen (a skip under way), and the speed it is paced at
    // otherwise. A skip ends at its update.
    struct Pace {
        bool unpaced = false;
        int speed = 1;
    };
    Pace pace(long updates);
    // Whether the sound is heard now: at the game's own pace only.
    bool audible() const { return speed_ == 1 && !skipping_; }
    // How long a pause of the game's own (a screen standing before its
    // key) lasts now: shorter by the speed, and none while skipping.
    std::chrono::milliseconds hold(std::chrono::milliseconds atOwnPace) const;

    WatchState state(long updates) const;

private:
    int speed_ = 1;
    WatchPlan plan_;
    bool skipping_ = false;
};

} // namespace ptc::window
