// A program over the toolkit alone, driven by window_test.sh. It opens a
// window titled TITLE, shows the test picture and prints "ready", then:
//   keys   prints each key read as "key CODE sS aA cC" until Escape
//   grid   the same over a picture of stripes one pixel wide: red in the odd
//          columns, blue in the odd rows, so that a column of the window
//          shows the rows' scaling in blue and a row the columns' in red
//   paced  updates at the synchronized pace until closed
//   pace   prints "pace S" (140 paced frames, each a copy and an update,
//          take S seconds), then "gaps"
//          and how long each of 12 frames after a 300 ms stall took, in ms
//   reset  posts a lost graphics device (SDL_RENDER_DEVICE_RESET) and prints
//          "reset"; at the next key shows the picture over yellow, prints
//          "yellow", and then reads keys as "keys" does
//   pad    once the window has the focus ("focused"), plugs in a virtual
//          gamepad and works it, printing the keys each step brought as
//          "STEP: CODE@MS ..." (MS counted from the step's start; "none"
//          when it brought none), then "done"
// A close request prints "closed N" (N: how many of update, keyPressed and
// read threw Closed again afterwards), status 0; a toolkit error is
// reported, status 3.
#include "ptc/ptc.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// The background with a red top-left and a green bottom-right pixel.
void draw(ptc::Surface& surface, std::uint32_t background) {
    auto* p = static_cast<std::uint32_t*>(surface.lock());
    std::fill(p, p + 320 * 200, background);
    p[0] = 0xFF0000u;
    p[320 * 200 - 1] = 0x00FF00u;
    surface.unlock();
}

void drawGrid(ptc::Surface& surface) {
    auto* p = static_cast<std::uint32_t*>(surface.lock());
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            p[y * 320 + x] = (x % 2 != 0 ? 0xFF0000u : 0u) | (y % 2 != 0 ? 0x0000FFu : 0u);
    surface.unlock();
}

// " CODE@MS", MS counted from `from`.
std::string stamp(const ptc::KeyEvent& key, Clock::time_point from) {
    char text[32];
    std::snprintf(text, sizeof text, " %d@%ld", key.code(), static_cast<long>(msSince(from)));
    return text;
}

// The keys that come within `ms` milliseconds, read without blocking, each
// as "CODE@MS" counted from `from`.
std::string keysWithin(ptc::Display& display, int ms, Clock::time_point from) {
    std::string seen;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    ptc::KeyEvent key;
    while (Clock::now() < end) {
        if (display.keyPressed() != 0) {
            display.read(key);
            seen += stamp(key, from);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return seen.empty() ? " none" : seen;
}

void pad(ptc::Display& display) {
    // SDL gives gamepad events only to a program whose window has the focus.
    const Clock::time_point waitStart = Clock::now();
    while (SDL_GetKeyboardFocus() == nullptr && msSince(waitStart) < 5000) {
        display.keyPressed();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("focused\n");

    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Probe pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick* stick = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    if (stick == nullptr) {
        std::printf("no virtual pad: %s\n", SDL_GetError());
        return;
    }
    auto button = [&](SDL_GameControllerButton b, bool down) {
        SDL_JoystickSetVirtualButton(stick, b, down ? 1 : 0);
    };
    auto axis = [&](SDL_GameControllerAxis a, Sint16 v) { SDL_JoystickSetVirtualAxis(stick, a, v); };

    // Plugged in: nothing is pressed yet.
    std::printf("plug:%s\n", keysWithin(display, 200, Clock::now()).c_str());

    // The D-pad held: seven keys, each read once keyPressed finds it, as the
    // game reads in play (a read that has to wait is ended by a fresh press
    // alone, never by a repeat); then let go.
    Clock::time_point start = Clock::now();
    button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    std::string held;
    ptc::KeyEvent key;
    for (int i = 0; i < 7 && msSince(start) < 3000;) {
        if (display.keyPressed() != 0) {
            display.read(key);
            held += stamp(key, start);
            ++i;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
    std::printf("hold:%s\n", held.c_str());
    std::printf("released:%s\n", keysWithin(display, 300, Clock::now()).c_str());

    // The stick: within the dead zone, then past half way, then back.
    axis(SDL_CONTROLLER_AXIS_LEFTX, 10000);
    std::printf("dead zone:%s\n", keysWithin(display, 100, Clock::now()).c_str());
    start = Clock::now();
    axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
    std::printf("stick:%s\n", keysWithin(display, 150, start).c_str());
    axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    std::printf("centred:%s\n", keysWithin(display, 500, Clock::now()).c_str());

    // A, Start, Back and B, each pressed and let go.
    for (const auto b : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK,
                         SDL_CONTROLLER_BUTTON_B}) {
        button(b, true);
        display.keyPressed();
        button(b, false);
        std::printf("%s:%s\n", SDL_GameControllerGetStringForButton(b),
                    keysWithin(display, 60, Clock::now()).c_str());
    }

    // Unplugged with the stick held up: no key is left repeating.
    start = Clock::now();
    axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
    std::printf("up:%s\n", keysWithin(display, 100, start).c_str());
    SDL_JoystickClose(stick);
    SDL_JoystickDetachVirtual(index);
    std::printf("unplugged:%s\n", keysWithin(display, 600, Clock::now()).c_str());
    std::printf("done\n");
}

void run(const std::string& mode, ptc::Display& display, ptc::Surface& surface) {
    ptc::KeyEvent key;
    if (mode == "pad")
        pad(display);
    if (mode == "reset") {
        SDL_Event lost{};
        lost.type = SDL_RENDER_DEVICE_RESET;
        SDL_PushEvent(&lost);
        display.keyPressed(); // takes the event in
        std::printf("reset\n");
        display.read(key);
        draw(surface, 0xFFFF00u);
        surface.copyTo(display);
        display.update();
        std::printf("yellow\n");
    }
    if (mode == "keys" || mode == "grid" || mode == "reset") {
        do {
            display.read(key);
            std::printf("key %d s%d a%d c%d\n", key.code(), key.shift(), key.alt(), key.control());
        } while (key.code() != 27);
    }
    // A whole frame each time: copy and update.
    auto frame = [&] {
        surface.copyTo(display);
        display.update();
    };
    while (mode == "paced")
        frame();
    if (mode == "pace") {
        for (int i = 0; i < 5; ++i) // past the first, slower frames
            frame();
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < 140; ++i)
            frame();
        std::printf("pace %.4f\ngaps", msSince(start) / 1000.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 0; i < 12; ++i) {
            const Clock::time_point before = Clock::now();
            frame();
            std::printf(" %.2f", msSince(before));
        }
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const std::string mode = argv[1];
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        ptc::Display display;
        if (mode == "paced" || mode == "pace")
            display.option("synchronized update");
        display.option("disable logging");
        const ptc::PixelFormat format(32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0u);
        display.open(argv[2], format, 0);
        ptc::Surface surface(display.width(), display.height(), format);
        if (mode == "grid")
            drawGrid(surface);
        else
            draw(surface, 0x0000FFu);
        surface.copyTo(display);
        draw(surface, 0xFFFFFFu); // not copied, so never shown
        display.update();
        draw(surface, 0x0000FFu);
        std::printf("ready\n");
        try {
            run(mode, display, surface);
        } catch (const ptc::Closed&) {
            int again = 0;
            ptc::KeyEvent key;
            try {
                display.update();
            } catch (const ptc::Closed&) {
                ++again;
            }
            try {
                display.keyPressed();
            } catch (const ptc::Closed&) {
                ++again;
            }
            try {
                display.read(key);
            } catch (const ptc::Closed&) {
                ++again;
            }
            std::printf("closed %d\n", again);
            return 0;
        }
        display.close();
    } catch (const ptc::DynamicError& error) {
        error.report();
        return 3;
    }
    return 0;
}
