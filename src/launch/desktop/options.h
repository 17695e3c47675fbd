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
    std::string record;     // a file to write the game's keys to
    std::string watch;      // a recorded game to play back: a file, "best" or "latest"
    bool scores = false;    // list the kept games
    std::string submit;     // a recorded game to send to a score server: a file, "best" or "latest"
    std::string name;       // the player's name for --submit
    std::string server;     // the score server for --submit
    bool playerKey = false; // print the player's key
};

struct CommandLine {
    Options options;
    std::string error; // empty when the arguments are good
};

// args without the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The usage, one option a line, for --help and after an error.
extern const char* const UsageText;

// "4:3" or "square"; nothing for anything else.
std::optional<AspectChoice> aspectNamed(const std::string& name);
const char* aspectName(AspectChoice aspect);

} // namespace vexlo
