// The one key-script reader: what it refuses, naming the line, and the
// edges it still takes.
#include "replay/key_script.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

std::vector<replay::ScriptedKey> read(const std::string& text) {
    std::istringstream in(text);
    return replay::readKeyScript(in, "game.keys");
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

} // namespace
