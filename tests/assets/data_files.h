// Reading the files of the game's data folder in the tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace assettest {

inline std::string dataPath(const std::string& name) { return std::string(VEXLO_DATA_DIR) + "/" + name; }

// The whole file, or nothing when it cannot be read.
inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> readData(const std::string& name) { return readBytes(dataPath(name)); }

} // namespace assettest
