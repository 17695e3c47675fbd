// How the replay tool names a frame: a 64-bit FNV-1a of its pixels, each
// taken as 4 bytes little-endian, written as 16 hex digits. Anything that
// shows the game's frames (the replay tool, the tests, the browser page)
// can be compared line for line through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace replay {

std::uint64_t frameHash(const std::uint32_t* pixels, std::size_t count);

// A line of frames.txt without its newline: "N HASH" for update N showing
// the display's pixels.
std::string frameLine(long update, const std::uint32_t* pixels);

} // namespace replay
