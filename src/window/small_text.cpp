#include "window/small_text.h"

#include "ptc/ptc.h"
#include "window/small_font.h"

namespace ptc::window {

void fillRect(std::uint32_t* picture, int x, int y, int width, int height, std::uint32_t colour) {
    for (int row = y; row < y + height; ++row)
        for (int column = x; column < x + width; ++column)
            picture[row * DisplayWidth + column] = colour;
}

void writeSmall(std::uint32_t* picture, int x, int y, int scale, std::string_view text, std::uint32_t colour) {
    for (const char letter : text) {
        for (int row = 0; row < SmallGlyphHeight; ++row)
            for (int column = 0; column < SmallGlyphWidth; ++column)
                if (smallGlyphPixel(letter, column, row))
                    fillRect(picture, x + column * scale, y + row * scale, scale, scale, colour);
        x += (SmallGlyphWidth + 1) * scale;
    }
}

int smallTextWidth(std::string_view text, int scale) {
    return text.empty() ? 0 : (static_cast<int>(text.size()) * (SmallGlyphWidth + 1) - 1) * scale;
}

} // namespace ptc::window
