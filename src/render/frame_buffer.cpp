#include "render/frame_buffer.h"

#include "render/image_assets.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vexlo {

// The two full-frame loops get a wide-vector version as well, picked at
// start-up on processors that have it (by the ELF loader: not on Windows).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__ELF__)
#define VEXLO_WIDE_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VEXLO_WIDE_LOOP
#endif

VEXLO_WIDE_LOOP int blitSprite(Pixel* frame, const Pixel* sprite, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return 1;
    // Only the part of the sprite inside the frame is walked; the source
    // still advances a whole sprite row per frame row. The bounds are worked
    // out in 64 bits so that any position, however far off, is safe.
    const long long x0 = x, y0 = y;
    const long long firstCol = std::max(0LL, -x0);
    const long long lastCol = std::min<long long>(width, ScreenWidth - x0); // exclusive
    const long long firstRow = std::max(0LL, -y0);
    const long long lastRow = std::min<long long>(height, ScreenHeight - y0); // exclusive
    if (firstCol >= lastCol || firstRow >= lastRow)
        return 1;
    const long long count = lastCol - firstCol;
    for (long long r = firstRow; r < lastRow; ++r) {
        const Pixel* src = sprite + r * width + firstCol;
        Pixel* dst = frame + (y0 + r) * ScreenWidth + x0 + firstCol;
        // Written as a select rather than a branch so that the compiler
        // can do several pixels at a time.
        for (long long c = 0; c < count; ++c) {
            const Pixel p = src[c];
            dst[c] = p != TransparentColor ? p : dst[c];
        }
    }
    return 1;
}

int drawRoad(Pixel* frame, int distance) {
    // A negative distance scrolls the other way rather than reading before
    // the picture: the offset always lies in 0 .. 39.
    int k = distance % RoadPeriod;
    if (k < 0)
        k += RoadPeriod;
    std::memcpy(frame, imageAssets.road + k, FramePixels * sizeof(Pixel));
    return 1;
}

namespace {

Pixel darkened(Pixel p) { return (p >> 1) & 0x007F7F7Fu; }

} // namespace

// The game's frame, a large heap block, starts 16 bytes past a 32-byte
// boundary, and a plain loop over it ran at full speed or at half speed
// depending on where the linker happened to put the loop. So the pixels up
// to the first 32-byte boundary are done one by one, the bulk in blocks of
// 32 (four wide vectors, aligned) and the few left over one by one.
VEXLO_WIDE_LOOP int darkenFrame(Pixel* frame) {
    constexpr int Block = 32;
    int i = 0;
    while (i < FramePixels && reinterpret_cast<std::uintptr_t>(frame + i) % 32 != 0) {
        frame[i] = darkened(frame[i]);
        ++i;
    }
    for (; i + Block <= FramePixels; i += Block) {
        Pixel* block = frame + i;
        for (int k = 0; k < Block; ++k)
            block[k] = darkened(block[k]);
    }
    for (; i < FramePixels; ++i)
        frame[i] = darkened(frame[i]);
    return 1;
}

} // namespace vexlo
