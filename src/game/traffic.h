// The enemy cars: a fixed table of slots, filled at the right edge on random
// rows, drifting left and tested against the player's car every frame.
#pragma once

#include "render/frame_buffer.h"

namespace vexlo {

constexpr int MaxEnemies = 300;
constexpr float EmptySlot = -9999.0f;
constexpr float SpawnX = 320.0f;
constexpr int SpawnRows = 170;
constexpr float DespawnX = -30.0f;

struct TrafficTable {
    float enemyX[MaxEnemies]; // EmptySlot marks a free slot
    int enemyY[MaxEnemies];
};

extern TrafficTable trafficTable;

int clearTraffic();
// Puts a new car at the right edge in the lowest free slot; 0 when full.
int spawnEnemy();
int drawTraffic(Pixel* frame);
// Tests every car against the player (the first hit starts the crash and
// the explosion), moves every car left and frees those past the left edge.
int updateTraffic();

} // namespace vexlo
