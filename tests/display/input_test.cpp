// The SDL window's input that needs no window: which keys the window keeps
// for itself, how held gamepad directions repeat, and the key codes that
// depend on the keyboard's state and layout.
#include "display/sdl/input.h"
#include "display/sdl/key_codes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace ptc::sdl;
using namespace std::chrono_literals;

// --- keyboard --------------------------------------------------------------

SDL_Keysym keysym(SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
    SDL_Keysym key{};
    key.sym = sym;
    key.scancode = SDL_SCANCODE_UNKNOWN; // the codes here follow from the key
    key.mod = mod;
    return key;
}

struct Typed {
    int code;
    int alt;
};

std::vector<Typed> drain(ptc::window::KeyQueue& keys) {
    std::vector<Typed> out;
    for (const auto& k : keys)
        out.push_back({k.code(), k.alt()});
    keys.clear();
    return out;
}

bool operator==(const Typed& a, const Typed& b) { return a.code == b.code && a.alt == b.alt; }

using Action = KeyboardRouter::Action;

TEST(KeyboardRouter, FullscreenKeysSwitchOncePerPressAndNeverReachTheGame) {
    KeyboardRouter router;
    ptc::window::KeyQueue keys;
    EXPECT_EQ(router.press(keysym(SDLK_F11), false, keys), Action::ToggleFullscreen);
    EXPECT_EQ(router.press(keysym(SDLK_F11), true, keys), Action::None); // held: auto-repeat
    EXPECT_EQ(router.press(keysym(SDLK_F11, KMOD_LSHIFT), false, keys), Action::ToggleFullscreen);
    router.release(keysym(SDLK_F11), keys);

    // Alt+Enter: the Alt press is held back and then dropped with the chord.
    EXPECT_EQ(router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys), Action::None);
    EXPECT_EQ(router.press(keysym(SDLK_RETURN, KMOD_LALT), false, keys), Action::ToggleFullscreen);
    EXPECT_EQ(router.press(keysym(SDLK_RETURN, KMOD_LALT), true, keys), Action::None);
    router.release(keysym(SDLK_RETURN, KMOD_LALT), keys);
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_EQ(router.press(keysym(SDLK_RALT, KMOD_RALT), false, keys), Action::None);
    EXPECT_EQ(router.press(keysym(SDLK_KP_ENTER, KMOD_RALT), false, keys), Action::ToggleFullscreen);
    router.release(keysym(SDLK_RALT), keys);
    EXPECT_TRUE(keys.empty()) << keys.front().code();

    // Enter alone, and Ctrl+Alt+Enter, are keys for the game.
    EXPECT_EQ(router.press(keysym(SDLK_RETURN), false, keys), Action::None);
    EXPECT_EQ(router.press(keysym(SDLK_RETURN, KMOD_LCTRL | KMOD_LALT), false, keys), Action::None);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{13, 0}, {13, 1}}));
}

TEST(KeyboardRouter, AnAltPressReachesTheGameInItsPlaceUnlessAChordTookIt) {
    KeyboardRouter router;
    ptc::window::KeyQueue keys;
    // Alt on its own arrives when it is let go.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.press(keysym(SDLK_LALT, KMOD_LALT), true, keys); // held: one press
    EXPECT_TRUE(keys.empty());
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{18, 1}}));

    // Alt+X: Alt first, then X, each once.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.press(keysym(SDLK_x, KMOD_LALT), false, keys);
    router.release(keysym(SDLK_x, KMOD_LALT), keys);
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{18, 1}, {88, 1}}));

    // Alt+Tab: the window manager takes Tab and the focus with it.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.focusLost();
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_TRUE(keys.empty());

    // Two Alts in a row are two presses.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.press(keysym(SDLK_RALT, KMOD_LALT | KMOD_RALT), false, keys);
    router.release(keysym(SDLK_RALT), keys);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{18, 1}, {18, 1}}));

    // A key without a code never reaches the game (nor a recording).
    router.press(keysym(SDLK_VOLUMEUP), false, keys);
    EXPECT_TRUE(keys.empty());
}

// --- gamepads --------------------------------------------------------------

constexpr InputClock::time_point T0{1h};
constexpr Uint8 Up = SDL_CONTROLLER_BUTTON_DPAD_UP;
constexpr Uint8 LeftX = SDL_CONTROLLER_AXIS_LEFTX;
constexpr Uint8 LeftY = SDL_CONTROLLER_AXIS_LEFTY;

std::vector<int> codes(ptc::window::KeyQueue& keys) {
    std::vector<int> out;
    for (const auto& k : keys)
        out.push_back(k.code());
    keys.clear();
    return out;
}

// Polls every 5 ms from `from` to `to` (inclusive) and records each key
// with the millisecond since T0 at which it came.
std::vector<std::pair<int, long long>> run(Gamepads& pads, InputClock::duration from, InputClock::duration to) {
    std::vector<std::pair<int, long long>> seen;
    ptc::window::KeyQueue keys;
    for (auto t = from; t <= to; t += 5ms) {
        pads.repeat(T0 + t, keys);
        for (const auto& k : keys)
            seen.emplace_back(k.code(), std::chrono::duration_cast<std::chrono::milliseconds>(t).count());
        keys.clear();
    }
    return seen;
}

TEST(Gamepads, AHeldDirectionRepeatsLikeAKeyAndStopsWhenLetGo) {
    Gamepads pads;
    ptc::window::KeyQueue keys;
    pads.button(0, Up, true, T0, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    ASSERT_TRUE(pads.nextRepeat());
    EXPECT_EQ(*pads.nextRepeat(), T0 + 400ms);
    using Seen = std::vector<std::pair<int, long long>>;
    EXPECT_EQ(run(pads, 0ms, 560ms), (Seen{{38, 400}, {38, 450}, {38, 500}, {38, 550}}));
    pads.button(0, Up, false, T0 + 560ms, keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_FALSE(pads.nextRepeat());
    EXPECT_TRUE(run(pads, 560ms, 1500ms).empty());

    // Pressed again: a fresh first delay.
    pads.button(0, Up, true, T0 + 2s, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    EXPECT_TRUE(run(pads, 2000ms, 2395ms).empty());

    // Polled only long after (a stalled frame): one repeat, not a burst,
    // and the next a whole interval later.
    pads.repeat(T0 + 5s, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    EXPECT_EQ(*pads.nextRepeat(), T0 + 5s + 50ms);
}

TEST(Gamepads, TheLeftStickHasADeadZoneAndDoesNotFlickerAtItsEdge) {
    Gamepads pads;
    ptc::window::KeyQueue keys;
    pads.axis(0, LeftX, 10000, T0, keys); // within the dead zone
    pads.axis(0, LeftX, 16000, T0, keys); // not yet half way
    EXPECT_TRUE(keys.empty());
    pads.axis(0, LeftX, 20000, T0, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{39});
    pads.axis(0, LeftX, 14000, T0 + 100ms, keys); // wobbling back a little: still held
    pads.axis(0, LeftX, 17000, T0 + 150ms, keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(*pads.nextRepeat(), T0 + 400ms);
    pads.axis(0, LeftX, 12000, T0 + 200ms, keys); // back inside 40 %: let go
    EXPECT_FALSE(pads.nextRepeat());
    pads.axis(0, LeftX, -32768, T0 + 300ms, keys);
    pads.axis(0, LeftY, -32768, T0 + 300ms, keys); // a diagonal: two arrows
    pads.axis(0, LeftY, 32767, T0 + 350ms, keys);  // straight through to the other side
    EXPECT_EQ(codes(keys), (std::vector<int>{37, 38, 40}));
    pads.axis(0, SDL_CONTROLLER_AXIS_RIGHTX, 32767, T0, keys); // other axes: nothing
    pads.axis(0, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767, T0, keys);
    EXPECT_TRUE(keys.empty());
}

TEST(Gamepads, OneDirectionHeldFromSeveralPlacesIsOneHeldKey) {
    Gamepads pads;
    ptc::window::KeyQueue keys;
    pads.button(1, Up, true, T0, keys);
    pads.axis(1, LeftY, -30000, T0 + 10ms, keys); // the stick too
    pads.button(2, Up, true, T0 + 20ms, keys);    // and a second pad
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    pads.button(1, Up, false, T0 + 100ms, keys);
    pads.axis(1, LeftY, 0, T0 + 100ms, keys);
    EXPECT_EQ(run(pads, 100ms, 455ms).size(), 2u); // pad 2 still holds it: 400 and 450
    // Unplugged while held: let go, no key stuck repeating.
    pads.removed(2);
    EXPECT_FALSE(pads.nextRepeat());
    EXPECT_TRUE(run(pads, 455ms, 2000ms).empty());

    pads.button(3, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true, T0 + 3s, keys);
    pads.releaseAll();
    EXPECT_FALSE(pads.nextRepeat());
    pads.button(3, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true, T0 + 3s, keys);
    EXPECT_EQ(codes(keys), (std::vector<int>{37, 39}));
}

TEST(Gamepads, FaceButtonsAreEnterAndEscapeOncePerPress) {
    Gamepads pads;
    ptc::window::KeyQueue keys;
    for (const Uint8 b : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK,
                          SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_GUIDE}) {
        pads.button(0, b, true, T0, keys);
        pads.button(0, b, false, T0, keys);
    }
    for (const auto& k : keys)
        EXPECT_EQ(k.alt() + k.shift() + k.control(), 0);
    EXPECT_EQ(codes(keys), (std::vector<int>{13, 13, 27}));
    EXPECT_FALSE(pads.nextRepeat()); // buttons do not repeat
}

int code(SDL_Keycode sym, SDL_Scancode scancode, Uint16 mod = KMOD_NONE) {
    SDL_Keysym key{};
    key.sym = sym;
    key.scancode = scancode;
    key.mod = mod;
    return ptc::sdl::keyCode(key);
}

// The common keys are sent for real by window_test.sh; these depend on
// the keyboard's state and layout.
TEST(KeyCodes, KeypadFollowsNumLockAndOtherLayoutsKeepLetterAndDigitCodes) {
    EXPECT_EQ(code(SDLK_KP_0, SDL_SCANCODE_KP_0, KMOD_NUM), 96);
    EXPECT_EQ(code(SDLK_KP_9, SDL_SCANCODE_KP_9, KMOD_NUM), 105);
    EXPECT_EQ(code(SDLK_KP_8, SDL_SCANCODE_KP_8), 38);
    EXPECT_EQ(code(SDLK_KP_4, SDL_SCANCODE_KP_4), 37);
    EXPECT_EQ(code(SDLK_KP_0, SDL_SCANCODE_KP_0), 45);
    EXPECT_EQ(code(0x0444 /* Cyrillic ef */, SDL_SCANCODE_A), 65);
    EXPECT_EQ(code(SDLK_AMPERSAND, SDL_SCANCODE_1), 49);
    EXPECT_EQ(code(SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP), 0);
}

} // namespace
