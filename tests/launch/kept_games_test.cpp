// The kept games: the header a kept game carries, which games stay and in
// what order, the folder's hostile contents, and the game being kept as it
// goes and written whole when it ends.
#include "../support/temp_dir.h"
#include "launch/desktop/game_keeper.h"
#include "launch/desktop/kept_commands.h"
#include "launch/desktop/kept_games.h"
#include "replay/key_script.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <sstream>

namespace {

using namespace vexlo;
using testing_support::TempDir;
namespace fs = std::filesystem;

constexpr std::time_t May1 = 1777636800; // 2026-05-01T12:00:00Z

std::string readAll(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<replay::ScriptedKey> keysOf(const fs::path& file) {
    std::ifstream in(file);
    return replay::readKeyScript(in, file.string());
}

KeptGame game(const std::string& name, std::time_t date, std::optional<int> score, bool over) {
    return {name, {"1.0.0", date, score, over}};
}

TEST(KeptHeader, ReadsBackAndIsPassedByAsComments) {
    const KeptHeader ended{"1.0.0", May1 + 83, 4210, true};
    const std::string text = keptHeaderLines(ended) + "272 13\n300 40\n";
    EXPECT_EQ(text.substr(0, keptHeaderLines(ended).size()),
              "# version: 1.0.0\n# date: 2026-05-01T12:01:23Z\n# score: 4210\n# end: game over\n");
    EXPECT_EQ(parseKeptHeader(text), ended);
    std::istringstream in(text);
    EXPECT_EQ(replay::readKeyScript(in, "kept").size(), 2u);

    const KeptHeader playing{"1.0.0", May1, std::nullopt, false};
    EXPECT_NE(keptHeaderLines(playing).find("# end: not yet\n"), std::string::npos);
    EXPECT_EQ(parseKeptHeader(keptHeaderLines(playing)), playing);
    const KeptHeader stopped{"1.0.0", May1, 77, false};
    EXPECT_EQ(parseKeptHeader(keptHeaderLines(stopped)), stopped);

    // A game over claimed without a score is none; no date, no kept game.
    EXPECT_FALSE(parseKeptHeader("# date: 2026-05-01T12:00:00Z\n# end: game over\n")->gameOver);
    for (const char* date : {"2026-04-31T12:00:00Z", "2026-05-01 12:00:00Z", "2026-05-01T12:00:00",
                             "+026-05-01T12:00:00Z", "2026-05-01T 1:00:00Z", "yesterday"})
        EXPECT_FALSE(parseKeptHeader(std::string("# date: ") + date + "\n# score: 5\n")) << date;
    // Only the comments before the first key are the header.
    EXPECT_FALSE(parseKeptHeader("272 13\n# date: 2026-05-01T12:00:00Z\n"));
}

TEST(KeptGames, TheTenBestAndTheTwentyLatestStayInTheirOrder) {
    std::vector<KeptGame> games;
    // 30 games over, one a minute, scoring 100, 200, ... 3000 but the
    // oldest scoring best; and five that never reached the game-over screen,
    // the newest of all.
    for (int i = 0; i < 30; ++i)
        games.push_back(game("over-" + std::to_string(i), May1 + 60 * i, (30 - i) * 100, true));
    for (int i = 0; i < 5; ++i)
        games.push_back(game("stopped-" + std::to_string(i), May1 + 3600 + i, 99999, false));
    // An equal score: the earlier game ranks first.
    games.push_back(game("tie", May1 + 60 * 40, 3000, true));

    const std::vector<KeptGame> ranked = bestFirst(games);
    ASSERT_EQ(ranked.size(), games.size());
    EXPECT_EQ(ranked[0].file, "over-0");
    EXPECT_EQ(ranked[1].file, "tie");
    EXPECT_EQ(ranked[2].file, "over-1");
    EXPECT_EQ(ranked[31].file, "stopped-4"); // then the others, the latest first
    EXPECT_EQ(ranked[35].file, "stopped-0");
    EXPECT_EQ(latestOf(games)->file, "stopped-4");
    EXPECT_EQ(latestOf({}), nullptr);

    // Kept: the best ten (over-0 .. over-8 and the tie) and the latest
    // twenty (tie, the five stopped, over-16 .. over-29); removed: over-9 .. over-15.
    std::vector<fs::path> expected;
    for (int i = 9; i <= 15; ++i)
        expected.push_back("over-" + std::to_string(i));
    EXPECT_EQ(beyondKeeping(games), expected);
    EXPECT_TRUE(beyondKeeping({games.begin(), games.begin() + 20}).empty());

    const std::string table =
        scoresTable({game("/g/a.keys", May1, 4210, true), game("/g/b.keys", May1, 77, false)});
    EXPECT_EQ(table.substr(0, table.find('\n')), "rank   score  date              file");
    EXPECT_NE(table.find("   1    4210  "), std::string::npos) << table;
    EXPECT_NE(table.find("   -      77  "), std::string::npos) << table;
    EXPECT_NE(table.find("/g/b.keys  (stopped before the game-over screen)\n"), std::string::npos) << table;
}

TEST(KeptGames, TheFolderIsFoundAndWhatIsNoKeptGameThereIsPassedByWithALine) {
    EXPECT_EQ(*keptGamesFolder("/data", "/home/p"), "/data/vexlo-race/games");
    EXPECT_EQ(*keptGamesFolder("relative", "/home/p"), "/home/p/.local/share/vexlo-race/games");
    EXPECT_EQ(keptGamesFolder(nullptr, nullptr), std::nullopt);

    TempDir dir;
    const fs::path games = dir.path() / "games";
    EXPECT_TRUE(listKeptGames(games).games.empty()); // not made yet: nothing to say
    EXPECT_EQ(listKeptGames(games).problem, "");
    fs::create_directories(games);
    const std::string good = keptHeaderLines({"1.0.0", May1, 500, true}) + "272 13\n";
    std::ofstream(games / "game-1.keys") << good;
    std::ofstream(games / "garbage.keys") << "\x7f"
                                             "ELF\x02\x01\x01";
    std::ofstream(games / "not-kept.keys") << "272 13\n";
    std::ofstream(games / "broken.keys") << keptHeaderLines({"1.0.0", May1, 9, true}) << "272 banana\n";
    std::ofstream(games / "huge.keys") << good << std::string(MaxKeptBytes, '#');
    fs::create_symlink(games / "game-1.keys", games / "link.keys");
    fs::create_directory(games / "folder.keys");
    ASSERT_EQ(mkfifo((games / "fifo.keys").c_str(), 0600), 0);
    std::ofstream(games / ".game-2.keys.Ab12Cd") << good; // being written: passed by in silence

    const KeptListing listing = listKeptGames(games);
    ASSERT_EQ(listing.games.size(), 1u);
    EXPECT_EQ(listing.games[0].file, games / "game-1.keys");
    const std::string at = "skipped " + games.string() + "/";
    EXPECT_EQ(listing.skipped,
              (std::vector<std::string>{
                  at + "broken.keys, which is not a key script (broken.keys:5: not a key code: banana)",
                  at + "fifo.keys, which is a named pipe",
                  at + "folder.keys, which is a folder",
                  at + "garbage.keys, which is not a kept game (no date in its header)",
                  at + "huge.keys, which is larger than 4194304 bytes",
                  at + "link.keys, which is a link",
                  at + "not-kept.keys, which is not a kept game (no date in its header)",
              }));
    // Removing what is beyond keeping never touches them.
    EXPECT_EQ(removeBeyondKeeping(games).size(), listing.skipped.size());
    EXPECT_EQ(std::distance(fs::directory_iterator(games), {}), 9);
}

TEST(GameKeeper, KeepsTheKeysAsTheyComeAndTheWholeGameWhenItEnds) {
    TempDir dir;
    const fs::path games = dir.path() / "data" / "games";
    std::string problem;
    auto keeper = GameKeeper::start(games, "1.0.0", May1, problem);
    ASSERT_TRUE(keeper) << problem;
    EXPECT_EQ(keeper->file(), games / "game-20260501-120000.keys");
    // A second game started in the same second has a name of its own.
    auto other = GameKeeper::start(games, "1.0.0", May1, problem);
    ASSERT_TRUE(other) << problem;
    EXPECT_EQ(other->file(), games / "game-20260501-120000-2.keys");

    const std::vector<replay::ScriptedKey> keys = {{272, 13}, {300, 40}, {301, 39, true, false, false}};
    for (const auto& key : keys)
        keeper->write(key);
    // On disk while the game goes on, with a header saying it has not ended.
    EXPECT_EQ(keysOf(keeper->file()), keys);
    EXPECT_EQ(parseKeptHeader(readAll(keeper->file()))->score, std::nullopt);

    EXPECT_TRUE(keeper->finish(true, 4210, true).empty());
    const std::string kept = readAll(games / "game-20260501-120000.keys");
    EXPECT_EQ(parseKeptHeader(kept), (KeptHeader{"1.0.0", May1, 4210, true}));
    EXPECT_EQ(kept.rfind("# A game of Vexlo Race", 0), 0u);
    EXPECT_EQ(keysOf(games / "game-20260501-120000.keys"), keys);

    // A game closed on its title screen was never played: not kept.
    EXPECT_TRUE(other->finish(false, 0, false).empty());
    EXPECT_FALSE(fs::exists(games / "game-20260501-120000-2.keys"));
    EXPECT_EQ(std::distance(fs::directory_iterator(games), {}), 1);
}

TEST(GameKeeper, OnlyTheBestAndTheLatestStayAfterAGame) {
    TempDir dir;
    std::string problem;
    // 35 games one minute apart, each scoring its minute: the last 20 are
    // also the best; the first 15 go.
    for (int i = 0; i < 35; ++i) {
        auto keeper = GameKeeper::start(dir.path(), "1.0.0", May1 + 60 * i, problem);
        ASSERT_TRUE(keeper) << problem;
        keeper->write({272, 13});
        EXPECT_TRUE(keeper->finish(true, i, true).empty());
    }
    const KeptListing listing = listKeptGames(dir.path());
    ASSERT_EQ(listing.games.size(), KeptLatest);
    EXPECT_EQ(bestFirst(listing.games).back().header.score, 15);
}

TEST(GameKeeper, AFolderThatCannotBeWrittenOrAFullDiskCostsOneLine) {
    TempDir dir;
    std::ofstream(dir.path() / "a-file") << "where the folder should be";
    std::string problem;
    EXPECT_FALSE(GameKeeper::start(dir.path() / "a-file" / "games", "1.0.0", May1, problem));
    EXPECT_EQ(problem.rfind("cannot make " + (dir.path() / "a-file" / "games").string(), 0), 0u) << problem;

    // A disk that fills up while the game goes on: the file may grow to 400
    // bytes only. One line when the keys no longer fit; the game's end,
    // which cannot be written either, adds none, leaves no temporary and
    // the file as it was: the keys that fitted, a game not ended.
    auto keeper = GameKeeper::start(dir.path() / "games", "1.0.0", May1, problem);
    ASSERT_TRUE(keeper) << problem;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit full{400, limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 100; ++i)
        keeper->write({272 + i, 38});
    const std::vector<std::string> lines = keeper->finish(true, 600, true);
    const std::string said = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("File too large"), std::string::npos) << said;
    EXPECT_TRUE(lines.empty()) << lines.front();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "games"), {}), 1); // the game's own file
    const std::vector<replay::ScriptedKey> fitted = keysOf(keeper->file());
    ASSERT_FALSE(fitted.empty());
    EXPECT_EQ(fitted.back().update, 272 + static_cast<long>(fitted.size()) - 1);
    EXPECT_EQ(parseKeptHeader(readAll(keeper->file()))->score, std::nullopt);
}

} // namespace
