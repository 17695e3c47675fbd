#include "window/pixel_scaler.h"

#include "ptc/ptc.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ptc::window {

namespace {

// a and b mixed, `weight` 256ths of b; two channels at a time.
inline std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t weight) {
    const std::uint32_t keep = 256 - weight;
    const std::uint32_t redBlue = (((a & 0xFF00FFu) * keep + (b & 0xFF00FFu) * weight) >> 8) & 0xFF00FFu;
    const std::uint32_t green = (((a & 0x00FF00u) * keep + (b & 0x00FF00u) * weight) >> 8) & 0x00FF00u;
    return redBlue | green;
}

} // namespace

std::vector<Tap> scaleTaps(int from, int to) {
    std::vector<Tap> taps(static_cast<std::size_t>(std::max(0, to)));
    if (from <= 0 || to <= 0)
        return taps;
    // The whole factor up: the smallest that reaches `to`, so that the
    // linear pass only shrinks. The output pixel's centre, in the enlarged
    // picture, falls between two of its pixels; only where those come from
    // two picture pixels is there anything to mix.
    const int factor = std::max(1, (to + from - 1) / from);
    const double enlarged = static_cast<double>(from) * factor;
    for (int i = 0; i < to; ++i) {
        const double at = std::max(0.0, (i + 0.5) * enlarged / to - 0.5);
        const double below = std::floor(at);
        const int lower = std::min(static_cast<int>(below), from * factor - 1);
        const int upper = std::min(lower + 1, from * factor - 1);
        const int weight = static_cast<int>(std::lround((at - below) * 256.0));
        Tap& tap = taps[static_cast<std::size_t>(i)];
        tap.first = tap.second = lower / factor;
        if (upper / factor != tap.first && weight > 0) {
            if (weight >= 256)
                tap.first = tap.second = upper / factor;
            else
                tap.second = upper / factor, tap.weight = weight;
        }
    }
    return taps;
}

void PixelScaler::scale(const std::uint32_t* picture, std::uint32_t* out, int width, int height, std::size_t pitch,
                        std::uint32_t opaque) {
    if (width <= 0 || height <= 0)
        return;
    if (width != width_ || height != height_) {
        columns_ = scaleTaps(DisplayWidth, width);
        rows_ = scaleTaps(DisplayHeight, height);
        across_.assign(static_cast<std::size_t>(width) * DisplayHeight, 0u);
        width_ = width;
        height_ = height;
    }
    const std::size_t rowPixels = static_cast<std::size_t>(width);
    for (int r = 0; r < DisplayHeight; ++r) {
        const std::uint32_t* source = picture + static_cast<std::size_t>(r) * DisplayWidth;
        std::uint32_t* across = across_.data() + static_cast<std::size_t>(r) * rowPixels;
        for (std::size_t x = 0; x < rowPixels; ++x) {
            const Tap& tap = columns_[x];
            const std::uint32_t first = source[tap.first];
            across[x] =
                (tap.weight == 0 ? first
                                 : mix(first, source[tap.second], static_cast<std::uint32_t>(tap.weight))) |
                opaque;
        }
    }
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = out + static_cast<std::size_t>(y) * pitch;
        const Tap& tap = rows_[static_cast<std::size_t>(y)];
        const std::uint32_t* first = across_.data() + static_cast<std::size_t>(tap.first) * rowPixels;
        if (y > 0 && tap == rows_[static_cast<std::size_t>(y) - 1]) {
            std::memcpy(row, row - pitch, rowPixels * sizeof(std::uint32_t));
        } else if (tap.weight == 0) {
            std::memcpy(row, first, rowPixels * sizeof(std::uint32_t));
        } else {
            const std::uint32_t* second = across_.data() + static_cast<std::size_t>(tap.second) * rowPixels;
            const auto weight = static_cast<std::uint32_t>(tap.weight);
            for (std::size_t x = 0; x < rowPixels; ++x)
                row[x] = mix(first[x], second[x], weight) | opaque;
        }
    }
}

} // namespace ptc::window
