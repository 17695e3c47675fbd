#include "launch/desktop/kept_commands.h"

#include "launch/desktop/plain_file.h"
#include "launch/desktop/player_key.h"
#include "launch/desktop/score_submission.h"
#include "launch/desktop/utf8_path.h"
#include "replay/key_script.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

namespace vexlo {

namespace {

// The server takes a body of at most 256 KiB, the keys' JSON included.
constexpr std::size_t MaxSubmittedBytes = 250 * 1024;

void say(const std::string& line) { std::fprintf(stderr, "vexlo-race: %s\n", line.c_str()); }

std::string column(const std::string& text, std::size_t width) {
    return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

} // namespace

std::string scoresTable(const std::vector<KeptGame>& ranked) {
    std::string table = "rank   score  date              race              file\n";
    int rank = 0;
    for (const KeptGame& game : ranked) {
        const KeptHeader& h = game.header;
        const std::string place = h.gameOver ? std::to_string(++rank) : "-";
        const std::string score = h.score ? std::to_string(*h.score) : "-";
        const char* note = h.gameOver ? "" : h.score ? "  (stopped before the game-over screen)" : "  (not ended)";
        const std::string race = h.race.name();
        table += column(place, 4) + column(score, 8) + "  " + timeText(h.date, "%Y-%m-%d %H:%M", false) + "  " +
                 race + std::string(race.size() < 16 ? 16 - race.size() : 0, ' ') + "  " + textOf(game.file) +
                 note + "\n";
    }
    return table;
}

int listScores(const std::optional<std::filesystem::path>& folder) {
    if (!folder) {
        say("neither XDG_DATA_HOME nor HOME is set: no games are kept");
        return 1;
    }
    const KeptListing listing = listKeptGames(*folder);
    for (const std::string& line : listing.skipped)
        say(line);
    if (!listing.problem.empty()) {
        say(listing.problem);
        return 1;
    }
    if (listing.games.empty()) {
        std::printf("No games kept yet in %s.\n", textOf(*folder).c_str());
        return 0;
    }
    std::fputs(scoresTable(bestFirst(listing.games)).c_str(), stdout);
    return 0;
}

std::string keptGameNamed(const std::string& which, const std::optional<std::filesystem::path>& folder,
                          std::string& problem) {
    if (which != "best" && which != "latest")
        return which;
    if (!folder) {
        problem = "neither XDG_DATA_HOME nor HOME is set: no games are kept";
        return {};
    }
    KeptListing listing = listKeptGames(*folder);
    for (const std::string& line : listing.skipped)
        say(line);
    const std::vector<KeptGame> ranked = bestFirst(std::move(listing.games));
    const KeptGame* game = which == "latest" ? latestOf(ranked) : nullptr;
    if (which == "best" && !ranked.empty() && ranked.front().header.gameOver)
        game = &ranked.front();
    if (game != nullptr)
        return textOf(game->file);
    problem = which == "best" ? "no kept game has reached its game-over screen yet (in " + textOf(*folder) + ")"
                              : "no games kept yet in " + textOf(*folder);
    return {};
}

std::string submitProblem(const Options& options, const SubmitSetUp& setUp) {
    if (const std::string problem = nameProblem(options.name); !problem.empty())
        return "invalid name: " + problem;
    if (options.server.empty() && setUp.settingsServer.empty())
        return "no score server to send to: give --server URL, or put 'server = URL' in " + setUp.settingsFile;
    return {};
}

int submitGame(const Options& options, const SubmitSetUp& setUp) {
    const std::string server = !options.server.empty() ? options.server : setUp.settingsServer;
    const SmallFile read = readSmallFile(pathOf(setUp.file), MaxSubmittedBytes, true);
    if (read.missing || !read.problem.empty()) {
        say(setUp.file + " " + (read.missing ? "does not exist" : read.problem));
        return 1;
    }
    std::istringstream in(read.text);
    try {
        replay::readKeyScript(in, setUp.file);
    } catch (const replay::KeyScriptError& error) {
        say(std::string(error.what()) + " (not a recorded game)");
        return 1;
    }
    std::string key;
    if (setUp.playerKeyFile) {
        const PlayerKey found = playerKey(*setUp.playerKeyFile);
        if (!found.problem.empty()) {
            say(found.problem);
            return 1;
        }
        key = found.key;
    } else {
        say("neither XDG_DATA_HOME nor HOME is set: the game is sent without a player key, and claims no name");
    }
    SubmitPacing pacing;
    if (isatty(STDERR_FILENO))
        pacing.queued = [&server](long id) {
            say("sent as run " + std::to_string(id) + " to " + server + "; waiting for it to be played again");
        };
    const auto http = makeHttpClient("vexlo-race/" + setUp.version);
    const SubmitOutcome outcome = submitRun(*http, server, options.name, read.text, key, pacing);
    if (outcome.verdict)
        std::printf("%s\n", outcome.line.c_str());
    else
        say(outcome.line);
    return outcome.status;
}

int printPlayerKey(const std::optional<std::filesystem::path>& file) {
    if (!file) {
        say("neither XDG_DATA_HOME nor HOME is set: there is no place for a player key");
        return 1;
    }
    const PlayerKey found = playerKey(*file);
    if (!found.problem.empty()) {
        say(found.problem);
        return 1;
    }
    std::printf("%s\n", found.key.c_str());
    return 0;
}

} // namespace vexlo
