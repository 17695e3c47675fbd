// What the file checks share: their error codes, and reading bytes that
// must be there.
#pragma once

#include "sound/files/sound_files.h"

#include <cstdint>

namespace vexlo::soundfiles {

constexpr int Ok = 0;
constexpr int NotFound = 9;
constexpr int WrongFormat = 10;
constexpr int Damaged = 11;
constexpr int NoMemory = 12;

inline std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
inline std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

// Reads exactly n bytes at offset, false when the source ends before.
inline bool readExact(const ByteSource& src, std::uint64_t offset, void* out, std::size_t n) {
    return offset <= src.size() && src.size() - offset >= n && src.read(offset, out, n) == n;
}

} // namespace vexlo::soundfiles
