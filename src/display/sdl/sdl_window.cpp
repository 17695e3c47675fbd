// The SDL window itself: opening it at the size it was left, showing the
// picture, full screen, the schedule and closing.
#include "display/sdl/sdl_display.h"

#include "display/sdl/sdl_error.h"
#include "display/sdl/video.h"

#include <thread>

namespace ptc {

namespace {

// Only video (sdl/video.h) and the pads are started and stopped here: the
// sound layer starts SDL's audio on its own in the same process. Gamepads
// are welcome but not needed: without them the game is played from the
// keyboard.
constexpr Uint32 PadSubsystem = SDL_INIT_GAMECONTROLLER;

void dropLogMessage(void*, int, SDL_LogPriority, const char*) {}

} // namespace

Display::Impl::~Impl() {
    release();
    if (logSilenced)
        SDL_LogSetOutputFunction(savedLog, savedLogData);
}

void Display::Impl::silenceLog() {
    if (logSilenced)
        return;
    SDL_LogGetOutputFunction(&savedLog, &savedLogData);
    SDL_LogSetOutputFunction(dropLogMessage, nullptr);
    logSilenced = true;
}

void Display::Impl::open(const std::string& title) {
    if (window != nullptr)
        throw DynamicError("the display is already open");
    sdl::startVideo();
    sdlStarted = true;
    // Pads already plugged in arrive as events, like those plugged in later.
    padsStarted = SDL_InitSubSystem(PadSubsystem) == 0;
    comforts.begin();
    aspect = comforts.aspect();
    // Keys are all the game reads; no text input (nor input method).
    SDL_StopTextInput();
    try {
        createWindow(comforts.title(title));
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

void Display::Impl::createWindow(const std::string& title) {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0)
        sdl::failWithSdlError("cannot read the desktop's size");
    window::Size size = comforts.startSize(aspect, {usable.w, usable.h});
    window = SDL_CreateWindow(title.c_str(), usable.x + (usable.w - size.width) / 2,
                              usable.y + (usable.h - size.height) / 2, size.width, size.height,
                              SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
    if (window == nullptr)
        sdl::failWithSdlError("cannot create the window");
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
        const window::Size framed = comforts.startSize(aspect, {usable.w - left - right, usable.h - top - bottom});
        if (framed.width < size.width) {
            size = framed;
            SDL_SetWindowSize(window, size.width, size.height);
            SDL_SetWindowPosition(window, usable.x + (usable.w - size.width) / 2,
                                  usable.y + top + (usable.h - top - bottom - size.height) / 2);
        }
    }
    comforts.windowSized(false, size);
}

void Display::Impl::release() noexcept {
    for (const auto& [id, controller] : controllers)
        SDL_GameControllerClose(controller);
    controllers.clear();
    presenter.reset();
    if (window != nullptr) {
        // A window that never opened whole says nothing of how the
        // player likes it.
        if (opened)
            comforts.end(isFullscreen(), aspect);
        SDL_ShowCursor(SDL_ENABLE); // hidden while in full screen
        SDL_DestroyWindow(window);
    }
    window = nullptr;
    windowId = 0;
    opened = false;
    if (padsStarted)
        SDL_QuitSubSystem(PadSubsystem);
    padsStarted = false;
    if (sdlStarted)
        sdl::stopVideo();
    sdlStarted = false;
    keys.clear();
}

void Display::Impl::requireOpen() const {
    if (window == nullptr && !unseenOpen)
        throw DynamicError("the display is not open");
}

void Display::Impl::throwIfClosed() const {
    if (closeRequested)
        throw Closed();
}

void Display::Impl::take(const std::vector<std::uint32_t>& pixels) {
    pending.assign(pixels.begin(), pixels.end());
    pendingIsNewer = true;
}

void Display::Impl::takePending() {
    if (!pendingIsNewer)
        return;
    std::swap(current, pending);
    pendingIsNewer = false;
}

void Display::Impl::present() {
    // While a run is watched the window's bar lies over the picture.
    presenter->present(instead.empty() ? comforts.shown(current.data(), updates) : instead.data());
    redrawWanted = false;
    currentUnshown = false;
}

void Display::Impl::toggleFullscreen() {
    SDL_SetWindowFullscreen(window, isFullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    followFullscreen();
}

void Display::Impl::followFullscreen() {
    SDL_ShowCursor(isFullscreen() ? SDL_DISABLE : SDL_ENABLE);
    redrawWanted = true;
}

bool Display::Impl::waitForSlot() {
    const auto now = window::FramePacer::Clock::now();
    const window::FramePacer::Slot slot = pacer.next(now);
    if (slot.due > now)
        std::this_thread::sleep_until(slot.due);
    return slot.show;
}

void Display::Impl::requestClose() {
    closeRequested = true;
    // Gone from the screen at once; it is destroyed with the Display.
    SDL_HideWindow(window);
}

void Display::Impl::showInstead(const std::uint32_t* pixels) {
    if (pixels != nullptr)
        instead.assign(pixels, pixels + PicturePixels);
    else
        instead.clear();
    present();
}

} // namespace ptc
