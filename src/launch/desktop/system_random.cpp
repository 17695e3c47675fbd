#include "launch/desktop/system_random.h"

#include <sys/random.h>

#include <cerrno>

namespace vexlo {

bool systemRandomBytes(unsigned char* bytes, std::size_t count) {
    for (std::size_t got = 0; got < count;) {
        const ssize_t n = getrandom(bytes + got, count - got, 0);
        if (n < 0 && errno != EINTR)
            return false;
        got += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return true;
}

} // namespace vexlo
