#include "window/pause_picture.h"

#include "window/small_font.h"

#include <string_view>

namespace ptc::window {

namespace {

constexpr std::uint32_t PanelColour = 0x181818u;
constexpr std::uint32_t EdgeColour = 0xD0D0D0u;
constexpr std::uint32_t SignColour = 0xFFFFFFu;
constexpr std::uint32_t HintColour = 0xB0B0B0u;

void fill(std::uint32_t* out, int x, int y, int width, int height, std::uint32_t colour) {
    for (int row = y; row < y + height; ++row)
        for (int column = x; column < x + width; ++column)
            out[row * DisplayWidth + column] = colour;
}

// Capital letters and spaces in the small font, each pixel a block of
// `scale` pixels, with a block between letters.
void write(std::uint32_t* out, int x, int y, int scale, std::string_view text, std::uint32_t colour) {
    for (const char letter : text) {
        for (int row = 0; row < SmallGlyphHeight; ++row)
            for (int column = 0; column < SmallGlyphWidth; ++column)
                if (smallGlyphPixel(letter, column, row))
                    fill(out, x + column * scale, y + row * scale, scale, scale, colour);
        x += (SmallGlyphWidth + 1) * scale;
    }
}

} // namespace

void drawPausePicture(const std::uint32_t* frame, std::uint32_t* out) {
    for (int i = 0; i < DisplayWidth * DisplayHeight; ++i)
        out[i] = dimmed(frame[i]);
    using P = PausePanel;
    fill(out, P::X, P::Y, P::Width, P::Height, EdgeColour);
    fill(out, P::X + 1, P::Y + 1, P::Width - 2, P::Height - 2, PanelColour);
    // The pause sign, two bars, beside the word.
    fill(out, P::X + 12, P::Y + 9, 6, 20, SignColour);
    fill(out, P::X + 22, P::Y + 9, 6, 20, SignColour);
    write(out, P::X + 40, P::Y + 12, 2, "PAUSED", SignColour);
    write(out, P::X + 23, P::Y + 42, 1, "PRESS P TO PLAY", HintColour);
}

} // namespace ptc::window
