// What the window offers a player beyond the toolkit's contract: it opens
// as it was left last time (full screen or not, its size, the aspect),
// pauses (P, the Pause key, a lost focus) and mutes (M), and records the
// game's keys or plays back a recorded game (see game_keys.h). The game
// never sees any of it: the program's main sets it up before the game
// opens its window and reads back how the window was left.
#pragma once

#include "replay/key_script.h"
#include "ptc/ptc.h"
#include "window/game_keys.h"
#include "window/presentation.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace ptc::window {

struct ComfortsSetUp {
    bool fullscreen = false;
    Size windowSize;              // {0, 0}: the largest whole multiple that fits
    std::optional<Aspect> aspect; // none: as VEXLO_ASPECT says
    bool muted = false;           // how the sound starts; M switches it
    // Told when the game pauses or goes on, and when M switches the sound.
    std::function<void(bool paused)> pauseChanged;
    std::function<void(bool muted)> muteChanged;
    // Each key the game takes, as a recording writes it.
    std::function<void(const replay::ScriptedKey&)> keyTaken;
    // A recorded game to watch: its keys, in the order they arrive.
    std::optional<std::vector<replay::ScriptedKey>> watched;
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
    // The frame schedule starts afresh (after a pause).
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
    bool keyPressed(ComfortsWindow& window, long updates, std::deque<KeyEvent>& queue);
    KeyEvent read(ComfortsWindow& window, long updates, std::deque<KeyEvent>& queue);

    // The window closes: remembered for lastWindow().
    void end(bool fullscreen, Aspect aspect);

private:
    void act(ComfortsWindow& window, WindowCommand command, std::deque<KeyEvent>& queue);
    void pause(ComfortsWindow& window, std::deque<KeyEvent>& queue);
    void holdForWatcher(ComfortsWindow& window, std::deque<KeyEvent>& queue);
    void toggleMute();

    ComfortsSetUp setUp_;
    GameKeys keys_;
    bool muted_ = false;
    bool pauseWanted_ = false;
    Size windowedSize_;
};

} // namespace ptc::window
