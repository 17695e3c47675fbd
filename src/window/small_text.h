// Drawing into a picture of the frame's size, for the window's own
// pictures (the pause sign, the watching bar): plain rectangles and words
// in the small font.
#pragma once

#include <cstdint>
#include <string_view>

namespace ptc::window {

// A width x height rectangle of one colour at (x, y); the picture holds
// DisplayWidth x DisplayHeight pixels.
void fillRect(std::uint32_t* picture, int x, int y, int width, int height, std::uint32_t colour);

// Words in the small font from (x, y), each font pixel a block of `scale`
// pixels, with a block between letters.
void writeSmall(std::uint32_t* picture, int x, int y, int scale, std::string_view text, std::uint32_t colour);

// How wide writeSmall writes the text.
int smallTextWidth(std::string_view text, int scale);

} // namespace ptc::window
