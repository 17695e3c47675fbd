#include "render/scene.h"

#include "game/game_state.h"
#include "render/image_assets.h"

#include <cstdint>

namespace vexlo {

namespace {

// The explosion picture for a crash timer; null for the short gaps between
// pictures (70, 60, 55) and outside the crash.
const Pixel* explosionFor(int timer) {
    if (timer >= 61 && timer <= 69)
        return imageAssets.explosion1;
    if (timer >= 56 && timer <= 59)
        return imageAssets.explosion2;
    if (timer >= 1 && timer <= 54)
        return imageAssets.explosion3;
    return nullptr;
}

} // namespace

int drawPlayer(Pixel* frame, int x, int y) {
    const Pixel* picture = gameState.crashed == 0 ? imageAssets.car : explosionFor(gameState.crashTimer);
    if (picture != nullptr)
        blitSprite(frame, picture, x, y, CarSize, CarSize);
    return 1;
}

int drawEnemy(Pixel* frame, int x, int y) {
    blitSprite(frame, imageAssets.enemy, x, y, CarSize, CarSize);
    return 1;
}

int drawScore(Pixel* frame, int value, int atGameOver) {
    const int unitsColumn = atGameOver == 0 ? 311 : 203;
    const int row = atGameOver == 0 ? 1 : 128;
    // A negative value shows its magnitude's digits, so every digit index
    // stays within 0 .. 9 (the magnitude of INT_MIN fits in 32 unsigned bits).
    std::uint32_t rest = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    for (int k = 0; k < ScoreDigits; ++k) {
        const int d = static_cast<int>(rest % 10);
        rest /= 10;
        blitSprite(frame, imageAssets.digits[d], unitsColumn - DigitWidth * k, row, DigitWidth, DigitHeight);
    }
    if (atGameOver == 0)
        blitSprite(frame, imageAssets.scoreLabel, 222, 1, LabelWidth, DigitHeight);
    return 1;
}

} // namespace vexlo
