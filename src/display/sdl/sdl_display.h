// The SDL window behind ptc::Display, for the platform's own sources: the
// window and its picture (sdl_window.cpp), its events and input
// (sdl_events.cpp), and the contract's calls over them (display_sdl.cpp).
#pragma once

#include "ptc/ptc.h"
#include "display/sdl/input.h"
#include "display/sdl/presenter.h"
#include "window/comforts.h"
#include "window/frame_pacer.h"
#include "window/presentation.h"
#include "window/progress_file.h"

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ptc {

// The picture's pixels.
constexpr std::size_t PicturePixels = static_cast<std::size_t>(DisplayWidth) * DisplayHeight;

struct Display::Impl final : window::ComfortsWindow {
    bool synchronized = false;
    window::FramePacer pacer;
    // Updates made and frames shown since the window opened.
    long updates = 0;
    long framesShown = 0;
    std::optional<window::ProgressFile> progress;

    bool logSilenced = false;
    SDL_LogOutputFunction savedLog = nullptr;
    void* savedLogData = nullptr;

    bool sdlStarted = false;
    bool padsStarted = false;
    window::Aspect aspect = window::Aspect::FourByThree;
    SDL_Window* window = nullptr;
    Uint32 windowId = 0;
    bool opened = false; // open() finished
    std::unique_ptr<sdl::Presenter> presenter;
    // copyTo takes the picture into `pending`; update makes it `current`,
    // the game's latest picture, which the window shows unless the
    // schedule is behind. The window shows `current` again whenever it is
    // exposed, resized or has lost its graphics device.
    std::vector<std::uint32_t> current, pending;
    bool pendingIsNewer = false;
    bool redrawWanted = false;
    // The current picture was left off the screen by the schedule. A key
    // wait shows it: the game stands still there, on its latest picture.
    bool currentUnshown = false;

    bool closeRequested = false;
    std::deque<KeyEvent> keys;
    sdl::KeyboardRouter keyboard;
    sdl::Gamepads pads;
    std::map<SDL_JoystickID, SDL_GameController*> controllers;
    // Pause, mute, record and watch; how the window opens and was left.
    window::Comforts comforts;
    // A picture the comforts show in place of the current one (paused).
    std::vector<std::uint32_t> instead;
    // A read waited for its key.
    bool stoodStill = false;

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl();
    void silenceLog();
    void open(const std::string& title);
    void createWindow(const std::string& title);
    // Safe to call at any time, more than once; never throws.
    void release() noexcept;
    void requireOpen() const;
    void throwIfClosed() const override;
    void take(const std::vector<std::uint32_t>& pixels);
    // The picture copied last becomes the current one.
    void takePending();
    void present();
    // F11 and Alt+Enter. Where it cannot be done the game goes on in its
    // window.
    void toggleFullscreen();
    // In full screen the pointer would only hide part of the picture. Also
    // called when the window changes size, so that the pointer comes back
    // however the window left full screen.
    void followFullscreen();
    void padAdded(int deviceIndex);
    void padRemoved(SDL_JoystickID id);
    // Waits for the update's time on the schedule; false when its frame is
    // to be left off the screen.
    bool waitForSlot();
    void requestClose() override;
    void handle(const SDL_Event& event);
    // Takes in every event that has arrived and the gamepad repeats that
    // are due; draws the last frame again if the window needs it (while the
    // game waits for a key, nothing else would).
    void pump();
    // How long a blocking read may sleep before it looks again: at most
    // WaitSliceMs, and no later than the next gamepad repeat.
    int waitSlice() const;
    // --- what the comforts need of the window (comforts.h) ---
    void waitForEvents() override;
    void showInstead(const std::uint32_t* pixels) override;

    bool isFullscreen() const { return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; }

    const std::uint32_t* lastFrame() const override { return current.data(); }
    void restartPace() override { pacer.restart(); }
};

} // namespace ptc
