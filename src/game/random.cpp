#include "game/random.h"

namespace vexlo {

namespace {
std::uint32_t randomState = 1;
}

int rand() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFFu);
}

void setRandomState(std::uint32_t state) { randomState = state; }

} // namespace vexlo
