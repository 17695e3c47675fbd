// The command line, after GNU's conventions: long options, each value
// given as --name=VALUE or as the next argument, "--" ending the options;
// -h is --help. The program takes no other arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexlo {

enum class AspectChoice { FourByThree, Square };

struct Options {
    bool help = false;
    bool version = false;
    std::optional<bool> fullscreen; // --fullscreen or --window, the last given
    std::optional<AspectChoice> aspect;
    bool mute = false;
    std::string record; // a file to write the game's keys to
    std::string watch;  // a recorded game to play back: a file, "best", "latest" or a link to a run
    int speed = 0;      // --speed: 1, 2, 4 or 8 for --watch; 0 when not given
    // --daily: the daily race of that day (YYYY-MM-DD), or of today when
    // the string is empty.
    std::optional<std::string> daily;
    bool scores = false;    // list the kept games
    std::string submit;     // a recorded game to send to a score server: a file, "best" or "latest"
    std::string name;       // the player's name for --submit
    std::string server;     // the score server for --submit
    bool playerKey = false; // print the player's key
};

struct CommandLine {
    Options options;
    std::string error; // empty when the arguments are good
    // The error is of a value that the usage would not explain (a server's
    // address, a day): one line is enough.
    bool valueError = false;
};

// args without the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The usage, one option a line, for --help and after an error.
extern const char* const UsageText;

// The day --daily names, as of `today` (UTC): why it cannot be played
// (a malformed date, a day before the first daily race, a day to come), or
// empty.
std::string dailyProblem(const std::string& day, const std::string& today);

// "4:3" or "square"; nothing for anything else.
std::optional<AspectChoice> aspectNamed(const std::string& name);
const char* aspectName(AspectChoice aspect);

} // namespace vexlo
