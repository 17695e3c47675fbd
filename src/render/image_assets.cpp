#include "render/image_assets.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vexlo {

ImageAssets imageAssets;

int readRawImage(const char* path, Pixel* destination, int count) {
    if (count < 0)
        count = 0;
    // Zeroed, so that whatever a short file leaves out reads as black.
    std::vector<unsigned char> staging(static_cast<std::size_t>(count) * 3, 0);
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "vexlo-race: cannot open %s: %s\n", path, std::strerror(errno));
        return 0;
    }
    // Short and long files are both accepted: what the file lacks stays
    // black, what it has beyond count pixels is ignored.
    std::fread(staging.data(), 1, staging.size(), file);
    // A read that fails outright (the path is a directory, an I/O error) is
    // not a short file: it is reported like a file that cannot be opened.
    const bool failed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        std::fprintf(stderr, "vexlo-race: cannot read %s: %s\n", path, std::strerror(readErrno));
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        const unsigned char* p = &staging[static_cast<std::size_t>(i) * 3];
        destination[i] = (Pixel{p[0]} << 16) | (Pixel{p[1]} << 8) | Pixel{p[2]};
    }
    return 1;
}

namespace {

// The buffers behind imageAssets. They are obtained once and live until the
// process ends; a second load (tests do that) reuses them.
struct Storage {
    std::vector<Pixel> car, enemy, road, title, scoreLabel, digits[10], explosion1, explosion2, explosion3,
        gameOver;
};

Pixel* obtain(std::vector<Pixel>& buffer, int capacity) {
    buffer.assign(static_cast<std::size_t>(capacity), 0u);
    return buffer.data();
}

} // namespace

int loadAssets() {
    static Storage storage;
    ImageAssets& a = imageAssets;
    a.car = obtain(storage.car, SpritePixels);
    a.enemy = obtain(storage.enemy, SpritePixels);
    a.road = obtain(storage.road, RoadCapacity);
    a.title = obtain(storage.title, FramePixels);
    a.scoreLabel = obtain(storage.scoreLabel, ScoreLabelPixels);
    for (int d = 0; d < 10; ++d)
        a.digits[d] = obtain(storage.digits[d], DigitPixels);
    a.explosion1 = obtain(storage.explosion1, SpritePixels);
    a.explosion2 = obtain(storage.explosion2, SpritePixels);
    a.explosion3 = obtain(storage.explosion3, SpritePixels);
    a.gameOver = obtain(storage.gameOver, FramePixels);

    struct File {
        const char* path;
        Pixel* into;
        int pixels;
    };
    const File files[] = {
        {"data/gentil.raw", a.car, SpritePixels},
        {"data/mechant.raw", a.enemy, SpritePixels},
        {"data/route.raw", a.road, RoadPixelsRead},
        {"data/titre.raw", a.title, FramePixels},
        {"data/score.raw", a.scoreLabel, ScoreLabelPixels},
        {"data/explosion1.raw", a.explosion1, SpritePixels},
        {"data/explosion2.raw", a.explosion2, SpritePixels},
        {"data/explosion3.raw", a.explosion3, SpritePixels},
        {"data/0.raw", a.digits[0], DigitPixels},
        {"data/1.raw", a.digits[1], DigitPixels},
        {"data/2.raw", a.digits[2], DigitPixels},
        {"data/3.raw", a.digits[3], DigitPixels},
        {"data/4.raw", a.digits[4], DigitPixels},
        {"data/5.raw", a.digits[5], DigitPixels},
        {"data/6.raw", a.digits[6], DigitPixels},
        {"data/7.raw", a.digits[7], DigitPixels},
        {"data/8.raw", a.digits[8], DigitPixels},
        {"data/9.raw", a.digits[9], DigitPixels},
        {"data/perdu.raw", a.gameOver, FramePixels},
    };
    for (const File& f : files)
        if (!readRawImage(f.path, f.into, f.pixels))
            return 0;
    return 1;
}

} // namespace vexlo
