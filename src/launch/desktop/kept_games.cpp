#include "launch/desktop/kept_games.h"

#include "launch/desktop/plain_file.h"
#include "launch/desktop/utf8_path.h"
#include "replay/key_script.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>
#include <sstream>

namespace vexlo {

namespace {

constexpr std::string_view EndGameOver = "game over";
constexpr std::string_view EndStopped = "stopped before the game-over screen";
constexpr std::string_view EndNotYet = "not yet";

// "# name: value" -> {name, value}; an empty name for any other line.
std::pair<std::string_view, std::string_view> field(std::string_view line) {
    const std::size_t colon = line.find(": ");
    if (line.substr(0, 2) != "# " || colon == std::string_view::npos)
        return {};
    return {line.substr(2, colon - 2), line.substr(colon + 2)};
}

std::optional<int> score(std::string_view digits) {
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::stoi(std::string(digits));
}

bool earlier(const KeptGame& a, const KeptGame& b) {
    return a.header.date != b.header.date ? a.header.date < b.header.date : a.file < b.file;
}

bool better(const KeptGame& a, const KeptGame& b) {
    if (a.header.gameOver != b.header.gameOver)
        return a.header.gameOver;
    if (!a.header.gameOver)
        return earlier(b, a);
    const int sa = a.header.score.value_or(0), sb = b.header.score.value_or(0);
    return sa != sb ? sa > sb : earlier(a, b);
}

// Why a file in the folder is no kept game, or empty when it is one.
std::string whyNotKept(const std::filesystem::path& file, KeptHeader& header) {
    const SmallFile read = readSmallFile(file, MaxKeptBytes, false);
    if (read.missing)
        return "is gone";
    if (!read.problem.empty())
        return read.problem;
    const auto parsed = parseKeptHeader(read.text);
    if (!parsed)
        return "is not a kept game (no date in its header)";
    std::istringstream in(read.text);
    header = *parsed;
    try {
        header.race = replay::readKeyScript(in, textOf(file.filename())).race;
    } catch (const replay::KeyScriptError& error) {
        return std::string("is not a key script (") + error.what() + ")";
    }
    return {};
}

} // namespace

std::string timeText(std::time_t time, const char* format, bool utc) {
    std::tm parts{};
    if (utc)
        gmtime_r(&time, &parts);
    else
        localtime_r(&time, &parts);
    char text[64];
    return std::strftime(text, sizeof text, format, &parts) > 0 ? text : "";
}

std::string utcStamp(std::time_t time) { return timeText(time, "%Y-%m-%dT%H:%M:%SZ", true); }

std::optional<std::time_t> parseUtcStamp(std::string_view text) {
    constexpr std::string_view Shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != Shape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < Shape.size(); ++i)
        if (Shape[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != Shape[i])
            return std::nullopt;
    std::tm parts{};
    int consumed = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                    &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &consumed) != 6 ||
        consumed != 20)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    const std::tm asked = parts;
    const std::time_t time = timegm(&parts);
    // timegm moves fields that are out of range (a 31st of April): refused.
    if (time < 0 || parts.tm_mday != asked.tm_mday || parts.tm_mon != asked.tm_mon ||
        parts.tm_hour != asked.tm_hour || parts.tm_min != asked.tm_min || parts.tm_sec != asked.tm_sec)
        return std::nullopt;
    return time;
}

std::string keptHeaderLines(const KeptHeader& header) {
    std::string text = "# version: " + header.version + "\n# date: " + utcStamp(header.date) + "\n";
    if (header.score)
        text += "# score: " + std::to_string(*header.score) + "\n";
    const std::string_view end = !header.score ? EndNotYet : header.gameOver ? EndGameOver : EndStopped;
    text += "# end: " + std::string(end) + "\n";
    if (header.race.daily)
        text += header.race.scriptLine() + "\n";
    return text;
}

std::optional<KeptHeader> parseKeptHeader(std::string_view text) {
    KeptHeader header;
    bool dated = false;
    // The header is the comments before the first key.
    while (!text.empty() && text[0] == '#') {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const auto [name, value] = field(line);
        if (name == "version") {
            header.version = std::string(value.substr(0, 40));
        } else if (name == "date") {
            const auto date = parseUtcStamp(value);
            dated = date.has_value();
            header.date = date.value_or(0);
        } else if (name == "score") {
            header.score = score(value);
        } else if (name == "end") {
            header.gameOver = value == EndGameOver;
        }
    }
    // An end without a score, or a score without an end, is no end.
    if (!header.score)
        header.gameOver = false;
    if (!dated)
        return std::nullopt;
    return header;
}

std::optional<std::filesystem::path> keptGamesFolder(const char* xdgDataHome, const char* home) {
    std::filesystem::path folder;
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/')
        folder = xdgDataHome;
    else if (home != nullptr && home[0] == '/')
        folder = std::filesystem::path(home) / ".local" / "share";
    else
        return std::nullopt;
    return folder / "vexlo-race" / "games";
}

KeptListing listKeptGames(const std::filesystem::path& folder) {
    KeptListing listing;
    std::error_code error;
    std::vector<std::filesystem::path> names;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (textOf(it->path().filename())[0] != '.')
            names.push_back(it->path());
    if (error && error != std::errc::no_such_file_or_directory)
        listing.problem = "cannot read " + textOf(folder) + ": " + error.message();
    std::sort(names.begin(), names.end());
    for (const auto& file : names) {
        KeptHeader header;
        const std::string why = whyNotKept(file, header);
        if (why.empty())
            listing.games.push_back({file, header});
        else if (why != "is gone")
            listing.skipped.push_back("skipped " + textOf(file) + ", which " + why);
    }
    return listing;
}

std::vector<KeptGame> bestFirst(std::vector<KeptGame> games) {
    std::sort(games.begin(), games.end(), better);
    return games;
}

const KeptGame* latestOf(const std::vector<KeptGame>& games) {
    const auto last = std::max_element(games.begin(), games.end(), earlier);
    return last == games.end() ? nullptr : &*last;
}

std::vector<std::filesystem::path> beyondKeeping(const std::vector<KeptGame>& games) {
    std::set<std::filesystem::path> kept;
    const std::vector<KeptGame> ranked = bestFirst(games);
    for (std::size_t i = 0; i < ranked.size() && i < KeptBest && ranked[i].header.gameOver; ++i)
        kept.insert(ranked[i].file);
    std::vector<KeptGame> latest = games;
    std::sort(latest.begin(), latest.end(), [](const KeptGame& a, const KeptGame& b) { return earlier(b, a); });
    for (std::size_t i = 0; i < latest.size() && i < KeptLatest; ++i)
        kept.insert(latest[i].file);
    std::vector<std::filesystem::path> beyond;
    for (const KeptGame& game : games)
        if (kept.count(game.file) == 0)
            beyond.push_back(game.file);
    return beyond;
}

} // namespace vexlo
