// How the game window tests read the window: the picture's pixels out of
// a grab, what a frame shows, and the picture of a paused game.
#include "window_check.h"

#include "window/pause_picture.h"
#include "render/frame_buffer.h"
#include "render/image_assets.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace window_check {
namespace {

using vexlo::Pixel;
using vexlo::ScreenHeight;
using vexlo::ScreenWidth;
using vexlo::TransparentColor;

// The game's fixed places on screen.
constexpr int PlayerColumn = 10;
constexpr int MaxPlayerRow = 170;
constexpr int SpriteSide = 30;
constexpr int DigitWidth = 8;
constexpr int DigitHeight = 16;
constexpr int ScoreUnitsColumn = 311;
constexpr int FinalUnitsColumn = 203;
constexpr int FinalRow = 128;
constexpr int LabelColumn = 222;
constexpr int LabelWidth = 49;

std::vector<Pixel> readPixels(const std::string& path, std::size_t count) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && !in.good())
        die("cannot read " + path);
    if (bytes.size() != count * 4)
        die(path + " holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(count * 4));
    std::vector<Pixel> pixels(count);
    for (std::size_t i = 0; i < count; ++i) {
        Pixel p = 0;
        for (int b = 0; b < 4; ++b)
            p |= static_cast<Pixel>(static_cast<unsigned char>(bytes[i * 4 + b])) << (8 * b);
        pixels[i] = p & 0xFFFFFFu;
    }
    return pixels;
}

void writePixels(const std::string& path, const std::vector<Pixel>& pixels) {
    std::ofstream out(path, std::ios::binary);
    for (const Pixel p : pixels) {
        const char bytes[4] = {static_cast<char>(p & 0xFF), static_cast<char>((p >> 8) & 0xFF),
                               static_cast<char>((p >> 16) & 0xFF), 0};
        out.write(bytes, 4);
    }
    if (!out)
        die("cannot write " + path);
}

// How many of the sprite's drawn pixels the frame shows at (x, y), and how
// many it draws there (the sprite must lie wholly inside the frame).
struct Match {
    int same = 0;
    int drawn = 0;
    bool whole() const { return drawn > 0 && same == drawn; }
};

Match matchSprite(const std::vector<Pixel>& frame, const Pixel* sprite, int x, int y, int width, int height) {
    Match m;
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const Pixel s = sprite[r * width + c];
            if (s == TransparentColor)
                continue;
            ++m.drawn;
            if (frame[static_cast<std::size_t>(y + r) * ScreenWidth + x + c] == s)
                ++m.same;
        }
    return m;
}

// The six digits whose units digit has its left edge at `unitsColumn`, or
// nothing when a place shows no digit. Where several digits fit (one
// digit's drawn pixels may be part of another's), the one that draws most.
std::optional<long> readDigits(const std::vector<Pixel>& frame, int unitsColumn, int row) {
    long value = 0;
    for (int k = 5; k >= 0; --k) {
        int best = -1, bestDrawn = 0;
        for (int d = 0; d < 10; ++d) {
            const Match m = matchSprite(frame, vexlo::imageAssets.digits[d], unitsColumn - DigitWidth * k, row,
                                        DigitWidth, DigitHeight);
            if (m.whole() && m.drawn > bestDrawn) {
                best = d;
                bestDrawn = m.drawn;
            }
        }
        if (best < 0)
            return std::nullopt;
        value = value * 10 + best;
    }
    return value;
}

// The road's scroll: the shift of the road picture that most of the frame
// agrees with (cars and the score cover the rest). -1 when under 60 % agree.
int readRoad(const std::vector<Pixel>& frame) {
    int best = -1, bestSame = 0;
    for (int k = 0; k < vexlo::RoadPeriod; ++k) {
        int same = 0;
        for (int i = 0; i < vexlo::FramePixels; ++i)
            same += frame[static_cast<std::size_t>(i)] == vexlo::imageAssets.road[k + i] ? 1 : 0;
        if (same > bestSame) {
            best = k;
            bestSame = same;
        }
    }
    return bestSame * 10 >= vexlo::FramePixels * 6 ? best : -1;
}

// The player's picture at its column: the row and picture that match best,
// if at least 60 % of its pixels (enemy cars are drawn over it).
std::string readPlayer(const std::vector<Pixel>& frame) {
    const std::pair<const char*, const Pixel*> pictures[] = {
        {"car", vexlo::imageAssets.car},
        {"explosion1", vexlo::imageAssets.explosion1},
        {"explosion2", vexlo::imageAssets.explosion2},
        {"explosion3", vexlo::imageAssets.explosion3},
    };
    std::string best = "none";
    double bestShare = 0.6;
    for (const auto& [name, picture] : pictures)
        for (int y = 0; y <= MaxPlayerRow; ++y) {
            const Match m = matchSprite(frame, picture, PlayerColumn, y, SpriteSide, SpriteSide);
            const double share = m.drawn > 0 ? static_cast<double>(m.same) / m.drawn : 0.0;
            if (share > bestShare) {
                bestShare = share;
                best = std::string(name) + ":" + std::to_string(y);
            }
        }
    return best;
}

} // namespace

int sample(const std::string& in, int width, int height, const std::string& out) {
    if (width < ScreenWidth || height < ScreenHeight)
        die("the area is smaller than the picture");
    const std::vector<Pixel> area = readPixels(in, static_cast<std::size_t>(width) * height);
    const bool whole = width % ScreenWidth == 0 && height % ScreenHeight == 0;
    std::vector<Pixel> picture(static_cast<std::size_t>(ScreenWidth) * ScreenHeight);
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x) {
            const int ax = static_cast<int>((2LL * x + 1) * width / (2 * ScreenWidth));
            const int ay = static_cast<int>((2LL * y + 1) * height / (2 * ScreenHeight));
            const Pixel p = area[static_cast<std::size_t>(ay) * width + ax];
            picture[static_cast<std::size_t>(y) * ScreenWidth + x] = p;
            if (!whole)
                continue;
            const int sx = width / ScreenWidth, sy = height / ScreenHeight;
            for (int by = y * sy; by < (y + 1) * sy; ++by)
                for (int bx = x * sx; bx < (x + 1) * sx; ++bx)
                    if (area[static_cast<std::size_t>(by) * width + bx] != p)
                        die("not crisp: picture pixel " + std::to_string(x) + "," + std::to_string(y) +
                            " is not one colour");
        }
    writePixels(out, picture);
    return 0;
}

int describe(const std::string& path) {
    if (vexlo::loadAssets() == 0)
        die("cannot read the game's pictures under data/");
    const std::vector<Pixel> frame = readPixels(path, vexlo::FramePixels);
    const Pixel* title = vexlo::imageAssets.title;

    // The title, whole or revealed down to some row, and black below.
    int rows = 0;
    while (rows < ScreenHeight && std::equal(frame.begin() + rows * ScreenWidth,
                                             frame.begin() + (rows + 1) * ScreenWidth, title + rows * ScreenWidth))
        ++rows;
    bool blackBelow = true;
    for (std::size_t i = static_cast<std::size_t>(rows) * ScreenWidth; i < frame.size(); ++i)
        blackBelow = blackBelow && frame[i] == 0;
    if (rows == 0 && blackBelow) {
        std::printf("screen=black\n");
        return 0;
    }
    if (rows == ScreenHeight) {
        std::printf("screen=title\n");
        return 0;
    }
    if (blackBelow) {
        std::printf("screen=reveal rows=%d\n", rows);
        return 0;
    }

    // The game-over picture over the darkened scene, with the final score
    // drawn over it (its place is left out of the comparison).
    Match over;
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x) {
            const bool underScore = y >= FinalRow && y < FinalRow + DigitHeight &&
                                    x >= FinalUnitsColumn - 5 * DigitWidth && x < FinalUnitsColumn + DigitWidth;
            const Pixel s = vexlo::imageAssets.gameOver[y * ScreenWidth + x];
            if (underScore || s == TransparentColor)
                continue;
            ++over.drawn;
            over.same += frame[static_cast<std::size_t>(y) * ScreenWidth + x] == s ? 1 : 0;
        }
    if (over.whole()) {
        const auto final = readDigits(frame, FinalUnitsColumn, FinalRow);
        std::printf("screen=gameover final=%s\n", final ? std::to_string(*final).c_str() : "none");
        return 0;
    }

    // Play: the score's label in its place.
    if (matchSprite(frame, vexlo::imageAssets.scoreLabel, LabelColumn, 1, LabelWidth, DigitHeight).whole()) {
        const auto score = readDigits(frame, ScoreUnitsColumn, 1);
        std::printf("screen=play score=%s road=%d player=%s\n", score ? std::to_string(*score).c_str() : "none",
                    readRoad(frame), readPlayer(frame).c_str());
        return 0;
    }
    std::printf("screen=other\n");
    return 0;
}

int same(const std::string& a, const std::string& b) {
    const std::vector<Pixel> first = readPixels(a, vexlo::FramePixels);
    const std::vector<Pixel> second = readPixels(b, vexlo::FramePixels);
    int equal = 0;
    for (int i = 0; i < vexlo::FramePixels; ++i)
        equal += first[static_cast<std::size_t>(i)] == second[static_cast<std::size_t>(i)] ? 1 : 0;
    std::printf("%d\n", equal * 100 / vexlo::FramePixels);
    return 0;
}

int paused(const std::string& in, const std::string& out) {
    const std::vector<Pixel> frame = readPixels(in, vexlo::FramePixels);
    std::vector<Pixel> picture(frame.size());
    ptc::window::drawPausePicture(frame.data(), picture.data());
    writePixels(out, picture);
    return 0;
}

} // namespace window_check
