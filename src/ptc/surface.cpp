// The parts of the toolkit that do not depend on the platform. Destructors
// and the display's side of Surface::copyTo live with each platform.
#include "ptc/ptc.h"

#include <algorithm>

namespace ptc {

PixelFormat::PixelFormat(int bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha)
    : bits_(bits), red_(red), green_(green), blue_(blue), alpha_(alpha) {
    if (bits != 32 || red != 0x00FF0000u || green != 0x0000FF00u || blue != 0x000000FFu)
        throw DynamicError("unsupported pixel format: only 32-bit 0x00RRGGBB is available");
}

Surface::Surface(int width, int height, const PixelFormat&) : width_(width), height_(height) {
    if (width <= 0 || height <= 0)
        throw DynamicError("invalid surface size");
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
}

void Surface::clear() {
    if (locked_)
        throw DynamicError("surface is locked");
    std::fill(pixels_.begin(), pixels_.end(), 0u);
}

void* Surface::lock() {
    if (locked_)
        throw DynamicError("surface is already locked");
    locked_ = true;
    return pixels_.data();
}

void Surface::unlock() {
    if (!locked_)
        throw DynamicError("surface is not locked");
    locked_ = false;
}

void Surface::copyTo(Display& display) {
    if (locked_)
        throw DynamicError("surface is locked");
    display.requireOpen();
    if (width_ != DisplayWidth || height_ != DisplayHeight)
        throw DynamicError("the surface's size differs from the display's");
    display.take(pixels_);
}

} // namespace ptc
