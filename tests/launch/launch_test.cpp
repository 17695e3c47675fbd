// What main does around the game: the command line, the settings file it
// remembers the window in, and the recording of a game's keys.
#include "../support/temp_dir.h"
#include "replay/key_script.h"
#include "launch/desktop/options.h"
#include "launch/desktop/recording.h"
#include "launch/desktop/settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace {

using namespace vexlo;
using testing_support::TempDir;

Options parsed(const std::vector<std::string>& args) {
    const CommandLine line = parseCommandLine(args);
    EXPECT_EQ(line.error, "");
    return line.options;
}

TEST(CommandLine, TakesEachOptionInGnuForms) {
    EXPECT_EQ(parsed({}).fullscreen, std::nullopt);
    EXPECT_EQ(parsed({"--fullscreen"}).fullscreen, true);
    EXPECT_EQ(parsed({"--fullscreen", "--window"}).fullscreen, false); // the last wins
    EXPECT_EQ(parsed({"--aspect=4:3"}).aspect, AspectChoice::FourByThree);
    EXPECT_EQ(parsed({"--aspect", "square"}).aspect, AspectChoice::Square);
    EXPECT_TRUE(parsed({"--mute"}).mute);
    EXPECT_EQ(parsed({"--record", "a game"}).record, "a game");
    EXPECT_EQ(parsed({"--watch=--mute"}).watch, "--mute");
    EXPECT_TRUE(parsed({"--help"}).help);
    EXPECT_TRUE(parsed({"-h"}).help);
    EXPECT_TRUE(parsed({"--version", "--"}).version);
    // Abbreviations that name one option.
    EXPECT_EQ(parsed({"--full", "--asp=square"}).aspect, AspectChoice::Square);
    EXPECT_EQ(parsed({"--wa", "game.keys"}).watch, "game.keys");
}

TEST(CommandLine, RefusesWhatItDoesNotKnowAndSaysWhat) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--speed"}, "unrecognized option '--speed'"},
        {{"--w"}, "option '--w' is ambiguous"},
        {{"-f"}, "invalid option '-f'"},
        {{"game.keys"}, "unexpected argument 'game.keys'"},
        {{"--", "game.keys"}, "unexpected argument 'game.keys'"},
        {{"--aspect=16:9"}, "invalid aspect '16:9' (4:3 or square)"},
        {{"--aspect="}, "invalid aspect '' (4:3 or square)"},
        {{"--aspect=Square"}, "invalid aspect 'Square' (4:3 or square)"},
        {{"--aspect"}, "option '--aspect' requires an argument"},
        {{"--record"}, "option '--record' requires an argument"},
        {{"--record="}, "option '--record' needs a file name"},
        {{"--mute=yes"}, "option '--mute' doesn't allow an argument"},
        {{"--record", "a", "--watch", "b"}, "--record and --watch cannot be used together"},
    };
    for (const auto& [args, error] : bad)
        EXPECT_EQ(parseCommandLine(args).error, error) << args[0];
}

Settings someSettings() {
    Settings s;
    s.fullscreen = true;
    s.windowWidth = 1000;
    s.windowHeight = 750;
    s.aspect = AspectChoice::Square;
    s.mute = true;
    return s;
}

TEST(SettingsFile, IsReadableTextThatReadsBackAndTheCommandLineWins) {
    const std::string text = formatSettings(someSettings());
    EXPECT_NE(text.find("window = 1000x750\n"), std::string::npos) << text;
    EXPECT_NE(text.find("aspect = square\n"), std::string::npos) << text;
    std::string problem;
    EXPECT_EQ(parseSettings(text, problem), someSettings());
    EXPECT_EQ(parseSettings(" fullscreen=yes \r\n\n# set by hand\n\tmute =no", problem).fullscreen, true);
    EXPECT_EQ(problem, "");

    Options options;
    options.fullscreen = false;
    options.aspect = AspectChoice::FourByThree;
    const Settings start = startSettings(someSettings(), options);
    EXPECT_FALSE(start.fullscreen);
    EXPECT_EQ(start.aspect, AspectChoice::FourByThree);
    EXPECT_TRUE(start.mute); // --mute only ever switches the sound off
    EXPECT_EQ(start.windowWidth, 1000);
}

TEST(SettingsFile, ABadLineCostsOnlyThatLineAndIsNamed) {
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"garbage", "line 2: not a setting: 'garbage'"},
        {"speed = 5", "line 2: not a setting: 'speed'"},
        {"fullscreen = maybe", "line 2: fullscreen is yes or no, not 'maybe'"},
        {"aspect = 16:9", "line 2: aspect is 4:3 or square, not '16:9'"},
        {"window = 10x10", "line 2: window is WIDTHxHEIGHT from 320x200 to 16384x16384, not '10x10'"},
        {"window = 20000x600", ""},
        {"window = -640x480", ""},
        {"window = +640x480", ""},
        {"window = 640x", ""},
        {"window = 640 x 480", ""},
        {"window = 99999999999999999999x480", ""}, // overflows
        {"server = ftp://host", "line 2: server: not an http:// or https:// address: 'ftp://host'"},
        {"server = http://user@host/", "line 2: server: no host in 'http://user@host/'"},
        {"server = http://a b", ""},
        {std::string("mute\0 = no", 10), "line 2: not text"},
    };
    for (const auto& [line, why] : bad) {
        // The good lines around the bad one still count.
        std::string problem;
        const Settings s = parseSettings("mute = yes\n" + line + "\nwindow = 800x500\n", problem);
        EXPECT_TRUE(s.mute) << line;
        EXPECT_EQ(s.windowWidth, 800) << line;
        EXPECT_EQ(problem.rfind("line 2: ", 0), 0u) << line << ": " << problem;
        if (!why.empty()) {
            EXPECT_EQ(problem, why);
        }
    }
    // Twice: the first is kept. Several bad lines: the first named, the rest counted.
    std::string problem;
    EXPECT_TRUE(parseSettings("mute = yes\nmute = no", problem).mute);
    EXPECT_EQ(problem, "line 2: mute is set twice; the first is kept");
    parseSettings("a\nmute = yes\nb\nc", problem);
    EXPECT_EQ(problem, "line 1: not a setting: 'a' (and 2 more bad lines)");
    const Settings served = parseSettings("server = https://scores.example:8443/vexlo/\n", problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(served.server, "https://scores.example:8443/vexlo/");
    EXPECT_NE(formatSettings(served).find("server = https://scores.example:8443/vexlo/\n"), std::string::npos);

    // The limits themselves are allowed: the picture's own size, and a file
    // of exactly the largest size.
    const Settings smallest = parseSettings("window = 320x200", problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(smallest.windowWidth, 320);
    EXPECT_EQ(smallest.windowHeight, 200);
    TempDir dir;
    const auto file = dir.path() / "settings.conf";
    std::string text = "mute = yes\n";
    text.resize(MaxSettingsBytes, '#');
    std::ofstream(file) << text;
    const LoadedSettings loaded = loadSettings(file);
    ASSERT_TRUE(loaded.settings) << loaded.problem;
    EXPECT_TRUE(loaded.settings->mute);
}

TEST(SettingsFile, MissingHostileOrUnwritablePlacesCostALineNeverTheGame) {
    TempDir dir;
    const auto file = *settingsFile(dir.path().c_str(), "/home/nobody");
    EXPECT_EQ(file, dir.path() / "vexlo-race" / "settings.conf");
    EXPECT_EQ(*settingsFile("relative/path", "/home/p"), "/home/p/.config/vexlo-race/settings.conf");
    EXPECT_EQ(settingsFile(nullptr, nullptr), std::nullopt);

    // Missing: nothing to say. Saved whole, with its folder, and nothing else
    // left beside it; read back the same.
    LoadedSettings loaded = loadSettings(file);
    EXPECT_FALSE(loaded.settings);
    EXPECT_EQ(loaded.problem, "");
    ASSERT_EQ(saveSettings(file, someSettings()), "");
    EXPECT_EQ(loadSettings(file).settings, someSettings());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);

    // Garbage costs its line; the file is named.
    std::ofstream(file) << "window = 640x480\nfullscreen = yes\n\x7f\x45\x4c\x46\x01";
    loaded = loadSettings(file);
    ASSERT_TRUE(loaded.settings);
    EXPECT_TRUE(loaded.settings->fullscreen);
    EXPECT_EQ(loaded.problem, file.string() + ": line 3: not text");

    // Hostile files: each left aside with a reason that names it.
    auto leftAside = [&](const std::string& what) {
        loaded = loadSettings(file);
        EXPECT_FALSE(loaded.settings) << what;
        EXPECT_NE(loaded.problem.find(file.string()), std::string::npos) << what << ": " << loaded.problem;
    };
    std::ofstream(file) << std::string(MaxSettingsBytes + 1, '#');
    leftAside("huge");
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    leftAside("a folder");
    std::filesystem::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    leftAside("a named pipe, which must not hold the game up");
    std::filesystem::remove(file);
    std::filesystem::create_symlink("/dev/zero", file);
    leftAside("an endless device");

    // A place that cannot be written: said, and nothing half written.
    std::filesystem::remove(file);
    std::ofstream(dir.path() / "plain") << "a file where a folder should be";
    EXPECT_NE(saveSettings(dir.path() / "plain" / "settings.conf", someSettings()), "");
    std::filesystem::create_directory(file);
    EXPECT_NE(saveSettings(file, someSettings()), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
}

TEST(Recording, WritesEachKeyAsItComesInTheReplayToolsForm) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(Recording::create((dir.path() / "no" / "such" / "folder").string(), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);

    const auto path = dir.path() / "game.keys";
    auto recording = Recording::create(path.string(), error);
    ASSERT_TRUE(recording);
    const std::vector<replay::ScriptedKey> keys = {
        {117, 32}, {119, 80, true, false, false}, {300, 38, false, true, true}};
    for (const auto& key : keys)
        recording->write(key);
    // Already on disk while the game goes on.
    std::ifstream in(path);
    EXPECT_EQ(replay::readKeyScript(in, "game.keys"), keys);

    // A longer game where several keys share an update (a wait's key and
    // the ones pressed with it): read back in the order they were taken,
    // or a watched game drifts from the one played.
    const auto busy = dir.path() / "busy.keys";
    auto second = Recording::create(busy.string(), error);
    ASSERT_TRUE(second);
    std::vector<replay::ScriptedKey> many;
    for (int i = 0; i < 40; ++i)
        many.push_back({272 + i / 5 * 10, 37 + i % 4});
    for (const auto& key : many)
        second->write(key);
    std::ifstream busyIn(busy);
    EXPECT_EQ(replay::readKeyScript(busyIn, "busy.keys"), many);
}

TEST(KeyScript, RefusesLinesThatAreNotWholeNumbers) {
    for (const char* line : {"32x", "12.5 38", "272 13x", "272 0x0d", "272 13 shiftt"}) {
        std::istringstream in(std::string("# a game\n100 40\n") + line + "\n");
        try {
            replay::readKeyScript(in, "game.keys");
            ADD_FAILURE() << line << " was accepted";
        } catch (const replay::KeyScriptError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("game.keys:3: ", 0), 0u) << error.what();
        }
    }
}

} // namespace
