// A program over the toolkit alone, driven by window_test.sh. It opens a
// window titled TITLE, shows the test picture and prints "ready", then:
//   keys   prints each key read as "key CODE sS aA cC" until Escape
//   paced  updates at the synchronized pace until closed
//   pace   prints "pace S" (140 paced frames, each a copy and an update,
//          take S seconds), then "gaps"
//          and how long each of 6 frames after a 300 ms stall took, in ms
// A close request prints "closed N" (N: how many of update, keyPressed and
// read threw Closed again afterwards), status 0; a toolkit error is
// reported, status 3.
#include "display/ptc.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// The background with a red top-left and a green bottom-right pixel.
void draw(ptc::Surface& surface, std::uint32_t background) {
    auto* p = static_cast<std::uint32_t*>(surface.lock());
    std::fill(p, p + 320 * 200, background);
    p[0] = 0xFF0000u;
    p[320 * 200 - 1] = 0x00FF00u;
    surface.unlock();
}

void run(const std::string& mode, ptc::Display& display, ptc::Surface& surface) {
    ptc::KeyEvent key;
    if (mode == "keys") {
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
        for (int i = 0; i < 5; ++i)  // past the first, slower frames
            frame();
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < 140; ++i)
            frame();
        std::printf("pace %.4f\ngaps", msSince(start) / 1000.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 0; i < 6; ++i) {
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
        draw(surface, 0x0000FFu);
        surface.copyTo(display);
        draw(surface, 0xFFFFFFu);  // not copied, so never shown
        display.update();
        draw(surface, 0x0000FFu);
        std::printf("ready\n");
        try {
            run(mode, display, surface);
        } catch (const ptc::Closed&) {
            int again = 0;
            ptc::KeyEvent key;
            try { display.update(); } catch (const ptc::Closed&) { ++again; }
            try { display.keyPressed(); } catch (const ptc::Closed&) { ++again; }
            try { display.read(key); } catch (const ptc::Closed&) { ++again; }
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
