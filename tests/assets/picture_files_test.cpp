// The nineteen picture files: sizes, transparency, the road's repeat, and
// the few rules of the look that the game depends on.
#include "data_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using assettest::readData;

constexpr std::uint32_t Key = 0xFF00FF;

struct Picture {
    int w = 0;
    int h = 0;
    std::vector<std::uint32_t> px;
    std::uint32_t at(int x, int y) const { return px[static_cast<std::size_t>(y * w + x)]; }
};

// Loads a raw picture of w × h pixels (the first w × h of the file).
Picture load(const std::string& name, int w, int h) {
    const std::vector<std::uint8_t> bytes = readData(name);
    Picture p{w, h, {}};
    for (std::size_t i = 0; i + 2 < bytes.size() && p.px.size() < static_cast<std::size_t>(w * h); i += 3)
        p.px.push_back(static_cast<std::uint32_t>(bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2]));
    if (p.px.size() != static_cast<std::size_t>(w * h))
        ADD_FAILURE() << name << " is too short for " << w << " x " << h;
    p.px.resize(static_cast<std::size_t>(w * h));
    return p;
}

int luma(std::uint32_t c) { return (2 * int(c >> 16 & 255) + 5 * int(c >> 8 & 255) + int(c & 255)) / 8; }

std::vector<std::string> sprites30() {
    return {"gentil.raw", "mechant.raw", "explosion1.raw", "explosion2.raw", "explosion3.raw"};
}

std::vector<std::string> digitFiles() {
    std::vector<std::string> names;
    for (int d = 0; d <= 9; ++d)
        names.push_back(std::to_string(d) + ".raw");
    return names;
}

// Key pixels that cannot be reached from the picture's edge through other
// key pixels: holes inside a shape, through which the road would show.
int enclosedKeyPixels(const Picture& p) {
    std::vector<char> seen(p.px.size(), 0);
    std::vector<int> stack;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            if ((x == 0 || y == 0 || x == p.w - 1 || y == p.h - 1) && p.at(x, y) == Key) {
                seen[static_cast<std::size_t>(y * p.w + x)] = 1;
                stack.push_back(y * p.w + x);
            }
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const int x = i % p.w, y = i / p.w;
        const int next[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
        for (const auto& n : next) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= p.w || n[1] >= p.h)
                continue;
            const int j = n[1] * p.w + n[0];
            if (!seen[static_cast<std::size_t>(j)] && p.px[static_cast<std::size_t>(j)] == Key) {
                seen[static_cast<std::size_t>(j)] = 1;
                stack.push_back(j);
            }
        }
    }
    int holes = 0;
    for (std::size_t i = 0; i < p.px.size(); ++i)
        holes += p.px[i] == Key && !seen[i];
    return holes;
}

TEST(PictureFiles, HaveExactlyTheirSizes) {
    struct Expected {
        std::string name;
        std::size_t pixels;
    };
    std::vector<Expected> files = {
        {"route.raw", 320 * 201}, {"titre.raw", 64000}, {"perdu.raw", 64000}, {"score.raw", 810}};
    for (const std::string& n : sprites30())
        files.push_back({n, 900});
    for (const std::string& n : digitFiles())
        files.push_back({n, 128});
    ASSERT_EQ(files.size(), 19u);
    for (const Expected& f : files)
        EXPECT_EQ(readData(f.name).size(), f.pixels * 3) << f.name;
}

TEST(PictureFiles, RoadRepeatsEveryFortyPixelsAndIsOpaque) {
    const Picture road = load("route.raw", 320, 201);
    int breaks = 0, keys = 0;
    for (int y = 0; y < road.h; ++y)
        for (int x = 0; x < road.w; ++x) {
            keys += road.at(x, y) == Key;
            if (x + 40 < road.w)
                breaks += road.at(x, y) != road.at(x + 40, y);
        }
    EXPECT_EQ(breaks, 0);
    EXPECT_EQ(keys, 0);
}

// The road is copied as one block, so the right edge of frame row y comes
// from the start of road row y + 1; the spare last row must carry on the
// bottom row, or the frame's corner would flicker.
TEST(PictureFiles, RoadSpareRowContinuesTheBottomRow) {
    const Picture road = load("route.raw", 320, 201);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(road.at(x, 200), road.at(x, 199)) << "column " << x;
}

// The score is drawn at columns 222..318, rows 1..16: the road under it
// must not be busy across.
TEST(PictureFiles, RoadIsCalmUnderTheScore) {
    const Picture road = load("route.raw", 320, 201);
    long change = 0, count = 0;
    for (int y = 1; y <= 16; ++y)
        for (int x = 222; x < 318; ++x, ++count)
            change += std::abs(luma(road.at(x + 1, y)) - luma(road.at(x, y)));
    EXPECT_LT(change / count, 10) << "mean change of brightness between neighbours";
}

TEST(PictureFiles, SpritesStandOnTransparentEdges) {
    for (const std::string& name : sprites30()) {
        const Picture p = load(name, 30, 30);
        int opaqueEdge = 0, opaque = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) {
                const bool edge = x == 0 || y == 0 || x == 29 || y == 29;
                opaqueEdge += edge && p.at(x, y) != Key;
                opaque += p.at(x, y) != Key;
            }
        EXPECT_EQ(opaqueEdge, 0) << name;
        EXPECT_GT(opaque, 300) << name << " hardly shows";
    }
    // Digits and label fill their boxes with an outlined glyph, which
    // fills the narrow counters too; some of the box stays clear.
    std::vector<std::pair<std::string, Picture>> small;
    for (const std::string& name : digitFiles())
        small.emplace_back(name, load(name, 8, 16));
    small.emplace_back("score.raw", load("score.raw", 49, 16));
    for (const auto& [name, p] : small) {
        int keys = 0;
        for (std::uint32_t c : p.px)
            keys += c == Key;
        EXPECT_GT(keys, 0) << name;
        EXPECT_LT(keys, static_cast<int>(p.px.size()) * 3 / 4) << name;
    }
}

TEST(PictureFiles, NoTransparentHolesInsideShapes) {
    std::vector<std::pair<std::string, Picture>> all;
    for (const std::string& name : sprites30())
        all.emplace_back(name, load(name, 30, 30));
    for (const std::string& name : digitFiles())
        all.emplace_back(name, load(name, 8, 16));
    all.emplace_back("score.raw", load("score.raw", 49, 16));
    all.emplace_back("perdu.raw", load("perdu.raw", 320, 200));
    for (const auto& [name, p] : all)
        EXPECT_EQ(enclosedKeyPixels(p), 0) << name;
}

TEST(PictureFiles, ScoreLabelTailIsTransparent) {
    const Picture label = load("score.raw", 810, 1);
    for (int i = 784; i < 810; ++i)
        EXPECT_EQ(label.px[static_cast<std::size_t>(i)], Key) << "pixel " << i;
}

TEST(PictureFiles, TitleIsFullyOpaque) {
    const Picture title = load("titre.raw", 320, 200);
    int keys = 0;
    for (std::uint32_t c : title.px)
        keys += c == Key;
    EXPECT_EQ(keys, 0);
}

// Any colour but the exact key is drawn; one close to it would look like
// a mistake on screen.
TEST(PictureFiles, NoColoursCloseToTheKey) {
    const std::vector<std::pair<std::string, int>> files = {
        {"route.raw", 64320},    {"titre.raw", 64000},    {"perdu.raw", 64000},
        {"score.raw", 810},      {"gentil.raw", 900},     {"mechant.raw", 900},
        {"explosion1.raw", 900}, {"explosion2.raw", 900}, {"explosion3.raw", 900}};
    for (const auto& [name, n] : files) {
        const Picture p = load(name, n, 1);
        for (std::uint32_t c : p.px) {
            const int d = std::abs(int(c >> 16 & 255) - 255) + int(c >> 8 & 255) + std::abs(int(c & 255) - 255);
            if (c != Key && d < 90) {
                ADD_FAILURE() << name << " has the near-key colour " << std::hex << c;
                break;
            }
        }
    }
}

TEST(PictureFiles, GameOverShowsTheSceneAndBacksTheScore) {
    const Picture over = load("perdu.raw", 320, 200);
    int keys = 0;
    for (std::uint32_t c : over.px)
        keys += c == Key;
    EXPECT_GT(keys, 64000 / 2) << "the darkened scene should show through most of it";
    // The six digits land on rows 128..143, columns 163..210: the picture
    // gives them a dark, opaque ground.
    for (int y = 128; y <= 143; ++y)
        for (int x = 163; x <= 210; ++x) {
            ASSERT_NE(over.at(x, y), Key) << x << "," << y;
            ASSERT_LT(luma(over.at(x, y)), 60) << x << "," << y;
        }
}

// Brighter as in more vivid: the strongest channel of the body's colours.
TEST(PictureFiles, CarsDifferAndThePlayersIsBrighter) {
    const Picture player = load("gentil.raw", 30, 30);
    const Picture enemy = load("mechant.raw", 30, 30);
    auto meanValue = [](const Picture& p) {
        long sum = 0, n = 0;
        for (std::uint32_t c : p.px)
            if (c != Key && luma(c) > 60) { // the body, not outline and shadow
                sum += std::max({c >> 16 & 255, c >> 8 & 255, c & 255});
                ++n;
            }
        return n ? sum / n : 0;
    };
    int differing = 0;
    for (std::size_t i = 0; i < player.px.size(); ++i)
        differing += player.px[i] != enemy.px[i];
    EXPECT_GT(differing, 300);
    EXPECT_GT(meanValue(player), meanValue(enemy) + 20);
}

TEST(PictureFiles, DigitsAreAllDifferent) {
    std::vector<Picture> digits;
    for (const std::string& name : digitFiles())
        digits.push_back(load(name, 8, 16));
    for (std::size_t a = 0; a < digits.size(); ++a)
        for (std::size_t b = a + 1; b < digits.size(); ++b)
            EXPECT_NE(digits[a].px, digits[b].px) << a << " and " << b;
}

} // namespace
