// The one key-script reader: what it refuses, naming the line, and the
// edges it still takes.
#include "replay/key_script.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

std::vector<replay::ScriptedKey> read(const std::string& text) {
    std::istringstream in(text);
    return replay::readKeyScript(in, "game.keys").keys;
}

// The error's text, or "" when the script was taken.
std::string refusal(const std::string& text) {
    try {
        read(text);
    } catch (const replay::KeyScriptError& error) {
        return error.what();
    }
    return "";
}

TEST(KeyScriptReader, RefusesNumbersThatMeanNothingNamingTheLine) {
    const struct {
        const char* line;
        const char* says;
    } cases[] = {
        {"-5 13", "update number"},
        {"1000000000001 13", "update number"},
        {"99999999999999999999 13", "not an update number"},
        {"5 -3", "key code"},
        {"5 0", "key code"},
        {"5 256", "key code"},
        {"5 99999", "key code"},
        {"5 99999999999", "not a key code"},
        {"5 13 meta", "unknown flag"},
        {"5", "needs an update number and a code"},
        {"5.0 13", "not an update number"},
    };
    for (const auto& c : cases) {
        const std::string message = refusal("# first\n272 13\n" + std::string(c.line) + "\n");
        EXPECT_EQ(message.rfind("game.keys:3: ", 0), 0u) << c.line << ": " << message;
        EXPECT_NE(message.find(c.says), std::string::npos) << c.line << ": " << message;
    }
}

TEST(KeyScriptReader, TakesTheEdgesInArrivalOrder) {
    const auto keys = read("1000000000000 255 shift\n\n0 1 # start\r\n7 38 alt ctrl\n7 40\n");
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0], (replay::ScriptedKey{0, 1}));
    EXPECT_EQ(keys[1], (replay::ScriptedKey{7, 38, false, true, true}));
    EXPECT_EQ(keys[2], (replay::ScriptedKey{7, 40}));
    EXPECT_EQ(keys[3], (replay::ScriptedKey{1000000000000, 255, true}));
    EXPECT_EQ(replay::keyScriptLine(keys[3]), "1000000000000 255 shift");
    EXPECT_TRUE(read("").empty());
    EXPECT_TRUE(read("# only a comment\n   \n").empty());
}

replay::KeyScript readWhole(const std::string& text) {
    std::istringstream in(text);
    return replay::readKeyScript(in, "game.keys");
}

TEST(KeyScriptReader, TakesTheRaceFromTheFirstLineThatIsNotAComment) {
    const replay::KeyScript daily = readWhole("# kept game\n\n  race daily 2026-12-10 # the day\n272 13\n");
    ASSERT_TRUE(daily.race.daily);
    EXPECT_EQ(daily.race.randomState(), 20261210u);
    EXPECT_EQ(daily.race.name(), "daily 2026-12-10");
    EXPECT_EQ(daily.race.scriptLine(), "race daily 2026-12-10");
    EXPECT_EQ(daily.keys, (std::vector<replay::ScriptedKey>{{272, 13}}));
    // The first day there is, and a leap day.
    EXPECT_EQ(readWhole("race daily 2026-01-01\n").race.randomState(), 20260101u);
    EXPECT_EQ(readWhole("race daily 2028-02-29\n").race.randomState(), 20280229u);

    const replay::KeyScript classic = readWhole("272 13\n");
    EXPECT_FALSE(classic.race.daily);
    EXPECT_EQ(classic.race.randomState(), replay::ClassicRandomState);
    EXPECT_EQ(classic.race.name(), "classic");
    EXPECT_EQ(classic.race.scriptLine(), "");
}

TEST(KeyScriptReader, RefusesARaceLineThatIsMalformedLateOrTwiceNamingTheLine) {
    const struct {
        const char* script;
        const char* line;
        const char* says;
    } cases[] = {
        {"# a\nrace daily 2026-13-01\n", "game.keys:2: ", "not a date"},
        {"race daily 2027-02-29\n", "game.keys:1: ", "not a date"},
        {"race daily 2026-1-01\n", "game.keys:1: ", "not a date"},
        {"race daily +026-01-01\n", "game.keys:1: ", "not a date"},
        {"race daily 2025-12-31\n", "game.keys:1: ", "first daily race is of 2026-01-01"},
        {"race daily\n", "game.keys:1: ", "race daily YYYY-MM-DD"},
        {"race classic\n", "game.keys:1: ", "race daily YYYY-MM-DD"},
        {"race daily 2026-12-10 2026-12-11\n", "game.keys:1: ", "race daily YYYY-MM-DD"},
        {"race daily 2026-12-10\n# b\nrace daily 2026-12-11\n", "game.keys:3: ", "a second race line"},
        {"272 13\nrace daily 2026-12-10\n", "game.keys:2: ", "must come before the keys"},
    };
    for (const auto& c : cases) {
        const std::string message = refusal(c.script);
        EXPECT_EQ(message.rfind(c.line, 0), 0u) << c.script << ": " << message;
        EXPECT_NE(message.find(c.says), std::string::npos) << c.script << ": " << message;
    }
}

TEST(Race, IsNamedAndDatedInUtc) {
    EXPECT_EQ(replay::raceNamed("classic"), replay::Race{});
    EXPECT_EQ(replay::raceNamed("daily 2026-12-10"), (replay::Race{replay::Day{2026, 12, 10}}));
    EXPECT_FALSE(replay::raceNamed("daily 2025-12-31"));
    EXPECT_FALSE(replay::raceNamed("daily"));
    EXPECT_FALSE(replay::raceNamed("Classic"));
    EXPECT_EQ(replay::dayAfter({2026, 12, 31}, 1), (replay::Day{2027, 1, 1}));
    EXPECT_EQ(replay::dayAfter({2028, 3, 1}, -1), (replay::Day{2028, 2, 29}));
    EXPECT_GE(replay::today(), replay::FirstDailyRace);
}

} // namespace
