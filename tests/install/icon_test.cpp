// The desktop icon that assetgen draws for the installed game: the player's
// car on a solid tile, enlarged by whole pixels to every installed size, and
// written as a PNG whose transparent pixels are exactly the key's.
#include "../support/temp_dir.h"
#include "assets.h"
#include "pictures.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

namespace {

using namespace assetgen;

// Key pixels that cannot be reached from the picture's edge through other
// key pixels: holes through the tile.
int enclosedKeyPixels(const Image& img) {
    const int w = img.width(), h = img.height();
    std::vector<char> seen(static_cast<std::size_t>(w * h), 0);
    std::vector<int> stack;
    auto visit = [&](int x, int y) {
        const auto i = static_cast<std::size_t>(y * w + x);
        if (img.inside(x, y) && !seen[i] && img.get(x, y) == Key) {
            seen[i] = 1;
            stack.push_back(y * w + x);
        }
    };
    for (int i = 0; i < w; ++i) {
        visit(i, 0);
        visit(i, h - 1);
    }
    for (int j = 0; j < h; ++j) {
        visit(0, j);
        visit(w - 1, j);
    }
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const int x = i % w, y = i / w;
        visit(x + 1, y);
        visit(x - 1, y);
        visit(x, y + 1);
        visit(x, y - 1);
    }
    int holes = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            holes += img.get(x, y) == Key && !seen[static_cast<std::size_t>(y * w + x)];
    return holes;
}

TEST(Icon, IsThePlayersCarOnASolidRoundedTile) {
    const Image icon = makeIcon();
    ASSERT_EQ(icon.width(), IconSide);
    ASSERT_EQ(icon.height(), IconSide);

    // Every pixel of the car, one pixel right and down, so it sits centred.
    const Image car = makePlayerCar();
    int carPixels = 0;
    for (int y = 0; y < car.height(); ++y)
        for (int x = 0; x < car.width(); ++x)
            if (car.get(x, y) != Key) {
                ++carPixels;
                ASSERT_EQ(icon.get(x + 1, y + 1), car.get(x, y)) << "car pixel " << x << "," << y;
            }
    EXPECT_GT(carPixels, car.width() * car.height() / 2);

    // Transparent only in the four round corners, the same in each.
    for (int y = 0; y < IconSide; ++y)
        for (int x = 0; x < IconSide; ++x) {
            const bool key = icon.get(x, y) == Key;
            const bool inCornerBox =
                (x < IconCorner || x >= IconSide - IconCorner) && (y < IconCorner || y >= IconSide - IconCorner);
            if (!inCornerBox) {
                ASSERT_FALSE(key) << "transparent pixel " << x << "," << y << " outside the corners";
            }
            EXPECT_EQ(key, icon.get(IconSide - 1 - x, y) == Key) << x << "," << y;
            EXPECT_EQ(key, icon.get(x, IconSide - 1 - y) == Key) << x << "," << y;
        }
    EXPECT_EQ(icon.get(0, 0), Key);
    EXPECT_NE(icon.get(IconCorner, IconCorner), Key);
    EXPECT_EQ(enclosedKeyPixels(icon), 0);
}

TEST(Icon, EverySizeIsAWholePixelEnlargement) {
    const Image base = makeIcon();
    const std::vector<std::pair<std::string, Image>> icons = buildIcons();
    std::vector<int> sizes;
    for (const auto& [name, img] : icons) {
        const int size = img.width();
        sizes.push_back(size);
        EXPECT_EQ(name, "icon-" + std::to_string(size) + ".png");
        ASSERT_EQ(img.height(), size);
        ASSERT_EQ(size % IconSide, 0) << name;
        const int f = size / IconSide;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                ASSERT_EQ(img.get(x, y), base.get(x / f, y / f)) << name << " at " << x << "," << y;
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 64, 128, 256}));
}

TEST(Icon, PngKeepsTheColoursAndMakesOnlyTheKeyTransparent) {
    testing_support::TempDir dir;
    const Image icon = makeIcon().scaled(2);
    const std::string path = (dir.path() / "icon.png").string();
    ASSERT_TRUE(writePngWithAlpha(path, icon));

    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&read, path.c_str())) << read.message;
    EXPECT_NE(read.format & PNG_FORMAT_FLAG_ALPHA, 0u) << "no alpha channel";
    read.format = PNG_FORMAT_RGBA;
    ASSERT_EQ(read.width, static_cast<png_uint_32>(icon.width()));
    ASSERT_EQ(read.height, static_cast<png_uint_32>(icon.height()));
    std::vector<std::uint8_t> px(PNG_IMAGE_SIZE(read));
    ASSERT_TRUE(png_image_finish_read(&read, nullptr, px.data(), 0, nullptr)) << read.message;

    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x) {
            const std::uint8_t* p = &px[static_cast<std::size_t>(y * icon.width() + x) * 4];
            const Rgb c = icon.get(x, y);
            if (c == Key) {
                ASSERT_EQ(p[3], 0) << x << "," << y;
                continue;
            }
            ASSERT_EQ(p[3], 255) << x << "," << y;
            ASSERT_EQ(rgb(p[0], p[1], p[2]), c) << x << "," << y;
        }

    EXPECT_FALSE(writePngWithAlpha((dir.path() / "missing" / "icon.png").string(), icon));
}

} // namespace
