#include "game/traffic.h"

#include "game/game_state.h"
#include "game/random.h"
#include "render/scene.h"
#include "sound/sound_player.h"

namespace vexlo {

TrafficTable trafficTable;

int clearTraffic() {
    for (float& x : trafficTable.enemyX)
        x = EmptySlot;
    return 1;
}

int spawnEnemy() {
    for (int i = 0; i < MaxEnemies; ++i) {
        if (trafficTable.enemyX[i] == EmptySlot) {
            trafficTable.enemyX[i] = SpawnX;
            trafficTable.enemyY[i] = rand() % SpawnRows;
            return 1;
        }
    }
    return 0;
}

int drawTraffic(Pixel* frame) {
    for (int i = 0; i < MaxEnemies; ++i)
        if (trafficTable.enemyX[i] != EmptySlot)
            drawEnemy(frame, static_cast<int>(trafficTable.enemyX[i]), trafficTable.enemyY[i]);
    return 1;
}

int updateTraffic() {
    GameState& g = gameState;
    const int px = g.playerX;
    const int py = g.playerY;
    const float drift = static_cast<float>(g.speed) - 0.5f;
    for (int i = 0; i < MaxEnemies; ++i) {
        float& x = trafficTable.enemyX[i];
        if (x == EmptySlot)
            continue;
        const int y = trafficTable.enemyY[i];
        const bool touches = static_cast<float>(px - CarSize) <= x && x < static_cast<float>(px + CarSize) &&
                             py - CarSize <= y && y < py + CarSize;
        if (touches && g.crashed == 0) {
            g.crashed = 1;
            g.crashTimer = CrashFrames;
            if (g.soundPlayer != nullptr)
                g.soundPlayer->playExplosion();
        }
        x -= drift;
        if (x < DespawnX)
            x = EmptySlot;
    }
    return 1;
}

} // namespace vexlo
