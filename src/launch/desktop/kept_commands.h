// The commands about kept games that need no window: --scores, the kept
// game that "best" and "latest" stand for (for --watch and --submit), and
// --submit. Each says its problems in lines starting with "vexlo-race:".
#pragma once

#include "launch/desktop/kept_games.h"
#include "launch/desktop/options.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vexlo {

// The table --scores prints: rank, score, date (local time) and file.
std::string scoresTable(const std::vector<KeptGame>& bestFirst);

// --scores; the exit status.
int listScores(const std::optional<std::filesystem::path>& folder);

// The kept game that "best" or "latest" stands for; empty, with `problem`
// set, when there is none. Any other name is returned as it is.
std::string keptGameNamed(const std::string& which, const std::optional<std::filesystem::path>& folder,
                          std::string& problem);

struct SubmitSetUp {
    std::string file;           // the recording, resolved
    std::string settingsServer; // from the settings file; may be empty
    std::string settingsFile;   // where `server = URL` would go, for the message
    std::string version;
    std::optional<std::filesystem::path> playerKeyFile; // none: no key is sent
};

// Why --submit cannot be sent as given (a bad name, no server), or empty.
std::string submitProblem(const Options& options, const SubmitSetUp& setUp);

// --submit, once submitProblem has nothing to say; the exit status: 0
// verified, 1 rejected, hidden, unreachable or no verdict.
int submitGame(const Options& options, const SubmitSetUp& setUp);

// --player-key: prints the key, made first when there is none; the exit status.
int printPlayerKey(const std::optional<std::filesystem::path>& file);

} // namespace vexlo
