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
// a mock game-over screen and the desktop icon.
std::vector<std::pair<std::string, Image>> previewImages();

// The desktop icon at every installed size, by file name ("icon-32.png"):
// not part of the data folder.
std::vector<std::pair<std::string, Image>> buildIcons();

} // namespace assetgen
