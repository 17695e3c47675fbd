#include "game/game_state.h"

namespace vexlo {

GameState gameState;

} // namespace vexlo
