// What the game window tests read off the screen and the speakers:
//
//   window_check sample IN WIDTH HEIGHT OUT
//       IN holds WIDTH x HEIGHT pixels grabbed from the picture's place in
//       the window (4 bytes each, 0x00RRGGBB lowest byte first, as x11_tool
//       grab and the replay tool's --dump write them). Writes to OUT the
//       320 x 200 picture as shown: the middle pixel of each picture pixel's
//       block. At a whole multiple each block must be of one colour.
//   window_check describe FRAME
//       What a 320 x 200 frame shows, as words "name=value" on one line:
//         screen=black|reveal|title|play|gameover|other
//         rows=R        (reveal) the title's rows 0 .. R-1 above black
//         score=N       (play) the six digits at the top right, under the label
//         road=K        (play) the road's scroll, 0 .. 39, read off the road
//         player=car:Y|explosion1:Y|explosion2:Y|explosion3:Y|none
//                       (play) the player's picture at column 10, row Y
//         final=N       (gameover) the score on the game-over picture
//       Run it where data/ is: it reads the game's own pictures.
//   window_check same A B
//       Prints how many in a hundred of the pixels of two 320 x 200 frames
//       are the same (rounded down).
//   window_check paused FRAME OUT
//       Writes to OUT the picture the window shows while the game is
//       paused on FRAME (a 320 x 200 frame, as above).
//   window_check levels FILE MS
//       FILE holds 16-bit stereo samples at 44.1 kHz (SDL's disk audio
//       output). Prints one line "START_MS RMS" per MS milliseconds, RMS of
//       both channels as a fraction of full scale.
//   window_check find SOUND FILE
//       Where in FILE (as above) the start of the sound file SOUND plays,
//       mixed with whatever else: prints "best MS CORRELATION" for the
//       place that matches best and "next MS CORRELATION" for the best
//       place at least a second away from it. The correlation is
//       normalised: near 1 where the sound stands out clearly, near 0 where
//       it is absent.
#include "window/pause_picture.h"
#include "render/frame_buffer.h"
#include "render/image_assets.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

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

[[noreturn]] void die(const std::string& why) {
    std::fprintf(stderr, "window_check: %s\n", why.c_str());
    std::exit(1);
}

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

int describe(const std::string& path) {
    if (vexlo::loadAssets() == 0)
        die("cannot read the game's pictures under data/");
    const std::vector<Pixel> frame = readPixels(path, vexlo::FramePixels);
    const Pixel* title = vexlo::imageAssets.title;

    // The title, whole or revealed down to some row, and black below.
    int rows = 0;
    while (rows < ScreenHeight &&
           std::equal(frame.begin() + rows * ScreenWidth, frame.begin() + (rows + 1) * ScreenWidth,
                      title + rows * ScreenWidth))
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

int levels(const std::string& path, int ms) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        die("cannot read " + path);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t samples = bytes.size() / 2;
    const std::size_t window = static_cast<std::size_t>(44100LL * ms / 1000) * 2;  // both channels
    for (std::size_t start = 0; start + window <= samples; start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
            const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
            sum += static_cast<double>(value) * value;
        }
        std::printf("%lld %.5f\n", static_cast<long long>(start / 2 * 1000 / 44100),
                    std::sqrt(sum / static_cast<double>(window)) / 32768.0);
    }
    return 0;
}

// Mono at a quarter of 44.1 kHz: the explosion's weight is in its low
// notes, and a quarter of the samples makes the search quick.
constexpr int Decimation = 4;
constexpr int ReducedRate = 44100 / Decimation;

std::vector<float> reduce(const std::int16_t* stereo, std::size_t frames) {
    std::vector<float> out(frames / Decimation);
    for (std::size_t i = 0; i < out.size(); ++i) {
        float sum = 0;
        for (std::size_t j = 0; j < Decimation; ++j) {
            const std::size_t f = i * Decimation + j;
            sum += static_cast<float>(stereo[2 * f]) + static_cast<float>(stereo[2 * f + 1]);
        }
        out[i] = sum / (2.0f * Decimation * 32768.0f);
    }
    return out;
}

// The sound file decoded by SDL_mixer into 16-bit stereo at 44.1 kHz, the
// form the game's sound layer plays it in.
std::vector<float> decodeSound(const std::string& path) {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudioDevice(44100, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0)
        die(std::string("cannot start the sound: ") + SDL_GetError());
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (chunk == nullptr)
        die("cannot decode " + path + ": " + Mix_GetError());
    const std::vector<float> samples =
        reduce(reinterpret_cast<const std::int16_t*>(chunk->abuf), chunk->alen / 4);
    Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    SDL_Quit();
    return samples;
}

int find(const std::string& soundPath, const std::string& capturePath) {
    std::vector<float> sound = decodeSound(soundPath);
    // The first 0.8 s: the loud part, which the music does not cover.
    sound.resize(std::min<std::size_t>(sound.size(), ReducedRate * 8 / 10));
    std::ifstream in(capturePath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> stereo(bytes.size() / 2);
    std::memcpy(stereo.data(), bytes.data(), stereo.size() * 2);
    const std::vector<float> capture = reduce(stereo.data(), stereo.size() / 2);
    const std::size_t n = sound.size();
    if (n == 0 || capture.size() < n)
        die("the capture is shorter than the sound");

    double soundEnergy = 0;
    for (const float v : sound)
        soundEnergy += static_cast<double>(v) * v;
    std::vector<double> energy(capture.size() + 1, 0.0);  // prefix sums of squares
    for (std::size_t i = 0; i < capture.size(); ++i)
        energy[i + 1] = energy[i] + static_cast<double>(capture[i]) * capture[i];
    std::vector<float> correlation(capture.size() - n + 1, 0.0f);
    for (std::size_t at = 0; at < correlation.size(); ++at) {
        float dot = 0;
        for (std::size_t i = 0; i < n; ++i)
            dot += sound[i] * capture[at + i];
        const double window = energy[at + n] - energy[at];
        if (window > 1e-12)
            correlation[at] = static_cast<float>(dot / std::sqrt(soundEnergy * window));
    }
    const auto best = static_cast<std::size_t>(
        std::max_element(correlation.begin(), correlation.end()) - correlation.begin());
    std::size_t next = best;
    for (std::size_t at = 0; at < correlation.size(); ++at) {
        const std::size_t apart = at > best ? at - best : best - at;
        if (apart >= ReducedRate && (next == best || correlation[at] > correlation[next]))
            next = at;
    }
    std::printf("best %zu %.3f\nnext %zu %.3f\n", best * 1000 / ReducedRate, correlation[best],
                next * 1000 / ReducedRate, next == best ? 0.0f : correlation[next]);
    return 0;
}

int number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value <= 0 || value > 100000)
        die(std::string("not a size: ") + text);
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "sample" && argc == 6)
        return sample(argv[2], number(argv[3]), number(argv[4]), argv[5]);
    if (command == "describe" && argc == 3)
        return describe(argv[2]);
    if (command == "same" && argc == 4)
        return same(argv[2], argv[3]);
    if (command == "paused" && argc == 4)
        return paused(argv[2], argv[3]);
    if (command == "levels" && argc == 4)
        return levels(argv[2], number(argv[3]));
    if (command == "find" && argc == 4)
        return find(argv[2], argv[3]);
    std::fprintf(stderr, "usage: window_check sample IN WIDTH HEIGHT OUT | describe FRAME | same A B |\n"
                         "       paused FRAME OUT | levels FILE MS | find SOUND FILE\n");
    return 2;
}
