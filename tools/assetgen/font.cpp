#include "font.h"

#include <array>
#include <stdexcept>

namespace assetgen {
namespace {

// The glyph for c in a font table, or null.
template <typename Glyph, std::size_t N>
const Glyph* findGlyph(const Glyph (&font)[N], char c) {
    for (const Glyph& g : font)
        if (g.c == c)
            return &g;
    return nullptr;
}

struct BigGlyph {
    char c;
    std::array<const char*, BigGlyphHeight> rows;
};

// Two-pixel strokes so that the score stays legible over a moving road.
// clang-format off
const BigGlyph BigFont[] = {
    {'0', {".####.", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##",
           "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."}},
    {'1', {"..##..", ".###..", "####..", "..##..", "..##..", "..##..", "..##..",
           "..##..", "..##..", "..##..", "..##..", "..##..", "..##..", "######"}},
    {'2', {".####.", "##..##", "##..##", "....##", "....##", "...##.", "..##..",
           ".##...", "##....", "##....", "##....", "##....", "##....", "######"}},
    {'3', {".####.", "##..##", "....##", "....##", "....##", "...##.", ".###..",
           "...##.", "....##", "....##", "....##", "....##", "##..##", ".####."}},
    {'4', {"##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "######",
           "######", "....##", "....##", "....##", "....##", "....##", "....##"}},
    {'5', {"######", "##....", "##....", "##....", "##....", "#####.", "....##",
           "....##", "....##", "....##", "....##", "....##", "##..##", ".####."}},
    {'6', {".####.", "##..##", "##....", "##....", "##....", "#####.", "##..##",
           "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."}},
    {'7', {"######", "....##", "....##", "....##", "...##.", "...##.", "..##..",
           "..##..", "..##..", "..##..", "..##..", "..##..", "..##..", "..##.."}},
    {'8', {".####.", "##..##", "##..##", "##..##", "##..##", "##..##", ".####.",
           "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."}},
    {'9', {".####.", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##",
           ".#####", "....##", "....##", "....##", "....##", "##..##", ".####."}},
    {'C', {".####.", "##..##", "##....", "##....", "##....", "##....", "##....",
           "##....", "##....", "##....", "##....", "##....", "##..##", ".####."}},
    {'E', {"######", "##....", "##....", "##....", "##....", "##....", "#####.",
           "##....", "##....", "##....", "##....", "##....", "##....", "######"}},
    {'O', {".####.", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##",
           "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."}},
    {'R', {"#####.", "##..##", "##..##", "##..##", "##..##", "##..##", "#####.",
           "##.##.", "##.##.", "##..##", "##..##", "##..##", "##..##", "##..##"}},
    {'S', {".####.", "##..##", "##....", "##....", "##....", "##....", ".####.",
           "....##", "....##", "....##", "....##", "....##", "##..##", ".####."}},
};
// clang-format on

struct LogoGlyph {
    char c;
    std::array<const char*, LogoGlyphHeight> rows;
};

const LogoGlyph LogoFont[] = {
    {'A', {".#####.", "#######", "##...##", "##...##", "#######", "#######", "##...##", "##...##"}},
    {'C', {".#####.", "#######", "##...##", "##.....", "##.....", "##...##", "#######", ".#####."}},
    {'E', {"#######", "#######", "##.....", "######.", "######.", "##.....", "#######", "#######"}},
    {'G', {".#####.", "#######", "##.....", "##.####", "##.####", "##...##", "#######", ".#####."}},
    {'L', {"##.....", "##.....", "##.....", "##.....", "##.....", "##.....", "#######", "#######"}},
    {'M', {"##...##", "###.###", "#######", "##.#.##", "##...##", "##...##", "##...##", "##...##"}},
    {'O', {".#####.", "#######", "##...##", "##...##", "##...##", "##...##", "#######", ".#####."}},
    {'R', {"######.", "#######", "##...##", "#######", "######.", "##.###.", "##..###", "##...##"}},
    {'V', {"##...##", "##...##", "##...##", "##...##", "###.###", ".#####.", "..###..", "...#..."}},
    {'X', {"##...##", "###.###", ".#####.", "..###..", "..###..", ".#####.", "###.###", "##...##"}},
};

} // namespace

bool hasLogoGlyph(char c) { return findGlyph(LogoFont, c) != nullptr; }

bool logoGlyphPixel(char c, int x, int y) {
    const LogoGlyph* g = findGlyph(LogoFont, c);
    if (!g || x < 0 || y < 0 || x >= LogoGlyphWidth || y >= LogoGlyphHeight)
        return false;
    return g->rows[static_cast<std::size_t>(y)][x] == '#';
}

Image logoMask(const std::string& text, int scale, int gap) {
    int units = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        units += (text[i] == ' ' ? 3 : LogoGlyphWidth) + (i + 1 < text.size() ? gap : 0);
    Image mask(units * scale, LogoGlyphHeight * scale);
    int pen = 0;
    for (char c : text) {
        if (c != ' ' && !hasLogoGlyph(c))
            throw std::invalid_argument(std::string("no logo glyph for '") + c + "'");
        for (int y = 0; y < LogoGlyphHeight; ++y)
            for (int x = 0; x < LogoGlyphWidth; ++x)
                if (logoGlyphPixel(c, x, y))
                    mask.fillRect((pen + x) * scale, y * scale, scale, scale, 0xFFFFFF);
        pen += (c == ' ' ? 3 : LogoGlyphWidth) + gap;
    }
    return mask;
}

bool hasBigGlyph(char c) { return findGlyph(BigFont, c) != nullptr; }

bool bigGlyphPixel(char c, int x, int y) {
    const BigGlyph* g = findGlyph(BigFont, c);
    if (!g || x < 0 || y < 0 || x >= BigGlyphWidth || y >= BigGlyphHeight)
        return false;
    return g->rows[static_cast<std::size_t>(y)][x] == '#';
}

int textWidth(const std::string& text, int scale, int gap) {
    if (text.empty())
        return 0;
    const int n = static_cast<int>(text.size());
    return (n * SmallGlyphWidth + (n - 1) * gap) * scale;
}

void drawText(Image& img, int x, int y, const std::string& text, Rgb c, int scale, int gap) {
    int penX = x;
    for (char ch : text) {
        if (!hasSmallGlyph(ch))
            throw std::invalid_argument(std::string("no glyph for '") + ch + "'");
        for (int gy = 0; gy < SmallGlyphHeight; ++gy)
            for (int gx = 0; gx < SmallGlyphWidth; ++gx)
                if (smallGlyphPixel(ch, gx, gy))
                    img.fillRect(penX + gx * scale, y + gy * scale, scale, scale, c);
        penX += (SmallGlyphWidth + gap) * scale;
    }
}

Image textMask(const std::string& text, int scale, int gap) {
    Image mask(textWidth(text, scale, gap), SmallGlyphHeight * scale);
    drawText(mask, 0, 0, text, 0xFFFFFF, scale, gap);
    return mask;
}

} // namespace assetgen
