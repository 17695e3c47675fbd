#include "board/verify/verifier.h"

#include "board/verify/child_process.h"
#include "board/verify/verify_game.h"

#include <sstream>

namespace board {

namespace {

// What the child writes back: "END UPDATES SCORE", the detail on a line of
// its own, then the play.
std::string describe(const PlayedGame& game) {
    std::ostringstream out;
    out << static_cast<int>(game.end) << ' ' << game.updates << ' ' << game.score << '\n'
        << game.detail << '\n'
        << game.play;
    return out.str();
}

bool parse(const std::string& text, PlayedGame& game) {
    std::istringstream in(text);
    int end = -1;
    if (!(in >> end >> game.updates >> game.score) || end < 0 || end > static_cast<int>(GameEnd::Failed))
        return false;
    game.end = static_cast<GameEnd>(end);
    in.ignore(1);
    if (!std::getline(in, game.detail))
        return false;
    std::ostringstream rest;
    rest << in.rdbuf();
    game.play = rest.str();
    return true;
}

Verdict judge(const PlayedGame& game, const VerifyLimits& limits) {
    Verdict verdict;
    verdict.updates = game.updates;
    switch (game.end) {
    case GameEnd::GameOver:
        verdict.outcome = Outcome::Verified;
        verdict.score = game.score;
        verdict.game = game.play;
        return verdict;
    case GameEnd::Escaped:
        verdict.reason =
            "Escape ended the game after update " + std::to_string(game.updates) + ", before its game-over screen";
        break;
    case GameEnd::ScriptEnded:
        verdict.reason =
            "the key script ended after update " + std::to_string(game.updates) + ", before the game-over screen";
        break;
    case GameEnd::UpdateLimit:
        verdict.reason = "the game passed " + std::to_string(limits.maxUpdates) +
                         " updates without reaching its game-over screen";
        break;
    case GameEnd::Failed:
        verdict.outcome = Outcome::Failed;
        verdict.gameCannotRun = true;
        verdict.reason = "the game could not be played: " + game.detail;
        return verdict;
    }
    verdict.outcome = Outcome::Rejected;
    return verdict;
}

} // namespace

Verdict verify(const replay::KeyScript& keys, const VerifyLimits& limits, const ChildWatch& watch) {
    ChildLimits childLimits;
    childLimits.cpuSeconds = limits.cpuSeconds;
    childLimits.memoryBytes = limits.memoryBytes;
    const ChildResult child =
        runChild([&] { return describe(playGame(keys, limits.maxUpdates)); }, childLimits, watch);
    Verdict verdict;
    switch (child.end) {
    case ChildEnd::Finished: {
        PlayedGame game;
        if (parse(child.output, game))
            return judge(game, limits);
        verdict.reason = "the verifying process gave an answer that cannot be read";
        return verdict;
    }
    case ChildEnd::OutOfTime:
        verdict.outcome = Outcome::Rejected;
        verdict.reason =
            "the game took longer than the time limit of " + std::to_string(limits.cpuSeconds) + " s to verify";
        return verdict;
    case ChildEnd::OutOfMemory:
        verdict.outcome = Outcome::Rejected;
        verdict.reason = "the game needed more than the memory limit of " +
                         std::to_string(limits.memoryBytes / (1024 * 1024)) + " MiB to verify";
        return verdict;
    case ChildEnd::Abandoned:
        verdict.outcome = Outcome::Abandoned;
        verdict.reason = "verification was stopped";
        return verdict;
    case ChildEnd::Crashed:
        verdict.reason = "the verifying process ended abnormally: " + child.detail;
        return verdict;
    case ChildEnd::Stalled:
        verdict.reason = "the verifying process was too slow: " + child.detail;
        return verdict;
    case ChildEnd::NotStarted:
        verdict.reason = "no process could be started to verify: " + child.detail;
        return verdict;
    }
    return verdict;
}

} // namespace board
