// A small integer-only drawing kit for the game's pictures.
//
// Everything here works on whole pixels and whole numbers so that every
// picture comes out byte for byte the same on every build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

// 0x00RRGGBB, the layout the game uses in memory.
using Rgb = std::uint32_t;

// Pixels of this exact value are left out when the game draws a sprite.
constexpr Rgb Key = 0xFF00FF;

constexpr Rgb rgb(int r, int g, int b) {
    return (static_cast<Rgb>(r & 255) << 16) | (static_cast<Rgb>(g & 255) << 8) | static_cast<Rgb>(b & 255);
}
constexpr int red(Rgb c) { return static_cast<int>((c >> 16) & 255); }
constexpr int green(Rgb c) { return static_cast<int>((c >> 8) & 255); }
constexpr int blue(Rgb c) { return static_cast<int>(c & 255); }

// Mixes a and b: t = 0 gives a, t = 256 gives b.
Rgb mix(Rgb a, Rgb b, int t);
// Scales every channel by num / 256, clamped to 255.
Rgb shade(Rgb c, int num);

// A fixed xorshift generator: the same sequence on every run.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t next();
    // A whole number in [lo, hi].
    int range(int lo, int hi);

private:
    std::uint32_t state_;
};

// A well-mixed hash of a lattice point, for textures and ragged outlines.
std::uint32_t hash3(int x, int y, std::uint32_t seed);
// Smooth value noise in 0..255 over a lattice of `cell` pixels; wraps
// around every `periodX` pixels across when periodX > 0.
int valueNoise(int x, int y, int cell, std::uint32_t seed, int periodX = 0);

class Image {
public:
    Image(int width, int height, Rgb fill = Key);

    int width() const { return w_; }
    int height() const { return h_; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
    Rgb get(int x, int y) const { return px_[static_cast<std::size_t>(y * w_ + x)]; }
    void set(int x, int y, Rgb c) {
        if (inside(x, y))
            px_[static_cast<std::size_t>(y * w_ + x)] = c;
    }
    const std::vector<Rgb>& pixels() const { return px_; }
    std::vector<Rgb>& pixels() { return px_; }

    void fillRect(int x, int y, int w, int h, Rgb c);
    void hline(int x0, int x1, int y, Rgb c);
    void vline(int x, int y0, int y1, Rgb c);
    void line(int x0, int y0, int x1, int y1, Rgb c);
    void rectOutline(int x, int y, int w, int h, Rgb c);
    // Filled ellipse inside the box [x0, x1] × [y0, y1], ends included.
    void fillEllipse(int x0, int y0, int x1, int y1, Rgb c);
    // Filled box with its corners cut round by radius r.
    void fillRoundRect(int x, int y, int w, int h, int r, Rgb c);
    // Filled polygon (even-odd rule, pixel centres), points as x,y pairs.
    void fillPolygon(const std::vector<int>& xy, Rgb c);
    // Copies src onto this image at (x, y), leaving out src's key pixels.
    void blit(const Image& src, int x, int y);
    // Every key pixel that touches a drawn pixel (4-neighbourhood) becomes c.
    void outline(Rgb c);
    // Like outline, with the 8-neighbourhood: a thicker, rounder outline.
    void outline8(Rgb c);
    // Copies an enlarged image: every pixel becomes a factor × factor block.
    Image scaled(int factor) const;

    // Raw file: 3 bytes R, G, B per pixel, row after row, no header.
    std::vector<std::uint8_t> raw() const;

private:
    int w_;
    int h_;
    std::vector<Rgb> px_;
};

// Writes an RGB PNG of the image enlarged `factor` times (key shown as is).
bool writePng(const std::string& path, const Image& img, int factor);
// Writes an RGBA PNG of the image: key pixels fully transparent, every other
// pixel fully opaque. For pictures shown outside the game (the desktop icon).
bool writePngWithAlpha(const std::string& path, const Image& img);
// The same PNG, in memory (empty if it cannot be made).
std::vector<std::uint8_t> pngWithAlpha(const Image& img);
// A Windows icon file holding each image as PNG (as Windows reads them
// since Vista); each image at most 256 pixels square.
std::vector<std::uint8_t> icoOfPngs(const std::vector<Image>& images);

} // namespace assetgen
