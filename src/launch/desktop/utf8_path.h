// Paths as the desktop's text holds them: UTF-8 in a std::string, on every
// system. std::filesystem::path's own narrow strings are UTF-8 on Linux but
// not on Windows (where the C++ library takes them byte by byte), so a path
// made from the player's text or told back to the player goes through these
// two; each is a plain copy on Linux.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vexlo {

inline std::filesystem::path pathOf(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string textOf(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

} // namespace vexlo
