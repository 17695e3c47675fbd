// The real window, over SDL2: the 320 x 200 surface shown crisp, at 4:3 by
// default (see presentation.h), letterboxed in a resizable window that F11
// and Alt+Enter switch to full screen and back, drawn by a graphics card or
// by the processor (see presenter.h); key presses and gamepad buttons
// queued in the order they came (see input.h); and an optional steady pace
// of 70 updates a second that showing a frame never slows (frame_pacer.h).
//
// A close request (the window's close button, Ctrl+C, SIGTERM) ends the run
// through ptc::Closed, thrown by whichever of update, keyPressed and read
// runs next. SDL turns SIGINT and SIGTERM into SDL_QUIT once its events are
// started, so both kinds of request arrive as events.
#include "display/ptc.h"
#include "window/comforts.h"
#include "display/sdl/environment.h"
#include "window/frame_pacer.h"
#include "display/sdl/input.h"
#include "display/sdl/key_codes.h"
#include "window/presentation.h"
#include "display/sdl/presenter.h"
#include "window/progress_file.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace ptc {

namespace {

constexpr std::size_t PicturePixels = static_cast<std::size_t>(DisplayWidth) * DisplayHeight;
// Only these are started and stopped here: the sound layer starts SDL's
// audio on its own in the same process. Gamepads are welcome but not
// needed: without them the game is played from the keyboard.
constexpr Uint32 Subsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;
constexpr Uint32 PadSubsystem = SDL_INIT_GAMECONTROLLER;
// How long read() sleeps before it looks for events again. It polls rather
// than waiting in SDL: SDL 2.26's wait has other threads (and its own event
// handling) wake it through a message to the window on a second X
// connection, and one sent just before the window is destroyed ends the
// program with an X error ("BadWindow") when SDL closes that connection.
constexpr int WaitSliceMs = 5;

[[noreturn]] void fail(const std::string& what) {
    throw DynamicError(what + ": " + SDL_GetError());
}

void dropLogMessage(void*, int, SDL_LogPriority, const char*) {}

} // namespace

struct Display::Impl : window::ComfortsWindow {
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
    bool opened = false;  // open() finished
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
    ~Impl() {
        release();
        if (logSilenced)
            SDL_LogSetOutputFunction(savedLog, savedLogData);
    }

    void silenceLog() {
        if (logSilenced)
            return;
        SDL_LogGetOutputFunction(&savedLog, &savedLogData);
        SDL_LogSetOutputFunction(dropLogMessage, nullptr);
        logSilenced = true;
    }

    void open(const std::string& title) {
        if (window != nullptr)
            throw DynamicError("the display is already open");
        // Without any display SDL would pick an invisible off-screen driver,
        // and a game waiting for a key there would wait forever.
        if (!sdl::displayChosen())
            throw DynamicError("no display: set DISPLAY or WAYLAND_DISPLAY");
        if (SDL_InitSubSystem(Subsystems) != 0)
            fail("cannot start SDL video");
        sdlStarted = true;
        // Pads already plugged in arrive as events, like those plugged in later.
        padsStarted = SDL_InitSubSystem(PadSubsystem) == 0;
        comforts.begin();
        aspect = comforts.aspect();
        // Keys are all the game reads; no text input (nor input method).
        SDL_StopTextInput();
        try {
            createWindow(title);
            if (comforts.startsFullscreen())
                toggleFullscreen();
        } catch (...) {
            release();
            throw;
        }
        opened = true;
        closeRequested = false;
        instead.clear();
        keys.clear();
        keyboard = {};
        pads = {};
        pacer = {};
        updates = framesShown = 0;
        progress.emplace();
    }

    void createWindow(const std::string& title) {
        const char* driverName = SDL_GetCurrentVideoDriver();
        const std::string driver = driverName != nullptr ? driverName : "";
        if (!sdl::hasVariable("SDL_VIDEODRIVER") && (driver == "offscreen" || driver == "dummy"))
            throw DynamicError("no display: set DISPLAY or WAYLAND_DISPLAY");

        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
            fail("cannot read the desktop's size");
        window::Size size = comforts.startSize(aspect, {usable.w, usable.h});
        window = SDL_CreateWindow(title.c_str(), usable.x + (usable.w - size.width) / 2,
                                  usable.y + (usable.h - size.height) / 2, size.width, size.height,
                                  SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
        if (window == nullptr)
            fail("cannot create the window");
        windowId = SDL_GetWindowID(window);
        const window::Size smallest = window::shownShape(aspect);
        SDL_SetWindowMinimumSize(window, smallest.width, smallest.height);

        presenter = sdl::makePresenter(window, aspect);
        current.assign(PicturePixels, 0u);
        pending = current;
        pendingIsNewer = false;
        presenter->present(current.data());
        SDL_ShowWindow(window);

        // The window manager's frame must fit too; SDL knows its size only
        // once the window is shown, and not at all without a manager.
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0) {
            const window::Size framed =
                comforts.startSize(aspect, {usable.w - left - right, usable.h - top - bottom});
            if (framed.width < size.width) {
                size = framed;
                SDL_SetWindowSize(window, size.width, size.height);
                SDL_SetWindowPosition(window, usable.x + (usable.w - size.width) / 2,
                                      usable.y + top + (usable.h - top - bottom - size.height) / 2);
            }
        }
        comforts.windowSized(false, size);
    }

    // Safe to call at any time, more than once; never throws.
    void release() noexcept {
        for (const auto& [id, controller] : controllers)
            SDL_GameControllerClose(controller);
        controllers.clear();
        presenter.reset();
        if (window != nullptr) {
            // A window that never opened whole says nothing of how the
            // player likes it.
            if (opened)
                comforts.end(isFullscreen(), aspect);
            SDL_ShowCursor(SDL_ENABLE);  // hidden while in full screen
            SDL_DestroyWindow(window);
        }
        window = nullptr;
        windowId = 0;
        opened = false;
        if (padsStarted)
            SDL_QuitSubSystem(PadSubsystem);
        padsStarted = false;
        if (sdlStarted)
            SDL_QuitSubSystem(Subsystems);
        sdlStarted = false;
        keys.clear();
    }

    void requireOpen() const {
        if (window == nullptr)
            throw DynamicError("the display is not open");
    }

    void throwIfClosed() const override {
        if (closeRequested)
            throw Closed();
    }

    void take(const std::vector<std::uint32_t>& pixels) {
        pending.assign(pixels.begin(), pixels.end());
        pendingIsNewer = true;
    }

    // The picture copied last becomes the current one.
    void takePending() {
        if (!pendingIsNewer)
            return;
        std::swap(current, pending);
        pendingIsNewer = false;
    }

    void present() {
        presenter->present(instead.empty() ? current.data() : instead.data());
        redrawWanted = false;
        currentUnshown = false;
    }

    bool isFullscreen() const { return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; }

    // F11 and Alt+Enter. Where it cannot be done the game goes on in its
    // window.
    void toggleFullscreen() {
        SDL_SetWindowFullscreen(window, isFullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
        followFullscreen();
    }

    // In full screen the pointer would only hide part of the picture. Also
    // called when the window changes size, so that the pointer comes back
    // however the window left full screen.
    void followFullscreen() {
        SDL_ShowCursor(isFullscreen() ? SDL_DISABLE : SDL_ENABLE);
        redrawWanted = true;
    }

    void padAdded(int deviceIndex) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
        // A pad present at the start may be announced twice.
        if (id < 0 || controllers.count(id) != 0)
            return;
        // A pad that cannot be opened is left out; the keyboard still works.
        if (SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex))
            controllers[id] = controller;
    }

    void padRemoved(SDL_JoystickID id) {
        const auto found = controllers.find(id);
        if (found == controllers.end())
            return;
        SDL_GameControllerClose(found->second);
        controllers.erase(found);
        pads.removed(id);
    }

    // Waits for the update's time on the schedule; false when its frame is
    // to be left off the screen.
    bool waitForSlot() {
        const auto now = window::FramePacer::Clock::now();
        const window::FramePacer::Slot slot = pacer.next(now);
        if (slot.due > now)
            std::this_thread::sleep_until(slot.due);
        return slot.show;
    }

    void requestClose() override {
        closeRequested = true;
        // Gone from the screen at once; it is destroyed with the Display.
        SDL_HideWindow(window);
    }

    void handle(const SDL_Event& event) {
        switch (event.type) {
        case SDL_QUIT:
            requestClose();
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != windowId)
                break;
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                requestClose();
            } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                redrawWanted = true;
            } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                followFullscreen();
                comforts.windowSized(isFullscreen(), {event.window.data1, event.window.data2});
            } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                keyboard.focusLost();
                pads.releaseAll();
                comforts.focusLost();
            }
            break;
        case SDL_RENDER_TARGETS_RESET:
            redrawWanted = true;
            break;
        case SDL_RENDER_DEVICE_RESET:
            presenter->deviceLost();
            redrawWanted = true;
            break;
        case SDL_KEYDOWN:
            // Auto-repeated presses count as presses, as they do for typing,
            // but for those of the window's pause and mute keys.
            if (event.key.repeat != 0 && comforts.dropsRepeat(sdl::keyCode(event.key.keysym)))
                break;
            if (keyboard.press(event.key.keysym, event.key.repeat != 0, keys) ==
                sdl::KeyboardRouter::Action::ToggleFullscreen)
                toggleFullscreen();
            break;
        case SDL_KEYUP:
            keyboard.release(event.key.keysym, keys);
            break;
        case SDL_CONTROLLERDEVICEADDED:
            padAdded(event.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            padRemoved(event.cdevice.which);
            break;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            pads.button(event.cbutton.which, event.cbutton.button, event.type == SDL_CONTROLLERBUTTONDOWN,
                        sdl::InputClock::now(), keys);
            break;
        case SDL_CONTROLLERAXISMOTION:
            pads.axis(event.caxis.which, event.caxis.axis, event.caxis.value, sdl::InputClock::now(), keys);
            break;
        default:
            break;
        }
    }

    // Takes in every event that has arrived and the gamepad repeats that
    // are due; draws the last frame again if the window needs it (while the
    // game waits for a key, nothing else would).
    void pump() {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0)
            handle(event);
        pads.repeat(sdl::InputClock::now(), keys);
        if (redrawWanted && !closeRequested)
            present();
    }

    // How long a blocking read may sleep before it looks again: at most
    // WaitSliceMs, and no later than the next gamepad repeat.
    int waitSlice() const {
        const auto next = pads.nextRepeat();
        if (!next)
            return WaitSliceMs;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - sdl::InputClock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 1, WaitSliceMs));
    }

    // --- what the comforts need of the window (comforts.h) ---
    void waitForEvents() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(waitSlice()));
        pump();
        stoodStill = true;
    }
    void showInstead(const std::uint32_t* pixels) override {
        if (pixels != nullptr)
            instead.assign(pixels, pixels + PicturePixels);
        else
            instead.clear();
        present();
    }
    const std::uint32_t* lastFrame() const override { return current.data(); }
    void restartPace() override { pacer.restart(); }
};

Display::Display() : impl_(std::make_unique<Impl>()) {}

Display::~Display() = default;

bool Display::option(const std::string& name) {
    if (name == "synchronized update") {
        impl_->synchronized = true;
        return true;
    }
    if (name == "disable logging") {
        impl_->silenceLog();
        return true;
    }
    return false;
}

void Display::open(const std::string& title, const PixelFormat&, int) { impl_->open(title); }

int Display::width() const { return DisplayWidth; }

int Display::height() const { return DisplayHeight; }

void Display::update() {
    Impl& d = *impl_;
    d.requireOpen();
    d.throwIfClosed();
    const bool show = !d.synchronized || d.waitForSlot();
    d.takePending();
    if (show) {
        d.present();
        ++d.framesShown;
    } else {
        d.currentUnshown = true;
    }
    d.progress->note(++d.updates, d.framesShown);
    d.pump();
    d.throwIfClosed();
}

int Display::keyPressed() {
    Impl& d = *impl_;
    d.requireOpen();
    d.throwIfClosed();
    d.pump();
    d.throwIfClosed();
    return d.comforts.keyPressed(d, d.updates, d.keys) ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    Impl& d = *impl_;
    d.requireOpen();
    d.throwIfClosed();
    if (d.currentUnshown)
        d.present();
    d.pump();
    // The key comes through the comforts: the player's, or a recorded one.
    d.stoodStill = false;
    key = d.comforts.read(d, d.updates, d.keys);
    // The game stood still for the key: no time to catch up on.
    if (d.stoodStill)
        d.pacer.restart();
    d.throwIfClosed();
}

void Display::close() { impl_->release(); }

void Display::requireOpen() const { impl_->requireOpen(); }

void Display::take(const std::vector<std::uint32_t>& pixels) { impl_->take(pixels); }

Surface::~Surface() = default;

PixelFormat::~PixelFormat() = default;

} // namespace ptc
