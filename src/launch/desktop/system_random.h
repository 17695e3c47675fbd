// Random bytes from the operating system, good enough for a secret (the
// player's key): getrandom on Linux, the system's generator on Windows.
#pragma once

#include <cstddef>

namespace vexlo {

// False when the system gave none.
bool systemRandomBytes(unsigned char* bytes, std::size_t count);

} // namespace vexlo
