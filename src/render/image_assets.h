// Every picture the game shows, read once at start from raw 24-bit RGB
// files under data/ and kept until the process ends.
#pragma once

#include "render/frame_buffer.h"

namespace vexlo {

struct ImageAssets {
    Pixel* road = nullptr;       // 320 x 201 read, room for 320 x 210
    Pixel* car = nullptr;        // 30 x 30
    Pixel* title = nullptr;      // 320 x 200, drawn without colour key
    Pixel* digits[10] = {};      // 8 x 16 each, digits[d] shows d
    Pixel* gameOver = nullptr;   // 320 x 200, drawn with colour key
    Pixel* explosion1 = nullptr; // 30 x 30 each
    Pixel* explosion2 = nullptr;
    Pixel* explosion3 = nullptr;
    Pixel* enemy = nullptr;      // 30 x 30
    Pixel* scoreLabel = nullptr; // 810 read, drawn as 49 x 16
};

extern ImageAssets imageAssets;

constexpr int RoadPixelsRead = 320 * 201;
constexpr int RoadCapacity = 320 * 210;
constexpr int SpritePixels = 30 * 30;
constexpr int DigitPixels = 8 * 16;
constexpr int ScoreLabelPixels = 810;

// Reads count pixels of 3 bytes (red, green, blue) from the file at path
// into destination. 1 when the file was read, 0 when it could not be opened
// or read (then destination is untouched and the cause goes to stderr). Pixels a
// short file does not cover come out black.
int readRawImage(const char* path, Pixel* destination, int count);

// Obtains every picture buffer and fills it from its file, in a fixed
// order; 0 as soon as one file cannot be opened, 1 when all are read.
int loadAssets();

} // namespace vexlo
