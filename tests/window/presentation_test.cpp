// Where the picture goes in the window and how it is scaled crisp: the
// first window's size, the letterbox, the crisp intermediate, the
// processor's scaler and the aspect the environment asks for.
#include "ptc/ptc.h"
#include "window/pixel_scaler.h"
#include "window/presentation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace ptc::window;

TEST(Presentation, FirstWindowIsTheLargestWholeMultipleThatFits) {
    // A 1920 x 1080 desktop less a 40-pixel panel: 4 x (320 x 240).
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {1920, 1040}), (Size{1280, 960}));
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {1600, 1200}), (Size{1600, 1200}));
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {1000, 700}), (Size{640, 480}));
    EXPECT_EQ(fittingWindow(Aspect::SquarePixels, {1000, 700}), (Size{960, 600}));
    // Never smaller than the picture itself.
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {300, 200}), (Size{320, 240}));
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {0, 0}), (Size{320, 240}));
}

TEST(Presentation, LetterboxKeepsTheProportionsCentredWithBars) {
    EXPECT_EQ(letterbox(Aspect::FourByThree, {1280, 960}), (Rect{0, 0, 1280, 960}));
    EXPECT_EQ(letterbox(Aspect::FourByThree, {1920, 1080}), (Rect{240, 0, 1440, 1080}));
    EXPECT_EQ(letterbox(Aspect::FourByThree, {1000, 800}), (Rect{0, 25, 1000, 750}));
    EXPECT_EQ(letterbox(Aspect::SquarePixels, {960, 700}), (Rect{0, 50, 960, 600}));
    EXPECT_EQ(letterbox(Aspect::SquarePixels, {1920, 1080}), (Rect{96, 0, 1728, 1080}));
    // A minimised window has no place for the picture.
    EXPECT_EQ(letterbox(Aspect::FourByThree, {0, 480}), Rect{});

    // Any size: inside the output, filling it one way, centred to the pixel,
    // within half a pixel of the exact proportions.
    for (const Aspect aspect : {Aspect::FourByThree, Aspect::SquarePixels}) {
        const Size shape = shownShape(aspect);
        for (int w = 1; w <= 2200; w += 13)
            for (int h = 1; h <= 1700; h += 11) {
                const Rect r = letterbox(aspect, {w, h});
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
                ASSERT_TRUE(r.width == w || r.height == h);
                ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= w && r.y + r.height <= h);
                ASSERT_LE(std::abs((w - r.width - r.x) - r.x), 1);
                ASSERT_LE(std::abs((h - r.height - r.y) - r.y), 1);
                const double exactWidth = static_cast<double>(r.height) * shape.width / shape.height;
                const double exactHeight = static_cast<double>(r.width) * shape.height / shape.width;
                ASSERT_TRUE(std::abs(r.width - exactWidth) <= 0.5 || std::abs(r.height - exactHeight) <= 0.5);
            }
    }
}

TEST(Presentation, CrispSizeIsTheSmallestWholeMultipleAtLeastAsBigAsThePlace) {
    // 4 x 4.8: four columns, five rows per pixel, then shrunk to 960 rows.
    EXPECT_EQ(crispSize({1280, 960}, {}), (Size{1280, 1000}));
    EXPECT_EQ(crispSize({640, 480}, {}), (Size{640, 600}));
    // Exact multiples are their own size: nothing to blend.
    EXPECT_EQ(crispSize({1600, 1200}, {}), (Size{1600, 1200}));
    EXPECT_EQ(crispSize({960, 600}, {}), (Size{960, 600}));
    EXPECT_EQ(crispSize({1000, 750}, {}), (Size{1280, 800}));
    // Smaller than the picture: the picture itself.
    EXPECT_EQ(crispSize({100, 60}, {}), (Size{320, 200}));
    // A renderer's limit cuts the factors, never below one.
    EXPECT_EQ(crispSize({4000, 3000}, {2048, 2048}), (Size{1920, 2000}));
    EXPECT_EQ(crispSize({4000, 3000}, {100, 100}), (Size{320, 200}));

    // The linear step only shrinks, and by less than half.
    for (int w = 320; w <= 4000; w += 7)
        for (int h = 200; h <= 3000; h += 9) {
            const Size s = crispSize({w, h}, {});
            ASSERT_EQ(s.width % 320, 0);
            ASSERT_EQ(s.height % 200, 0);
            ASSERT_TRUE(s.width >= w && s.width < 2 * w) << w;
            ASSERT_TRUE(s.height >= h && s.height < 2 * h) << h;
        }
}

// The processor's scaling looks like the renderer's: every picture pixel a
// run of hard colour, at most one blended pixel between two runs, and the
// blends only ever between neighbours.
TEST(PixelScaler, HardBlocksWithAtMostOneBlendAtEachEdge) {
    for (const auto& [from, to] :
         {std::pair{200, 960}, {320, 1280}, {200, 750}, {320, 1000}, {200, 1200}, {320, 693}}) {
        const std::vector<Tap> taps = scaleTaps(from, to);
        int blends = 0, runs = 0, last = -1;
        for (std::size_t i = 0; i < taps.size(); ++i) {
            const Tap& t = taps[i];
            if (t.weight != 0) {
                ++blends;
                ASSERT_EQ(t.second, t.first + 1) << from << " to " << to << " at " << i;
                ASSERT_TRUE(i > 0 && taps[i - 1].weight == 0) << "two blends touch at " << i;
                continue;
            }
            if (t.first != last) {
                ASSERT_EQ(t.first, last + 1) << "a picture pixel left out at " << i;
                ++runs;
            }
            last = t.first;
        }
        EXPECT_EQ(runs, from) << from << " to " << to;
        if (to % from == 0) {
            EXPECT_EQ(blends, 0) << from << " to " << to;
        }
    }
    // 4.8 rows a pixel at 960: one row in six blended, as on the renderer.
    int blended = 0;
    for (const Tap& t : scaleTaps(200, 960))
        blended += t.weight != 0;
    EXPECT_EQ(blended, 160);
}

// Where an output pixel straddles two picture pixels, its colour leans to
// the one it covers more of: on stripes of black and white, each output
// pixel is about as bright as the share of white it covers, across and down.
TEST(PixelScaler, ABlendedPixelLeansToThePictureItCoversMost) {
    auto whiteShare = [](int index, int from, int to) { // of output pixel index
        const double low = double(index) * from / to, high = double(index + 1) * from / to;
        double white = 0;
        for (int p = static_cast<int>(low); p < high; ++p)
            if (p % 2 == 1)
                white += std::min(high, p + 1.0) - std::max(low, double(p));
        return white / (high - low);
    };
    std::vector<std::uint32_t> across(static_cast<std::size_t>(ptc::DisplayWidth) * ptc::DisplayHeight);
    std::vector<std::uint32_t> down(across.size());
    for (int y = 0; y < ptc::DisplayHeight; ++y)
        for (int x = 0; x < ptc::DisplayWidth; ++x) {
            across[static_cast<std::size_t>(y * ptc::DisplayWidth + x)] = x % 2 ? 0xFFFFFFu : 0u;
            down[static_cast<std::size_t>(y * ptc::DisplayWidth + x)] = y % 2 ? 0xFFFFFFu : 0u;
        }
    for (const auto& [width, height] : {std::pair{1000, 750}, {693, 960}}) {
        std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
        PixelScaler scaler;
        scaler.scale(across.data(), out.data(), width, height, static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x)
            ASSERT_NEAR(double(out[static_cast<std::size_t>(x)] & 0xFF),
                        255 * whiteShare(x, ptc::DisplayWidth, width), 48)
                << "column " << x << " of " << width;
        scaler.scale(down.data(), out.data(), width, height, static_cast<std::size_t>(width));
        for (int y = 0; y < height; ++y)
            ASSERT_NEAR(double(out[static_cast<std::size_t>(y) * width] & 0xFF),
                        255 * whiteShare(y, ptc::DisplayHeight, height), 48)
                << "row " << y << " of " << height;
    }
}

TEST(PixelScaler, ScalesIntoARectangleOfALargerSurface) {
    std::vector<std::uint32_t> picture(320 * 200);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFFu;
    // 640 x 400 at (5, 3) of a 700-pixel-wide surface: exact 2 x 2 blocks,
    // opaque, and nothing written outside.
    std::vector<std::uint32_t> surface(700 * 410, 0xDEADBEEFu);
    PixelScaler scaler;
    scaler.scale(picture.data(), surface.data() + 3 * 700 + 5, 640, 400, 700, 0xFF000000u);
    for (int y = 0; y < 410; ++y)
        for (int x = 0; x < 700; ++x) {
            const std::uint32_t seen = surface[static_cast<std::size_t>(y) * 700 + x];
            const bool inside = x >= 5 && x < 645 && y >= 3 && y < 403;
            const std::uint32_t want =
                inside ? picture[static_cast<std::size_t>((y - 3) / 2) * 320 + (x - 5) / 2] | 0xFF000000u
                       : 0xDEADBEEFu;
            ASSERT_EQ(seen, want) << x << "," << y;
        }
}

TEST(Presentation, AspectCorrectionIsOnUnlessTheEnvironmentTurnsItOff) {
    const char* saved = std::getenv("VEXLO_ASPECT");
    const std::string before = saved != nullptr ? saved : "";
    unsetenv("VEXLO_ASPECT");
    EXPECT_EQ(aspectFromEnvironment(), Aspect::FourByThree);
    setenv("VEXLO_ASPECT", "on", 1);
    EXPECT_EQ(aspectFromEnvironment(), Aspect::FourByThree);
    setenv("VEXLO_ASPECT", "off", 1);
    EXPECT_EQ(aspectFromEnvironment(), Aspect::SquarePixels);
    setenv("VEXLO_ASPECT", "0", 1);
    EXPECT_EQ(aspectFromEnvironment(), Aspect::SquarePixels);
    if (saved != nullptr)
        setenv("VEXLO_ASPECT", before.c_str(), 1);
    else
        unsetenv("VEXLO_ASPECT");
}

} // namespace
