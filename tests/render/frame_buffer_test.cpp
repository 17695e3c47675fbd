#include "render/frame_buffer.h"
#include "render/image_assets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

using namespace vexlo;

namespace {

constexpr Pixel Background = 0x00102030u;

struct Frame {
    std::vector<Pixel> pixels = std::vector<Pixel>(FramePixels, Background);
    Pixel at(int x, int y) const { return pixels[y * ScreenWidth + x]; }
    int changed() const {
        return static_cast<int>(
            std::count_if(pixels.begin(), pixels.end(), [](Pixel p) { return p != Background; }));
    }
};

// A 30 x 30 sprite whose pixel (c, r) encodes its own position.
std::vector<Pixel> numberedSprite() {
    std::vector<Pixel> s(30 * 30);
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 30; ++c)
            s[r * 30 + c] = static_cast<Pixel>(0x010000 + r * 256 + c);
    return s;
}

} // namespace

TEST(BlitSprite, ClipsAtEveryEdgeWithoutWrapping) {
    const auto sprite = numberedSprite();
    {
        Frame f;
        blitSprite(f.pixels.data(), sprite.data(), -10, 50, 30, 30);
        EXPECT_EQ(f.at(0, 50), sprite[10]);
        EXPECT_EQ(f.at(19, 79), sprite[29 * 30 + 29]);
        EXPECT_EQ(f.at(20, 50), Background);
        EXPECT_EQ(f.at(319, 49), Background); // nothing on the row above's right end
        EXPECT_EQ(f.changed(), 20 * 30);
    }
    {
        Frame f;
        blitSprite(f.pixels.data(), sprite.data(), 300, 50, 30, 30);
        EXPECT_EQ(f.at(300, 50), sprite[0]);
        EXPECT_EQ(f.at(319, 50), sprite[19]);
        EXPECT_EQ(f.at(0, 51), Background); // nothing wraps onto the next row
        EXPECT_EQ(f.changed(), 20 * 30);
    }
    {
        Frame f;
        blitSprite(f.pixels.data(), sprite.data(), 40, 190, 30, 30);
        EXPECT_EQ(f.at(40, 199), sprite[9 * 30]);
        EXPECT_EQ(f.changed(), 30 * 10);
    }
    {
        Frame f;
        blitSprite(f.pixels.data(), sprite.data(), 40, -5, 30, 30);
        EXPECT_EQ(f.at(40, 0), sprite[5 * 30]);
        EXPECT_EQ(f.changed(), 30 * 25);
    }
}

TEST(BlitSprite, DrawsNothingWhollyOutsideOrWithNoSize) {
    const auto sprite = numberedSprite();
    const int positions[][2] = {{320, 0},           {0, 200},           {-30, 0},     {0, -30},
                                {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MAX, 0}, {INT_MIN, 10}};
    for (const auto& p : positions) {
        Frame f;
        EXPECT_EQ(blitSprite(f.pixels.data(), sprite.data(), p[0], p[1], 30, 30), 1);
        EXPECT_EQ(f.changed(), 0) << p[0] << "," << p[1];
    }
    Frame f;
    blitSprite(f.pixels.data(), sprite.data(), 0, 0, 0, 30);
    blitSprite(f.pixels.data(), sprite.data(), 0, 0, 30, 0);
    blitSprite(f.pixels.data(), sprite.data(), 0, 0, -3, 30);
    EXPECT_EQ(f.changed(), 0);
}

TEST(BlitSprite, SkipsOnlyTheExactColourKey) {
    std::vector<Pixel> sprite(4, TransparentColor);
    sprite[1] = 0x00FE00FFu;
    sprite[2] = 0xFFFF00FFu; // a different top byte is not the key
    Frame f;
    blitSprite(f.pixels.data(), sprite.data(), 5, 5, 4, 1);
    EXPECT_EQ(f.at(5, 5), Background);
    EXPECT_EQ(f.at(6, 5), 0x00FE00FFu);
    EXPECT_EQ(f.at(7, 5), 0xFFFF00FFu);
    EXPECT_EQ(f.at(8, 5), Background);
}

TEST(BlitSprite, FullScreenPictureLetsTheSceneShowThroughItsKey) {
    std::vector<Pixel> picture(FramePixels, 0x00ABCDEFu);
    picture[123 * ScreenWidth + 45] = TransparentColor;
    Frame f;
    blitSprite(f.pixels.data(), picture.data(), 0, 0, ScreenWidth, ScreenHeight);
    EXPECT_EQ(f.changed(), FramePixels - 1);
    EXPECT_EQ(f.at(45, 123), Background);
}

class Road : public ::testing::Test {
protected:
    void SetUp() override {
        road.assign(RoadCapacity, 0u);
        for (int i = 0; i < RoadPixelsRead; ++i)
            road[i] = static_cast<Pixel>(i + 1);
        saved = imageAssets.road;
        imageAssets.road = road.data();
    }
    void TearDown() override { imageAssets.road = saved; }
    Pixel roadAt(int x, int y) const { return road[y * ScreenWidth + x]; }

    std::vector<Pixel> road;
    Pixel* saved = nullptr;
};

TEST_F(Road, ShiftsByTheDistanceModuloForty) {
    Frame a, b;
    drawRoad(a.pixels.data(), 0);
    drawRoad(b.pixels.data(), 40);
    EXPECT_EQ(a.pixels, b.pixels);
    EXPECT_EQ(a.at(0, 0), roadAt(0, 0));
    EXPECT_EQ(a.at(319, 199), roadAt(319, 199));

    Frame c;
    drawRoad(c.pixels.data(), 39);
    EXPECT_EQ(c.at(0, 0), roadAt(39, 0));
    EXPECT_EQ(c.at(319, 0), roadAt(38, 1)); // the right edge comes from the next road row
    EXPECT_EQ(c.at(319, 199), roadAt(38, 200));

    Frame d;
    drawRoad(d.pixels.data(), 1000001); // 1000001 mod 40 = 1
    EXPECT_EQ(d.at(0, 0), roadAt(1, 0));
}

TEST_F(Road, NegativeDistanceStaysInsideThePicture) {
    Frame f;
    drawRoad(f.pixels.data(), -1); // scrolls back: offset 39
    EXPECT_EQ(f.at(0, 0), roadAt(39, 0));
    Frame g;
    drawRoad(g.pixels.data(), INT_MIN); // INT_MIN mod 40 = -8, offset 32
    EXPECT_EQ(g.at(0, 0), roadAt(32, 0));
}

TEST(DarkenFrame, HalvesEachChannelWithoutCarries) {
    Frame f;
    f.pixels[0] = 0x00FFFFFFu;
    f.pixels[1] = TransparentColor;
    f.pixels[2] = 0x00010101u;
    f.pixels[3] = 0xAB818181u;
    darkenFrame(f.pixels.data());
    EXPECT_EQ(f.pixels[0], 0x007F7F7Fu);
    EXPECT_EQ(f.pixels[1], 0x007F007Fu);
    EXPECT_EQ(f.pixels[2], 0u);
    EXPECT_EQ(f.pixels[3], 0x00404040u);
    EXPECT_EQ(f.pixels[FramePixels - 1], 0x00081018u);
    darkenFrame(f.pixels.data());
    EXPECT_EQ(f.pixels[0], 0x003F3F3Fu);
}

TEST(DarkenFrame, GivesTheSameResultAtEveryAlignmentAndStaysInsideTheFrame) {
    // The loop works in aligned blocks with single pixels at either end, so
    // try the frame at every 4-byte offset within 32 bytes.
    std::vector<Pixel> memory(FramePixels + 16);
    for (int shift = 0; shift < 8; ++shift) {
        for (std::size_t i = 0; i < memory.size(); ++i)
            memory[i] = static_cast<Pixel>(i * 2654435761u);
        const std::vector<Pixel> before = memory;
        Pixel* frame = memory.data() + 1 + shift;
        darkenFrame(frame);
        for (std::size_t i = 0; i < memory.size(); ++i) {
            const bool inside =
                i >= static_cast<std::size_t>(1 + shift) && i < static_cast<std::size_t>(1 + shift + FramePixels);
            const Pixel expected = inside ? ((before[i] >> 1) & 0x007F7F7Fu) : before[i];
            ASSERT_EQ(memory[i], expected) << "shift " << shift << " index " << i;
        }
    }
}
