// What run_game.h lets those who run the game do and ask, read off the
// game's own records.
#include "game/game_state.h"
#include "game/random.h"
#include "game/run_game.h"
#include "render/image_assets.h"
#include "render/scene.h"

namespace vexlo {

static_assert(HighestStartScore == ScoreWrap);

bool loadPictures() { return loadAssets() != 0; }

void resetGame(const GameStart& start) {
    gameState = GameState{};
    gameState.score = start.score;
    setRandomState(start.randomState);
}

bool gameOverOnScreen() {
    // gameOver() runs when the crash timer has counted down to zero; the
    // update inside it is the first with both.
    return gameState.crashed != 0 && gameState.crashTimer == 0;
}

int shownScore() {
    int modulus = 1;
    for (int i = 0; i < ScoreDigits; ++i)
        modulus *= 10;
    return gameState.score % modulus;
}

bool gamePlayed() { return gameState.score != 0 || gameState.crashed != 0; }

int playerRow() { return gameState.playerY; }

int playerSpeed() { return gameState.speed; }

} // namespace vexlo
