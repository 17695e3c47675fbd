// The game's music: an energetic racing tune in A minor at 150 beats per
// minute, with its instruments synthesised here, written as an .xm module.
#pragma once

#include "xm.h"

#include <cstdint>
#include <vector>

namespace assetgen {

xm::Module composeMusic();
std::vector<std::uint8_t> makeMusic();

} // namespace assetgen
