// The one file of the score server that reaches into the game: it runs
// vexlo::runGame on the headless platform and watches the game state.
#include "board/verify/verify_game.h"

#include "display/headless/headless.h"
#include "game/game_state.h"
#include "game/run_game.h"
#include "render/scene.h"

#include <string>

namespace board {

namespace {

// Thrown from the update that shows the game-over screen: nothing after it
// belongs to the game, so the run stops there.
struct GameOverShown {};

// The game-over screen shows the score's last ScoreDigits digits.
int shownScore(int score) {
    int modulus = 1;
    for (int i = 0; i < vexlo::ScoreDigits; ++i)
        modulus *= 10;
    return score % modulus;
}

bool gameOverOnScreen() {
    // gameOver() runs when the crash timer has counted down to zero; the
    // update inside it is the first with both.
    return vexlo::gameState.crashed != 0 && vexlo::gameState.crashTimer == 0;
}

bool escapeTaken(const std::vector<TakenKey>& taken) {
    for (const TakenKey& key : taken)
        if (key.code == 27)
            return true;
    return false;
}

} // namespace

PlayedGame playGame(const std::vector<ptc::ScriptedKey>& keys, long maxUpdates) {
    PlayedGame game;
    ptc::headless::Script script;
    script.keys = keys;
    script.maxUpdates = maxUpdates;
    script.recordCalls = false;
    script.onRead = [&](long update, int code) { game.taken.push_back({update, code}); };
    script.onUpdate = [&](long update, const std::uint32_t*) {
        if (!gameOverOnScreen())
            return;
        game.updates = update;
        game.score = shownScore(vexlo::gameState.score);
        throw GameOverShown{};
    };
    ptc::headless::start(std::move(script));
    int status = 0;
    try {
        status = vexlo::runGame();
    } catch (const GameOverShown&) {
        game.end = GameEnd::GameOver;
        return game;
    }
    game.updates = ptc::headless::updates();
    const auto& messages = ptc::headless::messages();
    const std::string last = messages.empty() ? "" : messages.back();
    if (status == 0 && escapeTaken(game.taken))
        game.end = GameEnd::Escaped;
    else if (last == "end of key script")
        game.end = GameEnd::ScriptEnded;
    else if (last == "update limit")
        game.end = GameEnd::UpdateLimit;
    else
        game.detail = last.empty() ? "the game ended with status " + std::to_string(status) : last;
    return game;
}

} // namespace board
