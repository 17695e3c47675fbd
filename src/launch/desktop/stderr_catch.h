// What a function writes on stderr, caught: the picture loader says why it
// failed there, and main shows that line in a box too.
#pragma once

#include <functional>
#include <string>

namespace vexlo {

// Runs `run` with stderr caught into `caught`, and gives its result. When
// stderr cannot be caught, the writes go through and `caught` stays empty.
bool catchStderr(const std::function<bool()>& run, std::string& caught);

} // namespace vexlo
