#include "launch/desktop/game_keeper.h"

#include "launch/desktop/plain_file.h"
#include "launch/desktop/utf8_path.h"

namespace vexlo {

namespace {

constexpr int NameTries = 100;

// game-20260501-120322.keys, then game-20260501-120322-2.keys ...
std::string fileName(const std::string& base, int n) {
    std::string name = base;
    if (n > 1)
        name.append("-").append(std::to_string(n));
    return name.append(".keys");
}

} // namespace

GameKeeper::GameKeeper(std::filesystem::path folder, std::filesystem::path file, KeptHeader header,
                       std::unique_ptr<Recording> recording)
    : folder_(std::move(folder)), file_(std::move(file)), header_(std::move(header)),
      recording_(std::move(recording)) {}

std::unique_ptr<GameKeeper> GameKeeper::start(const std::filesystem::path& folder, const std::string& version,
                                              std::time_t now, const replay::Race& race, std::string& problem) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        problem = "cannot make " + textOf(folder) + ": " + error.message();
        return nullptr;
    }
    KeptHeader header;
    header.version = version;
    header.date = now;
    header.race = race;
    const std::string base = timeText(now, "game-%Y%m%d-%H%M%S", true);
    // Another game may have started in the same second.
    for (int n = 1; n <= NameTries; ++n) {
        const auto file = folder / fileName(base, n);
        // The name is taken first, so that no other game's file is written over.
        bool taken = false;
        if (!createNewFile(file, taken, problem)) {
            if (taken)
                continue;
            return nullptr;
        }
        auto recording = Recording::create(textOf(file), problem, keptHeaderLines(header));
        if (recording)
            return std::unique_ptr<GameKeeper>(new GameKeeper(folder, file, header, std::move(recording)));
        std::filesystem::remove(file, error);
        return nullptr;
    }
    problem = "no free name for " + textOf(folder / fileName(base, 1));
    return nullptr;
}

void GameKeeper::write(const replay::ScriptedKey& key) {
    keys_.push_back(key);
    recording_->write(key);
}

std::vector<std::string> GameKeeper::finish(bool played, int score, bool gameOver) {
    const bool failedBefore = recording_->failed();
    recording_.reset();
    std::vector<std::string> lines;
    if (!played) {
        std::error_code ignored;
        std::filesystem::remove(file_, ignored);
        return lines;
    }
    header_.score = score;
    header_.gameOver = gameOver;
    std::string text = std::string(Recording::Intro) + keptHeaderLines(header_);
    for (const replay::ScriptedKey& key : keys_)
        text += replay::keyScriptLine(key) + "\n";
    // A disk that was full while the game went on has had its line.
    if (const std::string problem = writeWholeFile(file_, text); !problem.empty() && !failedBefore)
        lines.push_back(problem + "; the game is not kept whole");
    for (std::string& line : removeBeyondKeeping(folder_))
        lines.push_back(std::move(line));
    return lines;
}

std::vector<std::string> removeBeyondKeeping(const std::filesystem::path& folder) {
    KeptListing listing = listKeptGames(folder);
    std::vector<std::string> lines = std::move(listing.skipped);
    if (!listing.problem.empty())
        lines.push_back(listing.problem);
    for (const auto& file : beyondKeeping(listing.games)) {
        std::error_code error;
        std::filesystem::remove(file, error);
        if (error)
            lines.push_back("cannot remove " + textOf(file) + ": " + error.message());
    }
    return lines;
}

} // namespace vexlo
