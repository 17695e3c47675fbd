// The small letters of the game's own pictures: 5 x 7 capitals and digits,
// and lower case that hangs its descenders into an eighth row. The
// window's pause sign is written in them, and the asset generator draws
// the captions of data/ with them.
#pragma once

namespace ptc::window {

constexpr int SmallGlyphWidth = 5;
constexpr int SmallGlyphHeight = 8;

// Characters for the arrow keys.
constexpr char ArrowUp = '\x01';
constexpr char ArrowDown = '\x02';
constexpr char ArrowLeft = '\x03';
constexpr char ArrowRight = '\x04';

// Whether there is a glyph for c (space included).
bool hasSmallGlyph(char c);
// Whether pixel (x, y) of the glyph for c is set; false outside it, or for
// a character without one.
bool smallGlyphPixel(char c, int x, int y);

} // namespace ptc::window
