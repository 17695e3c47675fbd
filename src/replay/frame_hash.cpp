#include "replay/frame_hash.h"

#include "ptc/ptc.h"

#include <cstdio>

namespace replay {

std::uint64_t frameHash(const std::uint32_t* pixels, std::size_t count) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b) {
            hash ^= (pixels[i] >> (8 * b)) & 0xFFu;
            hash *= 0x100000001b3ull;
        }
    return hash;
}

std::string frameLine(long update, const std::uint32_t* pixels) {
    constexpr std::size_t Pixels = static_cast<std::size_t>(ptc::DisplayWidth) * ptc::DisplayHeight;
    char line[48];
    std::snprintf(line, sizeof line, "%ld %016llx", update,
                  static_cast<unsigned long long>(frameHash(pixels, Pixels)));
    return line;
}

} // namespace replay
