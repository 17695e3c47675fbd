// Reading a tracker module file for libopenmpt, with the same checks and
// error codes on every platform's sound layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexlo::soundmodules {

// Reads the whole module at path into bytes. 0, or the error code: 9 missing, 10 not a module format, 11 damaged
// (an XM that is cut short or inconsistent), 12 too big for memory. *checked, if given, says whether the file was
// checked in full (an XM whose every structure the check knows), so that the loader can only accept it.
int readModuleFile(const std::string& path, std::vector<std::uint8_t>& bytes, bool* checked = nullptr);

} // namespace vexlo::soundmodules
