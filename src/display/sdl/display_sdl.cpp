// The real window, over SDL2: the 320 x 200 surface scaled up with crisp
// pixels and letterboxed in a resizable window, key presses queued in the
// order they came, and an optional steady pace of 70 updates a second.
//
// A close request (the window's close button, Ctrl+C, SIGTERM) ends the run
// through ptc::Closed, thrown by whichever of update, keyPressed and read
// runs next. SDL turns SIGINT and SIGTERM into SDL_QUIT once its events are
// started, so both kinds of request arrive as events.
#include "display/ptc.h"
#include "display/sdl/environment.h"
#include "display/sdl/frame_pacer.h"
#include "display/sdl/key_codes.h"

#include <SDL.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace ptc {

namespace {

constexpr int Width = 320;
constexpr int Height = 200;
constexpr int Pitch = Width * static_cast<int>(sizeof(std::uint32_t));
// Only these are started and stopped here: the sound layer starts SDL's
// audio on its own in the same process.
constexpr Uint32 Subsystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;
// How long read() waits for an event before it looks again, so that a
// close request that brings no event of its own is still seen quickly.
constexpr int WaitSliceMs = 50;

[[noreturn]] void fail(const std::string& what) {
    throw DynamicError(what + ": " + SDL_GetError());
}

void dropLogMessage(void*, int, SDL_LogPriority, const char*) {}

// The largest whole multiple of 320 x 200 that fits the area, at least 1.
int fittingScale(int areaWidth, int areaHeight) {
    return std::max(1, std::min(areaWidth / Width, areaHeight / Height));
}

} // namespace

struct Display::Impl {
    bool synchronized = false;
    std::optional<sdl::FramePacer> pacer;

    bool logSilenced = false;
    SDL_LogOutputFunction savedLog = nullptr;
    void* savedLogData = nullptr;

    bool sdlStarted = false;
    SDL_Window* window = nullptr;
    Uint32 windowId = 0;
    SDL_Renderer* renderer = nullptr;
    // copyTo uploads into `pending`; update swaps it with `shown` when it
    // holds a newer copy, so `shown` is always what the window last showed
    // and can be drawn again after the window is exposed or resized.
    SDL_Texture* shown = nullptr;
    SDL_Texture* pending = nullptr;
    bool pendingIsNewer = false;
    bool redrawWanted = false;

    bool closeRequested = false;
    std::deque<KeyEvent> keys;

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
        // Keys are all the game reads; no text input (nor input method).
        SDL_StopTextInput();
        try {
            createWindow(title);
        } catch (...) {
            release();
            throw;
        }
        closeRequested = false;
        keys.clear();
        pacer.reset();
    }

    void createWindow(const std::string& title) {
        const char* current = SDL_GetCurrentVideoDriver();
        const std::string driver = current != nullptr ? current : "";
        if (!sdl::hasVariable("SDL_VIDEODRIVER") && (driver == "offscreen" || driver == "dummy"))
            throw DynamicError("no display: set DISPLAY or WAYLAND_DISPLAY");

        SDL_Rect usable;
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
            fail("cannot read the desktop's size");
        int scale = fittingScale(usable.w, usable.h);
        window = SDL_CreateWindow(title.c_str(), usable.x + (usable.w - Width * scale) / 2,
                                  usable.y + (usable.h - Height * scale) / 2, Width * scale,
                                  Height * scale, SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
        if (window == nullptr)
            fail("cannot create the window");
        windowId = SDL_GetWindowID(window);
        SDL_SetWindowMinimumSize(window, Width, Height);

        // No vsync: the pace comes from our own schedule, not the monitor.
        renderer = SDL_CreateRenderer(window, -1, 0);
        if (renderer == nullptr)
            renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (renderer == nullptr)
            fail("cannot create a renderer");
        // Letterboxed: proportions kept, whatever the window's size.
        if (SDL_RenderSetLogicalSize(renderer, Width, Height) != 0)
            fail("cannot set the picture's size");

        const std::vector<std::uint32_t> black(static_cast<std::size_t>(Width) * Height, 0u);
        shown = createTexture(black);
        pending = createTexture(black);
        pendingIsNewer = false;
        present();
        SDL_ShowWindow(window);

        // The window manager's frame must fit too; SDL knows its size only
        // once the window is shown, and not at all without a manager.
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0) {
            const int framed = fittingScale(usable.w - left - right, usable.h - top - bottom);
            if (framed < scale) {
                scale = framed;
                SDL_SetWindowSize(window, Width * scale, Height * scale);
                SDL_SetWindowPosition(window, usable.x + (usable.w - Width * scale) / 2,
                                      usable.y + top + (usable.h - top - bottom - Height * scale) / 2);
            }
        }
    }

    SDL_Texture* createTexture(const std::vector<std::uint32_t>& black) {
        // RGB888 is SDL's name for 32-bit 0x00RRGGBB, the surface's layout.
        SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                                 SDL_TEXTUREACCESS_STREAMING, Width, Height);
        if (texture == nullptr)
            fail("cannot create the frame texture");
        if (SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest) != 0) {
            SDL_DestroyTexture(texture);
            fail("cannot select crisp scaling");
        }
        if (SDL_UpdateTexture(texture, nullptr, black.data(), Pitch) != 0) {
            SDL_DestroyTexture(texture);
            fail("cannot clear the frame texture");
        }
        return texture;
    }

    // Safe to call at any time, more than once; never throws.
    void release() noexcept {
        if (pending != nullptr)
            SDL_DestroyTexture(pending);
        if (shown != nullptr)
            SDL_DestroyTexture(shown);
        if (renderer != nullptr)
            SDL_DestroyRenderer(renderer);
        if (window != nullptr)
            SDL_DestroyWindow(window);
        pending = shown = nullptr;
        renderer = nullptr;
        window = nullptr;
        windowId = 0;
        if (sdlStarted)
            SDL_QuitSubSystem(Subsystems);
        sdlStarted = false;
        keys.clear();
    }

    void requireOpen() const {
        if (window == nullptr)
            throw DynamicError("the display is not open");
    }

    void throwIfClosed() const {
        if (closeRequested)
            throw Closed();
    }

    void upload(const std::uint32_t* pixels) {
        if (SDL_UpdateTexture(pending, nullptr, pixels, Pitch) != 0)
            fail("cannot copy the frame");
        pendingIsNewer = true;
    }

    void present() {
        if (SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255) != 0 || SDL_RenderClear(renderer) != 0 ||
            SDL_RenderCopy(renderer, shown, nullptr, nullptr) != 0)
            fail("cannot draw the frame");
        SDL_RenderPresent(renderer);
        redrawWanted = false;
    }

    void waitForSlot() {
        const auto now = sdl::FramePacer::Clock::now();
        if (!pacer)
            pacer.emplace(now);
        const auto due = pacer->next(now);
        if (due > now)
            std::this_thread::sleep_until(due);
    }

    void requestClose() {
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
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                requestClose();
            else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                     event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                redrawWanted = true;
            break;
        case SDL_KEYDOWN: {
            // Auto-repeated presses count as presses, as they do for typing.
            const SDL_Keysym& key = event.key.keysym;
            keys.emplace_back(sdl::keyCode(key), (key.mod & KMOD_ALT) != 0,
                              (key.mod & KMOD_SHIFT) != 0, (key.mod & KMOD_CTRL) != 0);
            break;
        }
        default:
            break;
        }
    }

    // Takes in every event that has arrived; draws the last frame again if
    // the window needs it (while the game waits for a key, nothing else
    // would).
    void pump() {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0)
            handle(event);
        if (redrawWanted && !closeRequested)
            present();
    }
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
    if (d.pendingIsNewer) {
        std::swap(d.shown, d.pending);
        d.pendingIsNewer = false;
    }
    d.present();
    if (d.pacer)
        d.pacer->shown(sdl::FramePacer::Clock::now());
    d.pump();
    d.throwIfClosed();
}

int Display::keyPressed() {
    Impl& d = *impl_;
    d.requireOpen();
    d.throwIfClosed();
    d.pump();
    d.throwIfClosed();
    return d.keys.empty() ? 0 : 1;
}

void Display::read(KeyEvent& key) {
    Impl& d = *impl_;
    d.requireOpen();
    d.throwIfClosed();
    d.pump();
    while (d.keys.empty()) {
        d.throwIfClosed();
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, WaitSliceMs) != 0) {
            d.handle(event);
            d.pump();
        }
    }
    d.throwIfClosed();
    key = d.keys.front();
    d.keys.pop_front();
}

void Display::close() { impl_->release(); }

void Surface::copyTo(Display& display) {
    Display::Impl& d = *display.impl_;
    d.requireOpen();
    if (width_ != Width || height_ != Height)
        throw DynamicError("the surface's size differs from the display's");
    d.upload(pixels_.data());
}

Surface::~Surface() = default;

PixelFormat::~PixelFormat() = default;

} // namespace ptc
