#include "launch/desktop/system_random.h"

#include <windows.h>

#include <bcrypt.h>

namespace vexlo {

bool systemRandomBytes(unsigned char* bytes, std::size_t count) {
    return BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

} // namespace vexlo
