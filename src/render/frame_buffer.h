// The frame every picture is drawn into: 320 x 200 pixels of 0x00RRGGBB,
// row after row, and the three primitives that write it.
#pragma once

#include "ptc/ptc.h"

#include <cstdint>

namespace vexlo {

using Pixel = std::uint32_t;

// The frame is the toolkit's display, pixel for pixel.
constexpr int ScreenWidth = ptc::DisplayWidth;
constexpr int ScreenHeight = ptc::DisplayHeight;
constexpr int FramePixels = ScreenWidth * ScreenHeight;

// Sprite pixels of this value are not drawn.
constexpr Pixel TransparentColor = 0x00FF00FFu;

// The road repeats every 40 pixels across, so the scroll wraps at 40.
constexpr int RoadPeriod = 40;

// Draws a width x height sprite with its top-left pixel at (x, y), leaving
// out colour-key pixels and everything outside the frame.
int blitSprite(Pixel* frame, const Pixel* sprite, int x, int y, int width, int height);

// Fills the whole frame with the road picture shifted left by distance
// modulo 40 pixels.
int drawRoad(Pixel* frame, int distance);

// Halves the red, green and blue of every pixel.
int darkenFrame(Pixel* frame);

} // namespace vexlo
