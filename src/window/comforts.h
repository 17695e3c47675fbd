// What the window offers a player beyond the toolkit's contract: it opens
// as it was left last time (full screen or not, its size, the aspect),
// names the race in its title, pauses (P, the Pause key, a lost focus) and
// mutes (M), and records the game's keys or plays back a recorded game
// (see game_keys.h) at the speed the watcher picks (watch_speed.h). The game
// never sees any of it: the program's main sets it up before the game
// opens its window and reads back how the window was left.
#pragma once

#include "replay/key_script.h"
#include "ptc/ptc.h"
#include "window/game_keys.h"
#include "window/presentation.h"
#include "window/watch_speed.h"

#include <cstdint>
#include <deque>
#include <string>
#include <functional>
#include <optional>
#include <vector>

namespace ptc::window {

struct ComfortsSetUp {
    bool fullscreen = false;
    Size windowSize;              // {0, 0}: the largest whole multiple that fits
    std::optional<Aspect> aspect; // none: as VEXLO_ASPECT says
    bool muted = false;           // how the sound starts; M switches it
    // Told when the game pauses or goes on, and when the sound is to be
    // silent or heard: M switches it, and a watched game is heard only at
    // its own pace. The player's choice is kept apart (WindowEnd::muted).
    std::function<void(bool paused)> pauseChanged;
    std::function<void(bool muted)> muteChanged;
    // Each key the game takes, as a recording writes it.
    std::function<void(const replay::ScriptedKey&)> keyTaken;
    // A recorded game to watch: its keys, in the order they arrive.
    std::optional<std::vector<replay::ScriptedKey>> watched;
    // How it is watched: the speed it starts at, what is known of it, and
    // whether the window draws the watching bar over the picture (the page
    // has its own, beside it). Told when the speed or the skip changes.
    int watchSpeed = 1;
    WatchPlan watchPlan;
    bool watchBar = false;
    std::function<void(const WatchState&)> watchChanged;
    // What the window's title says after the game's name: the race, or
    // whose run is watched; empty for the game's own title.
    std::string titleWords;
};

// For the windows opened from now on.
void setUpComforts(ComfortsSetUp setUp);

// How the last window was left when it closed.
struct WindowEnd {
    bool fullscreen = false;
    Size windowSize; // its size the last time it was not full screen
    Aspect aspect = Aspect::FourByThree;
    bool muted = false;
};
std::optional<WindowEnd> lastWindow();

// What the comforts need of the window.
class ComfortsWindow {
public:
    // Waits for an event (at most a short while), takes in what came and
    // redraws the window if it needs it.
    virtual void waitForEvents() = 0;
    // Shows a picture of the frame's size in place of the game's (kept
    // until called again); null shows the game's again.
    virtual void showInstead(const std::uint32_t* pixels) = 0;
    // The game's latest frame.
    virtual const std::uint32_t* lastFrame() const = 0;
    virtual void requestClose() = 0;
    // Throws ptc::Closed once a close has been asked for.
    virtual void throwIfClosed() const = 0;
    // The frame schedule starts afresh (after a pause, or at a new speed).
    virtual void restartPace() = 0;

protected:
    ~ComfortsWindow() = default;
};

// The comforts of one open window.
class Comforts {
public:
    // Takes the set-up, as the window opens.
    void begin();
    Aspect aspect() const;
    // The window's title for the game's own: the race named, if it is not
    // the classic one.
    std::string title(const std::string& gameTitle) const;
    // The window's first size on a desktop of that usable size.
    Size startSize(Aspect aspect, Size usable) const;
    bool startsFullscreen() const { return setUp_.fullscreen; }

    // The window's size changed (or it was made).
    void windowSized(bool fullscreen, Size size);
    void focusLost();
    // Whether a held key's repeats are dropped: those of the window's keys.
    bool dropsRepeat(int code) const;

    // Display::keyPressed and Display::read, with the player's keys in
    // `queue` and `updates` updates made.
    bool keyPressed(ComfortsWindow& window, long updates, KeyQueue& queue);
    KeyEvent read(ComfortsWindow& window, long updates, KeyQueue& queue);

    // Watching: how the update after `updates` is paced (a skip under way
    // makes it at once and unseen), and the picture to show for the
    // game's frame (with the watching bar where the window draws it).
    WatchSpeed::Pace pace(ComfortsWindow& window, long updates);
    const std::uint32_t* shown(const std::uint32_t* frame, long updates);
    bool watching() const { return keys_.watching(); }

    // The window closes: remembered for lastWindow().
    void end(bool fullscreen, Aspect aspect);

private:
    void act(ComfortsWindow& window, WindowCommand command, KeyQueue& queue);
    void pause(ComfortsWindow& window, KeyQueue& queue);
    void holdForWatcher(ComfortsWindow& window, KeyQueue& queue);
    void toggleMute();
    void watchCommand(ComfortsWindow& window, WindowCommand command);
    // Tells muteChanged whether the sound is heard now.
    void soundHeard();
    void tellWatchState();

    ComfortsSetUp setUp_;
    GameKeys keys_;
    bool muted_ = false;
    bool pauseWanted_ = false;
    Size windowedSize_;
    WatchSpeed watch_;
    long updates_ = 0;                    // the latest count a call was given
    std::optional<WatchState> toldState_; // what watchChanged was told last, its count left out
    std::vector<std::uint32_t> withBar_;
};

} // namespace ptc::window
