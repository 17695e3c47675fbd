#include "game/frame_loop.h"

#include "game/controls.h"
#include "game/game_state.h"
#include "game/random.h"
#include "game/traffic.h"
#include "render/frame_buffer.h"
#include "render/image_assets.h"
#include "render/scene.h"

namespace vexlo {

namespace {

constexpr int SpawnChanceBase = 200;
constexpr int ShownScoreModulus = 1000000;

// Darkens the last scene and draws the game-over picture and the final
// score over it, shows it and waits for a key.
void gameOver(ptc::Surface& surface, ptc::Display& display, int& running) {
    Pixel* frame = static_cast<Pixel*>(surface.lock());
    darkenFrame(frame);
    blitSprite(frame, imageAssets.gameOver, 0, 0, ScreenWidth, ScreenHeight);
    drawScore(frame, gameState.score, 1);
    surface.unlock();
    surface.copyTo(display);
    surface.clear();
    display.update();
    running = 0;
    readKey(display); // any key ends the wait
}

} // namespace

void playFrame(ptc::Surface& surface, ptc::Display& display, int& running) {
    GameState& g = gameState;
    while (display.keyPressed()) {
        const auto key = readKey(display);
        applyKey(key->code(), running);
    }

    Pixel* frame = static_cast<Pixel*>(surface.lock());
    drawRoad(frame, static_cast<int>(g.scroll));
    drawPlayer(frame, g.playerX, g.playerY);
    drawTraffic(frame);
    drawScore(frame, g.score % ShownScoreModulus, 0);
    surface.unlock();

    if (g.crashed != 0) {
        --g.crashTimer;
        if (g.crashTimer == 0)
            gameOver(surface, display, running);
    }

    surface.copyTo(display);
    surface.clear();
    display.update();

    g.scroll += static_cast<float>(g.speed);
    if (g.scroll >= ScrollWrap)
        g.scroll -= ScrollWrap;
    if (g.crashTimer == 0) {
        g.score += g.speed;
        if (g.score >= ScoreWrap)
            g.score -= ScoreWrap;
    }
    updateTraffic();
    if (rand() % (SpawnChanceBase / g.speed) == 0)
        spawnEnemy();
}

} // namespace vexlo
