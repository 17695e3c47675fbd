// The parts of the SDL platform that need no window: the frame schedule and
// the key codes.
#include "display/sdl/frame_pacer.h"
#include "display/sdl/key_codes.h"

#include <gtest/gtest.h>

namespace {

using ptc::sdl::FramePacer;
using namespace std::chrono_literals;

constexpr FramePacer::Clock::time_point Start{1h};

// Deadline n to the nanosecond.
FramePacer::Clock::time_point deadline(std::int64_t n, FramePacer::Clock::time_point from = Start) {
    return from + std::chrono::nanoseconds(n * 1'000'000'000 / 70);
}

TEST(FramePacer, KeepsSeventyASecondWithoutDriftOverMinutes) {
    FramePacer pacer(Start);
    // Ten minutes of frames, each asked for 3 ms after the last was due.
    FramePacer::Clock::time_point now = Start;
    for (std::int64_t n = 1; n <= 70 * 600; ++n) {
        const auto due = pacer.next(now);
        ASSERT_EQ(due, deadline(n)) << "frame " << n;
        now = due + 3ms;
    }
    EXPECT_EQ(now - 3ms, Start + 600s);
}

TEST(FramePacer, MakesUpASlightDelayButStartsAfreshAfterAStall) {
    FramePacer pacer(Start);
    EXPECT_EQ(pacer.next(Start), deadline(1));
    // 20 ms late: frame 2 goes out at once, frame 3 keeps the old phase.
    EXPECT_EQ(pacer.next(deadline(1) + 20ms), deadline(2));
    EXPECT_EQ(pacer.next(deadline(1) + 20ms), deadline(3));
    // 300 ms late: the frame goes out now and the next ones follow a frame
    // apart from it, with no burst to make up the lost time.
    // The new schedule counts from the moment that frame was shown.
    const auto stalled = deadline(3) + 300ms;
    EXPECT_EQ(pacer.next(stalled), stalled);
    pacer.shown(stalled + 20ms);
    EXPECT_EQ(pacer.next(stalled + 20ms), deadline(1, stalled + 20ms));
    pacer.shown(deadline(1, stalled + 20ms) + 5ms);
    EXPECT_EQ(pacer.next(deadline(1, stalled + 20ms) + 5ms), deadline(2, stalled + 20ms));
}

TEST(FramePacer, ALaxerScheduleCatchesUpOnLongerDelays) {
    // The browser's: up to 14 frames (200 ms) late is made up, not dropped.
    FramePacer pacer(Start, 14);
    EXPECT_EQ(pacer.next(Start), deadline(1));
    EXPECT_EQ(pacer.next(deadline(1) + 150ms), deadline(2));
    EXPECT_EQ(pacer.next(deadline(1) + 150ms), deadline(3));
    const auto stalled = deadline(3) + 250ms;
    EXPECT_EQ(pacer.next(stalled), stalled);
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
