// The generator's own pixel fonts.
//
// Small font: 5 × 7 glyphs (8 rows with descenders) for captions and the
// logo, which draws it enlarged. Big font: bold 6 × 14 glyphs for the score
// digits and the SCORE label.
#pragma once

#include "canvas.h"
#include "window/small_font.h"

#include <string>

namespace assetgen {

// The small font is the game's own (window/small_font.h), which the pause
// sign uses too.
using ptc::window::ArrowDown;
using ptc::window::ArrowLeft;
using ptc::window::ArrowRight;
using ptc::window::ArrowUp;
using ptc::window::hasSmallGlyph;
using ptc::window::SmallGlyphHeight;
using ptc::window::smallGlyphPixel;
using ptc::window::SmallGlyphWidth;

constexpr int BigGlyphWidth = 6;
constexpr int BigGlyphHeight = 14;

// Whether pixel (x, y) of the big glyph for c is set; the big font has the
// digits and the letters C, E, O, R, S.
bool hasBigGlyph(char c);
bool bigGlyphPixel(char c, int x, int y);

// Logo font: heavy 7 × 8 capitals (two-pixel strokes) for the title and
// the game-over banner; it has the letters A C E G L M O R V X.
constexpr int LogoGlyphWidth = 7;
constexpr int LogoGlyphHeight = 8;
bool hasLogoGlyph(char c);
bool logoGlyphPixel(char c, int x, int y);
// Logo text as a mask, each font pixel a scale × scale block, letters
// `gap` font pixels apart; a space is three font pixels wide.
Image logoMask(const std::string& text, int scale, int gap = 1);

// Width in pixels of text in the small font enlarged `scale` times, with
// `gap` blank pixels (unscaled) between letters.
int textWidth(const std::string& text, int scale = 1, int gap = 1);
// Draws text with its top-left corner at (x, y); throws
// std::invalid_argument for a character the font does not have.
void drawText(Image& img, int x, int y, const std::string& text, Rgb c, int scale = 1, int gap = 1);
// The text as a mask: white where a glyph pixel is, key elsewhere.
Image textMask(const std::string& text, int scale = 1, int gap = 1);

} // namespace assetgen
