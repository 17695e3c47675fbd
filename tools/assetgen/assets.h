// Every file of the game's data folder, built in memory.
#pragma once

#include "canvas.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace assetgen {

struct AssetFile {
    std::string name; // file name inside the data folder
    std::vector<std::uint8_t> bytes;
};

// All files, in a fixed order.
std::vector<AssetFile> buildAssets();
// Pictures worth looking at, by name: every image plus a mock frame of play
// and a mock game-over screen.
std::vector<std::pair<std::string, Image>> previewImages();

} // namespace assetgen
