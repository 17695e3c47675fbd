// The one file of the score server that reaches into the game: it runs
// vexlo::runGame on the headless platform and watches for the game-over
// screen through the game's door.
#include "board/verify/verify_game.h"

#include "display/headless/headless.h"
#include "game/run_game.h"

#include <string>

namespace board {

namespace {

// Thrown from the update that shows the game-over screen: nothing after it
// belongs to the game, so the run stops there.
struct GameOverShown {};

bool escapeTaken(const std::vector<TakenKey>& taken) {
    for (const TakenKey& key : taken)
        if (key.code == ptc::KeyEscape)
            return true;
    return false;
}

} // namespace

void PlayRecord::add(long update, int row, int speed, int score) {
    if (first_ < 0) {
        first_ = update;
        text_ = "score " + std::to_string(score) + '\n';
    }
    if (row == row_ && speed == speed_)
        return;
    row_ = row;
    speed_ = speed;
    text_ += std::to_string(update - first_) + ' ' + std::to_string(row) + ' ' + std::to_string(speed) + '\n';
}

std::string PlayRecord::text(long gameOverUpdate) const {
    return text_ + "end " + std::to_string(first_ < 0 ? 0 : gameOverUpdate - first_) + '\n';
}

PlayedGame playGame(const replay::KeyScript& keys, long maxUpdates) {
    PlayedGame game;
    PlayRecord play;
    ptc::headless::Script script;
    script.keys = keys.keys;
    script.maxUpdates = maxUpdates;
    script.recordCalls = false;
    script.onRead = [&](long update, int code) { game.taken.push_back({update, code}); };
    script.onUpdate = [&](long update, const std::uint32_t*) {
        if (vexlo::gamePlayed())
            play.add(update, vexlo::playerRow(), vexlo::playerSpeed(), vexlo::shownScore());
        if (!vexlo::gameOverOnScreen())
            return;
        game.updates = update;
        game.score = vexlo::shownScore();
        game.play = play.text(update);
        throw GameOverShown{};
    };
    ptc::headless::start(std::move(script));
    vexlo::resetGame({.randomState = keys.race.randomState()});
    int status = 0;
    try {
        status = vexlo::runGame();
    } catch (const GameOverShown&) {
        game.end = GameEnd::GameOver;
        return game;
    }
    game.updates = ptc::headless::updates();
    const replay::ScriptEnd scriptEnd = ptc::headless::scriptEnd();
    if (status == 0 && escapeTaken(game.taken))
        game.end = GameEnd::Escaped;
    else if (scriptEnd == replay::ScriptEnd::KeysRanOut)
        game.end = GameEnd::ScriptEnded;
    else if (scriptEnd == replay::ScriptEnd::UpdateLimit)
        game.end = GameEnd::UpdateLimit;
    else {
        // Why the game could not run, in the toolkit's own words.
        const auto& messages = ptc::headless::messages();
        game.detail = messages.empty() ? "the game ended with status " + std::to_string(status) : messages.back();
    }
    return game;
}

} // namespace board
