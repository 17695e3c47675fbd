// The real window, over SDL2: the 320 x 200 surface shown crisp, at 4:3 by
// default (see presentation.h), letterboxed in a resizable window that F11
// and Alt+Enter switch to full screen and back; key presses and gamepad
// buttons queued in the order they came (see input.h); and an optional
// steady pace of 70 updates a second.
//
// A close request (the window's close button, Ctrl+C, SIGTERM) ends the run
// through ptc::Closed, thrown by whichever of update, keyPressed and read
// runs next. SDL turns SIGINT and SIGTERM into SDL_QUIT once its events are
// started, so both kinds of request arrive as events.
#include "display/ptc.h"
#include "display/sdl/comforts.h"
#include "display/sdl/environment.h"
#include "display/sdl/frame_pacer.h"
#include "display/sdl/input.h"
#include "display/sdl/key_codes.h"
#include "display/sdl/presentation.h"
#include "display/sdl/progress_file.h"

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

constexpr int Width = DisplayWidth;
constexpr int Height = DisplayHeight;
constexpr int Pitch = Width * static_cast<int>(sizeof(std::uint32_t));
// Only these are started and stopped here: the sound layer starts SDL's
// audio on its own in the same process. Gamepads are welcome but not
// needed: without them the game is played from the keyboard.
constexpr Uint32 Subsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;
constexpr Uint32 PadSubsystem = SDL_INIT_GAMECONTROLLER;
// How long read() waits for an event before it looks again, so that a
// close request that brings no event of its own is still seen quickly.
constexpr int WaitSliceMs = 50;

[[noreturn]] void fail(const std::string& what) {
    throw DynamicError(what + ": " + SDL_GetError());
}

void dropLogMessage(void*, int, SDL_LogPriority, const char*) {}

} // namespace

struct Display::Impl : sdl::ComfortsWindow {
    bool synchronized = false;
    std::optional<sdl::FramePacer> pacer;
    // Updates made and frames shown since the window opened.
    long updates = 0;
    long framesShown = 0;
    std::optional<sdl::ProgressFile> progress;

    bool logSilenced = false;
    SDL_LogOutputFunction savedLog = nullptr;
    void* savedLogData = nullptr;

    bool sdlStarted = false;
    bool padsStarted = false;
    sdl::Aspect aspect = sdl::Aspect::FourByThree;
    SDL_Window* window = nullptr;
    Uint32 windowId = 0;
    SDL_Renderer* renderer = nullptr;
    sdl::Size maxTexture;
    // copyTo uploads into `pending`; update swaps it with `shown` when it
    // holds a newer copy, so `shown` is always what the window last showed
    // and can be drawn again after the window is exposed or resized.
    SDL_Texture* shown = nullptr;
    SDL_Texture* pending = nullptr;
    bool pendingIsNewer = false;
    // The same two pictures in memory, to fill the textures again when the
    // graphics device is lost and they with it.
    std::vector<std::uint32_t> shownPixels, pendingPixels;
    bool redrawWanted = false;
    // The picture scaled up by whole factors (presentation.h), made again
    // whenever the window's size asks for other factors.
    SDL_Texture* crisp = nullptr;
    sdl::Size crispSize;

    bool closeRequested = false;
    std::deque<KeyEvent> keys;
    sdl::KeyboardRouter keyboard;
    sdl::Gamepads pads;
    std::map<SDL_JoystickID, SDL_GameController*> controllers;
    // Pause, mute, record and watch; how the window opens and was left.
    sdl::Comforts comforts;

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
        closeRequested = false;
        keys.clear();
        keyboard = {};
        pads = {};
        pacer.reset();
        updates = framesShown = 0;
        progress.emplace();
    }

    void createWindow(const std::string& title) {
        const char* current = SDL_GetCurrentVideoDriver();
        const std::string driver = current != nullptr ? current : "";
        if (!sdl::hasVariable("SDL_VIDEODRIVER") && (driver == "offscreen" || driver == "dummy"))
            throw DynamicError("no display: set DISPLAY or WAYLAND_DISPLAY");

        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
            fail("cannot read the desktop's size");
        sdl::Size size = comforts.startSize(aspect, {usable.w, usable.h});
        window = SDL_CreateWindow(title.c_str(), usable.x + (usable.w - size.width) / 2,
                                  usable.y + (usable.h - size.height) / 2, size.width, size.height,
                                  SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
        if (window == nullptr)
            fail("cannot create the window");
        windowId = SDL_GetWindowID(window);
        const sdl::Size smallest = sdl::shownShape(aspect);
        SDL_SetWindowMinimumSize(window, smallest.width, smallest.height);

        // No vsync: the pace comes from our own schedule, not the monitor.
        // The crisp scaling draws into a texture, so the renderer must allow
        // that; SDL's software renderer always does.
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_TARGETTEXTURE);
        if (renderer == nullptr)
            renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
        if (renderer == nullptr)
            fail("cannot create a renderer");
        SDL_RendererInfo info;
        if (SDL_GetRendererInfo(renderer, &info) != 0)
            fail("cannot read the renderer's limits");
        maxTexture = {info.max_texture_width, info.max_texture_height};

        shownPixels.assign(static_cast<std::size_t>(Width) * Height, 0u);
        pendingPixels = shownPixels;
        shown = createTexture(shownPixels);
        pending = createTexture(pendingPixels);
        pendingIsNewer = false;
        present();
        SDL_ShowWindow(window);

        // The window manager's frame must fit too; SDL knows its size only
        // once the window is shown, and not at all without a manager.
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0) {
            const sdl::Size framed =
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

    SDL_Texture* createTexture(const std::vector<std::uint32_t>& pixels) {
        // RGB888 is SDL's name for 32-bit 0x00RRGGBB, the surface's layout.
        SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                 SDL_TEXTUREACCESS_STREAMING, Width, Height);
        if (texture == nullptr)
            fail("cannot create the frame texture");
        if (SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest) != 0) {
            SDL_DestroyTexture(texture);
            fail("cannot select crisp scaling");
        }
        if (SDL_UpdateTexture(texture, nullptr, pixels.data(), Pitch) != 0) {
            SDL_DestroyTexture(texture);
            fail("cannot fill the frame texture");
        }
        return texture;
    }

    // Safe to call at any time, more than once; never throws.
    void release() noexcept {
        for (const auto& [id, controller] : controllers)
            SDL_GameControllerClose(controller);
        controllers.clear();
        if (crisp != nullptr)
            SDL_DestroyTexture(crisp);
        if (pending != nullptr)
            SDL_DestroyTexture(pending);
        if (shown != nullptr)
            SDL_DestroyTexture(shown);
        if (renderer != nullptr)
            SDL_DestroyRenderer(renderer);
        if (window != nullptr) {
            comforts.end(isFullscreen(), aspect);
            SDL_ShowCursor(SDL_ENABLE);  // hidden while in full screen
            SDL_DestroyWindow(window);
        }
        crisp = pending = shown = nullptr;
        crispSize = {};
        renderer = nullptr;
        window = nullptr;
        windowId = 0;
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

    void upload(const std::uint32_t* pixels) {
        if (SDL_UpdateTexture(pending, nullptr, pixels, Pitch) != 0)
            fail("cannot copy the frame");
        pendingPixels.assign(pixels, pixels + pendingPixels.size());
        pendingIsNewer = true;
    }

    // The last picture shown, and the one copied since, become current.
    void takePending() {
        if (!pendingIsNewer)
            return;
        std::swap(shown, pending);
        std::swap(shownPixels, pendingPixels);
        pendingIsNewer = false;
    }

    // After a lost device (a driver restart, say) every texture is gone:
    // made again from the pictures in memory, and the window redrawn.
    void recreateTextures() {
        for (SDL_Texture** texture : {&crisp, &pending, &shown}) {
            if (*texture != nullptr)
                SDL_DestroyTexture(*texture);
            *texture = nullptr;
        }
        crispSize = {};
        shown = createTexture(shownPixels);
        pending = createTexture(pendingPixels);
        redrawWanted = true;
    }

    // The texture for the crisp step, made again when another size is wanted.
    SDL_Texture* crispFor(sdl::Size wanted) {
        if (crisp != nullptr && crispSize == wanted)
            return crisp;
        if (crisp != nullptr)
            SDL_DestroyTexture(crisp);
        crispSize = {};
        crisp = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                  wanted.width, wanted.height);
        if (crisp == nullptr)
            fail("cannot create the scaling texture");
        // An opaque copy: no blending with the black behind it.
        if (SDL_SetTextureScaleMode(crisp, SDL_ScaleModeLinear) != 0 ||
            SDL_SetTextureBlendMode(crisp, SDL_BLENDMODE_NONE) != 0)
            fail("cannot set up the scaling texture");
        crispSize = wanted;
        return crisp;
    }

    // Two copies: the frame up into the crisp texture by whole factors,
    // nearest neighbour; that texture into its place in the window, linear.
    // A place that is itself a whole multiple of the frame takes the frame
    // in one nearest copy, pixel for pixel the same and cheaper.
    void present() {
        int outputWidth = 0, outputHeight = 0;
        if (SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight) != 0)
            fail("cannot read the window's size");
        const sdl::Rect place = sdl::letterbox(aspect, {outputWidth, outputHeight});
        // Black only where the picture leaves bars: a picture that covers
        // the whole window is drawn without clearing it first.
        const bool covers =
            place.x == 0 && place.y == 0 && place.width == outputWidth && place.height == outputHeight;
        if (!covers && (SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255) != 0 || SDL_RenderClear(renderer) != 0))
            fail("cannot draw the frame");
        if (place.width > 0 && place.height > 0) {
            const SDL_Rect to{place.x, place.y, place.width, place.height};
            const sdl::Size crispWanted = sdl::crispSize({place.width, place.height}, maxTexture);
            bool drawn = false;
            if (crispWanted == sdl::Size{place.width, place.height}) {
                drawn = SDL_RenderCopy(renderer, shown, nullptr, &to) == 0;
            } else {
                SDL_Texture* target = crispFor(crispWanted);
                drawn = SDL_SetRenderTarget(renderer, target) == 0 &&
                        SDL_RenderCopy(renderer, shown, nullptr, nullptr) == 0 &&
                        SDL_SetRenderTarget(renderer, nullptr) == 0 &&
                        SDL_RenderCopy(renderer, target, nullptr, &to) == 0;
            }
            if (!drawn)
                fail("cannot draw the frame");
        }
        SDL_RenderPresent(renderer);
        redrawWanted = false;
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

    void waitForSlot() {
        const auto now = sdl::FramePacer::Clock::now();
        // The first frame goes out at once; the schedule counts from it.
        if (!pacer) {
            pacer.emplace(now);
            return;
        }
        const auto due = pacer->next(now);
        if (due > now)
            std::this_thread::sleep_until(due);
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
            recreateTextures();
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

    // How long a blocking read may sleep in SDL before it looks again: at
    // most WaitSliceMs, and no later than the next gamepad repeat.
    int waitSlice() const {
        const auto next = pads.nextRepeat();
        if (!next)
            return WaitSliceMs;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - sdl::InputClock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 1, WaitSliceMs));
    }

    // --- what the comforts need of the window (comforts.h) ---
    void waitForEvents() override {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, waitSlice()) != 0)
            handle(event);
        pump();
    }
    void showPicture(const std::uint32_t* pixels) override {
        if (SDL_UpdateTexture(shown, nullptr, pixels, Pitch) != 0)
            fail("cannot show the picture");
        present();
    }
    const std::uint32_t* lastFrame() const override { return shownPixels.data(); }
    void restartPace() override { pacer.reset(); }
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

int Display::width() const { return Width; }

int Display::height() const { return Height; }

void Display::update() {
    Impl& d = *impl_;
    d.requireOpen();
    d.throwIfClosed();
    if (d.synchronized)
        d.waitForSlot();
    d.takePending();
    d.present();
    if (d.pacer)
        d.pacer->shown(sdl::FramePacer::Clock::now());
    d.progress->note(++d.updates, ++d.framesShown);
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
    d.pump();
    key = d.comforts.read(d, d.updates, d.keys);
    d.throwIfClosed();
}

void Display::close() { impl_->release(); }

void Surface::copyTo(Display& display) {
    if (locked_)
        throw DynamicError("surface is locked");
    Display::Impl& d = *display.impl_;
    d.requireOpen();
    if (width_ != Width || height_ != Height)
        throw DynamicError("the surface's size differs from the display's");
    d.upload(pixels_.data());
}

Surface::~Surface() = default;

PixelFormat::~PixelFormat() = default;

} // namespace ptc
