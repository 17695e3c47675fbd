// The SDL window's events: keys and gamepads into the game's queue, the
// window's own requests (close, expose, resize, focus), and the waits
// between them.
#include "display/sdl/sdl_display.h"

#include "display/sdl/key_codes.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace ptc {

namespace {

// How long read() sleeps before it looks for events again. It polls rather
// than waiting in SDL: SDL 2.26's wait has other threads (and its own event
// handling) wake it through a message to the window on a second X
// connection, and one sent just before the window is destroyed ends the
// program with an X error ("BadWindow") when SDL closes that connection.
constexpr int WaitSliceMs = 5;

} // namespace

void Display::Impl::padAdded(int deviceIndex) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    // A pad present at the start may be announced twice.
    if (id < 0 || controllers.count(id) != 0)
        return;
    // A pad that cannot be opened is left out; the keyboard still works.
    if (SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex))
        controllers[id] = controller;
}

void Display::Impl::padRemoved(SDL_JoystickID id) {
    const auto found = controllers.find(id);
    if (found == controllers.end())
        return;
    SDL_GameControllerClose(found->second);
    controllers.erase(found);
    pads.removed(id);
}

void Display::Impl::handle(const SDL_Event& event) {
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

void Display::Impl::pump() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0)
        handle(event);
    pads.repeat(sdl::InputClock::now(), keys);
    if (redrawWanted && !closeRequested)
        present();
}

int Display::Impl::waitSlice() const {
    const auto next = pads.nextRepeat();
    if (!next)
        return WaitSliceMs;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - sdl::InputClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 1, WaitSliceMs));
}

void Display::Impl::waitForEvents() {
    std::this_thread::sleep_for(std::chrono::milliseconds(waitSlice()));
    pump();
    stoodStill = true;
}

} // namespace ptc
