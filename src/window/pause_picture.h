// What the window shows while the game is paused: the last frame, dimmed,
// with a sign in the middle that says so and how to go on. Drawn into a
// copy at the frame's own size, so it is scaled like every frame.
#pragma once

#include "ptc/ptc.h"

#include <cstdint>

namespace ptc::window {

// The sign's panel, in frame pixels; everything outside it is the frame,
// dimmed.
struct PausePanel {
    static constexpr int X = 92;
    static constexpr int Y = 70;
    static constexpr int Width = 136;
    static constexpr int Height = 60;
};

// One frame pixel, dimmed to three eighths of its brightness.
constexpr std::uint32_t dimmed(std::uint32_t pixel) {
    return ((pixel >> 2) & 0x3F3F3Fu) + ((pixel >> 3) & 0x1F1F1Fu);
}

// frame and out each hold DisplayWidth x DisplayHeight pixels.
void drawPausePicture(const std::uint32_t* frame, std::uint32_t* out);

} // namespace ptc::window
