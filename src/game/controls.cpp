#include "game/controls.h"

#include "game/game_state.h"

#include <algorithm>

namespace vexlo {

std::unique_ptr<ptc::KeyEvent> readKey(ptc::Display& display) {
    ptc::KeyEvent temporary(0, false, false, false);
    display.read(temporary);
    return std::make_unique<ptc::KeyEvent>(temporary.code(), temporary.alt() == 1, temporary.shift() == 1,
                                           temporary.control() == 1);
}

void applyKey(int code, int& running) {
    GameState& g = gameState;
    if (code == KeyEscape) {
        running = 0;
        return;
    }
    // The arrows do nothing while a crash runs; they are still consumed.
    if (g.crashTimer != 0)
        return;
    switch (code) {
    case KeyLeft:
        g.speed = std::max(g.speed - 1, MinSpeed);
        break;
    case KeyUp:
        g.playerY = std::max(g.playerY - PlayerStep, 0);
        break;
    case KeyRight:
        g.speed = std::min(g.speed + 1, MaxSpeed);
        break;
    case KeyDown:
        g.playerY = std::min(g.playerY + PlayerStep, MaxPlayerY);
        break;
    default:
        break;
    }
}

} // namespace vexlo
