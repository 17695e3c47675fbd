#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace assetgen {

Rgb mix(Rgb a, Rgb b, int t) {
    auto ch = [t](int x, int y) { return x + ((y - x) * t) / 256; };
    return rgb(ch(red(a), red(b)), ch(green(a), green(b)), ch(blue(a), blue(b)));
}

Rgb shade(Rgb c, int num) {
    auto ch = [num](int x) { return std::min(255, x * num / 256); };
    return rgb(ch(red(c)), ch(green(c)), ch(blue(c)));
}

std::uint32_t Rng::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

int Rng::range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1)); }

std::uint32_t hash3(int x, int y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

namespace {
int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
} // namespace

int valueNoise(int x, int y, int cell, std::uint32_t seed, int periodX) {
    const int cx = floorDiv(x, cell);
    const int cy = floorDiv(y, cell);
    const int fx = x - cx * cell;
    const int fy = y - cy * cell;
    const int cells = periodX > 0 ? periodX / cell : 0;
    auto corner = [&](int i, int j) {
        int ix = cx + i;
        if (cells > 0)
            ix = ((ix % cells) + cells) % cells;
        return static_cast<int>(hash3(ix, cy + j, seed) & 255);
    };
    // Smoothstep weights in 0..256 so cell borders do not show.
    auto smooth = [cell](int f) {
        const int t = f * 256 / cell;
        return t * t * (768 - 2 * t) / 65536;
    };
    const int sx = smooth(fx);
    const int sy = smooth(fy);
    const int top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * sx / 256;
    const int bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * sx / 256;
    return top + (bottom - top) * sy / 256;
}

Image::Image(int width, int height, Rgb fill)
    : w_(width), h_(height), px_(static_cast<std::size_t>(width * height), fill) {}

void Image::fillRect(int x, int y, int w, int h, Rgb c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i)
            set(i, j, c);
}

void Image::hline(int x0, int x1, int y, Rgb c) {
    if (x0 > x1)
        std::swap(x0, x1);
    for (int x = x0; x <= x1; ++x)
        set(x, y, c);
}

void Image::vline(int x, int y0, int y1, Rgb c) {
    if (y0 > y1)
        std::swap(y0, y1);
    for (int y = y0; y <= y1; ++y)
        set(x, y, c);
}

void Image::line(int x0, int y0, int x1, int y1, Rgb c) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        set(x0, y0, c);
        if (x0 == x1 && y0 == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Image::rectOutline(int x, int y, int w, int h, Rgb c) {
    hline(x, x + w - 1, y, c);
    hline(x, x + w - 1, y + h - 1, c);
    vline(x, y, y + h - 1, c);
    vline(x + w - 1, y, y + h - 1, c);
}

void Image::fillEllipse(int x0, int y0, int x1, int y1, Rgb c) {
    // Work in doubled coordinates so that pixel centres are whole numbers.
    const long cx = x0 + x1 + 1;
    const long cy = y0 + y1 + 1;
    const long rx = x1 - x0 + 1;
    const long ry = y1 - y0 + 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const long dx = 2L * x + 1 - cx;
            const long dy = 2L * y + 1 - cy;
            if (dx * dx * ry * ry + dy * dy * rx * rx <= rx * rx * ry * ry)
                set(x, y, c);
        }
}

void Image::fillRoundRect(int x, int y, int w, int h, int r, Rgb c) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int dx = std::max({r - i, i - (w - 1 - r), 0});
            const int dy = std::max({r - j, j - (h - 1 - r), 0});
            // Compare against (r + 0.5)^2 in quarter units.
            if (4 * (dx * dx + dy * dy) <= (2 * r + 1) * (2 * r + 1) - 2)
                set(x + i, y + j, c);
        }
}

void Image::fillPolygon(const std::vector<int>& xy, Rgb c) {
    const int n = static_cast<int>(xy.size() / 2);
    if (n < 3)
        return;
    int ymin = xy[1];
    int ymax = xy[1];
    for (int i = 0; i < n; ++i) {
        ymin = std::min(ymin, xy[2 * i + 1]);
        ymax = std::max(ymax, xy[2 * i + 1]);
    }
    std::vector<long> cross;
    for (int y = ymin; y < ymax; ++y) {
        // Scan line through the pixel centres, in doubled coordinates; the
        // crossings are kept in 1/256 of a doubled unit.
        const long sy = 2L * y + 1;
        cross.clear();
        for (int i = 0; i < n; ++i) {
            const long ax = 2L * xy[2 * i], ay = 2L * xy[2 * i + 1];
            const long bx = 2L * xy[(2 * i + 2) % (2 * n)];
            const long by = 2L * xy[(2 * i + 3) % (2 * n)];
            if ((ay < sy) == (by < sy))
                continue;
            cross.push_back(ax * 256 + (sy - ay) * (bx - ax) * 256 / (by - ay));
        }
        std::sort(cross.begin(), cross.end());
        for (std::size_t k = 0; k + 1 < cross.size(); k += 2)
            for (int x = static_cast<int>(cross[k] / 512) - 1; x <= cross[k + 1] / 512 + 1; ++x) {
                const long cxp = (2L * x + 1) * 256;
                if (cxp >= cross[k] && cxp < cross[k + 1])
                    set(x, y, c);
            }
    }
}

void Image::blit(const Image& src, int x, int y) {
    for (int j = 0; j < src.height(); ++j)
        for (int i = 0; i < src.width(); ++i) {
            const Rgb p = src.get(i, j);
            if (p != Key)
                set(x + i, y + j, p);
        }
}

namespace {
void outlineWith(Image& img, Rgb c, bool diagonals) {
    const Image before = img;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (before.get(x, y) != Key)
                continue;
            bool touch = false;
            for (int dy = -1; dy <= 1 && !touch; ++dy)
                for (int dx = -1; dx <= 1 && !touch; ++dx) {
                    if ((dx == 0 && dy == 0) || (!diagonals && dx != 0 && dy != 0))
                        continue;
                    touch = before.inside(x + dx, y + dy) && before.get(x + dx, y + dy) != Key;
                }
            if (touch)
                img.set(x, y, c);
        }
}
} // namespace

void Image::outline(Rgb c) { outlineWith(*this, c, false); }
void Image::outline8(Rgb c) { outlineWith(*this, c, true); }

Image Image::scaled(int factor) const {
    Image out(w_ * factor, h_ * factor);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.set(x, y, get(x / factor, y / factor));
    return out;
}

std::vector<std::uint8_t> Image::raw() const {
    std::vector<std::uint8_t> out;
    out.reserve(px_.size() * 3);
    for (Rgb p : px_) {
        out.push_back(static_cast<std::uint8_t>(red(p)));
        out.push_back(static_cast<std::uint8_t>(green(p)));
        out.push_back(static_cast<std::uint8_t>(blue(p)));
    }
    return out;
}

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// Rows of 8-bit samples, `channels` per pixel, as a PNG of the given colour
// type; empty if libpng fails.
std::vector<std::uint8_t> encodePng(int width, int height, int colorType, int channels,
                                    const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, bytes.data() + static_cast<std::size_t>(y) * width * channels);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

bool writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty())
        return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

// 4 bytes R, G, B, A per pixel, row after row.
std::vector<std::uint8_t> rgbaBytes(const Image& img) {
    std::vector<std::uint8_t> out;
    out.reserve(img.pixels().size() * 4);
    for (Rgb p : img.pixels()) {
        if (p == Key) {
            out.insert(out.end(), {0, 0, 0, 0});
            continue;
        }
        out.insert(out.end(), {static_cast<std::uint8_t>(red(p)), static_cast<std::uint8_t>(green(p)),
                               static_cast<std::uint8_t>(blue(p)), 255});
    }
    return out;
}

} // namespace

bool writePng(const std::string& path, const Image& img, int factor) {
    const Image big = img.scaled(factor);
    return writeBytes(path, encodePng(big.width(), big.height(), PNG_COLOR_TYPE_RGB, 3, big.raw()));
}

std::vector<std::uint8_t> pngWithAlpha(const Image& img) {
    return encodePng(img.width(), img.height(), PNG_COLOR_TYPE_RGB_ALPHA, 4, rgbaBytes(img));
}

std::vector<std::uint8_t> icoOfPngs(const std::vector<Image>& images) {
    std::vector<std::uint8_t> ico;
    auto put16 = [&ico](std::size_t v) { ico.insert(ico.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
    auto put32 = [&](std::size_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    std::vector<std::vector<std::uint8_t>> pngs;
    for (const Image& img : images)
        pngs.push_back(pngWithAlpha(img));
    put16(0); // reserved
    put16(1); // an icon
    put16(images.size());
    std::size_t offset = 6 + 16 * images.size();
    for (std::size_t i = 0; i < images.size(); ++i) {
        // A side of 256 is written as 0.
        ico.push_back(std::uint8_t(images[i].width() & 0xFF));
        ico.push_back(std::uint8_t(images[i].height() & 0xFF));
        ico.insert(ico.end(), {0, 0}); // no palette
        put16(1);                      // planes
        put16(32);                     // bits a pixel
        put32(pngs[i].size());
        put32(offset);
        offset += pngs[i].size();
    }
    for (const auto& png : pngs)
        ico.insert(ico.end(), png.begin(), png.end());
    return ico;
}

bool writePngWithAlpha(const std::string& path, const Image& img) { return writeBytes(path, pngWithAlpha(img)); }

} // namespace assetgen
