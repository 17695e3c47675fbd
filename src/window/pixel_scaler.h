// The picture scaled on the processor, the way the renderer's two passes
// scale it on a graphics card: up by whole factors with hard edges, then
// down to the place with linear filtering. Each picture pixel becomes a
// block of hard colour with at most one blended row or column at each of
// its edges. Every picture row is scaled across once per frame and each
// output row is made once: rows that repeat are copied down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ptc::window {

// One output pixel along an axis: picture pixels `first` and `second`
// mixed with `weight` 256ths of the second (0 when it is one pixel only).
struct Tap {
    int first = 0;
    int second = 0;
    int weight = 0;
    bool operator==(const Tap&) const = default;
};

// The taps for `to` output pixels from `from` picture pixels.
std::vector<Tap> scaleTaps(int from, int to);

class PixelScaler {
public:
    // Scales the DisplayWidth x DisplayHeight picture into the width x
    // height rectangle at `out`, whose rows are `pitch` pixels apart. Every
    // pixel written has the bits of `opaque` set (the alpha of a surface
    // that has one).
    void scale(const std::uint32_t* picture, std::uint32_t* out, int width, int height, std::size_t pitch,
               std::uint32_t opaque = 0);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Tap> columns_, rows_;
    std::vector<std::uint32_t> across_; // every picture row, scaled across
};

} // namespace ptc::window
