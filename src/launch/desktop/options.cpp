#include "launch/desktop/options.h"

#include "launch/desktop/server_url.h"

#include <utility>

namespace vexlo {

const char* const UsageText =
    "Usage: vexlo-race [OPTION]...\n"
    "An arcade car game: steer with Up and Down, change speed with Left and Right.\n"
    "\n"
    "  --fullscreen        start in full screen\n"
    "  --window            start in a window\n"
    "  --aspect=ASPECT     4:3 (pixels as tall as on the old screens) or square\n"
    "  --mute              start with the sound off (M switches it)\n"
    "  --record FILE       write the game's keys to FILE, to watch it again later\n"
    "  --watch FILE        watch a game recorded with --record, or a kept game:\n"
    "                      best (the best kept) or latest (the last played)\n"
    "  --scores            list the kept games, the best first\n"
    "  --submit GAME --name NAME [--server URL]\n"
    "                      send a recorded game (a FILE, best or latest) to a\n"
    "                      score server, which plays it again, and say its verdict\n"
    "  --player-key        print the player key sent with each game submitted\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "In play, P or Pause pauses and M switches the sound off and on; F11 or\n"
    "Alt+Enter switches to full screen and back. The settings are remembered\n"
    "in $XDG_CONFIG_HOME/vexlo-race/ (~/.config/vexlo-race/ by default), where\n"
    "'server = URL' names the score server; every game played is kept in\n"
    "$XDG_DATA_HOME/vexlo-race/games/ (~/.local/share/vexlo-race/games/), and\n"
    "the player key, which makes a name yours on a score server, beside it in\n"
    "player.key.\n";

std::optional<AspectChoice> aspectNamed(const std::string& name) {
    if (name == "4:3")
        return AspectChoice::FourByThree;
    if (name == "square")
        return AspectChoice::Square;
    return std::nullopt;
}

const char* aspectName(AspectChoice aspect) { return aspect == AspectChoice::FourByThree ? "4:3" : "square"; }

namespace {

struct Known {
    const char* name;
    bool takesValue;
};
constexpr Known KnownOptions[] = {
    {"fullscreen", false}, {"window", false},  {"aspect", true},      {"mute", false}, {"record", true},
    {"watch", true},       {"scores", false},  {"submit", true},      {"name", true},  {"server", true},
    {"help", false},       {"version", false}, {"player-key", false},
};

// The option a name stands for: itself, or the one option it begins
// (GNU's abbreviations). Null when none or several.
const Known* lookUp(const std::string& name, std::string& error) {
    const Known* found = nullptr;
    int matches = 0;
    for (const Known& known : KnownOptions) {
        const std::string full = known.name;
        if (full == name)
            return &known;
        if (!name.empty() && full.compare(0, name.size(), name) == 0) {
            found = &known;
            ++matches;
        }
    }
    if (matches == 1)
        return found;
    error = matches == 0 ? "unrecognized option '--" + name + "'" : "option '--" + name + "' is ambiguous";
    return nullptr;
}

// Applies one option; false with the error set when its value is bad.
bool apply(Options& o, const std::string& name, const std::string& value, std::string& error) {
    if (name == "fullscreen" || name == "window")
        o.fullscreen = name == "fullscreen";
    else if (name == "mute")
        o.mute = true;
    else if (name == "help")
        o.help = true;
    else if (name == "version")
        o.version = true;
    else if (name == "scores")
        o.scores = true;
    else if (name == "player-key")
        o.playerKey = true;
    else if (name == "aspect") {
        o.aspect = aspectNamed(value);
        if (!o.aspect) {
            error = "invalid aspect '" + value + "' (4:3 or square)";
            return false;
        }
    } else if (value.empty()) {
        error = "option '--" + name + "' needs " +
                (name == "name"     ? "a name"
                 : name == "server" ? "an address"
                                    : "a file name");
        return false;
    } else if (name == "name") {
        o.name = value; // checked with --submit, which needs it
    } else if (name == "server") {
        o.server = value;
        error = serverUrlProblem(value);
        if (!error.empty())
            error = "invalid server: " + error;
    } else if (name == "record") {
        o.record = value;
    } else if (name == "submit") {
        o.submit = value;
    } else {
        o.watch = value;
    }
    return error.empty();
}

// What cannot be asked together, or not alone.
std::string conflicts(const Options& o) {
    const std::pair<const char*, bool> commands[] = {{"--record", !o.record.empty()},
                                                     {"--watch", !o.watch.empty()},
                                                     {"--scores", o.scores},
                                                     {"--submit", !o.submit.empty()},
                                                     {"--player-key", o.playerKey}};
    const char* first = nullptr;
    for (const auto& [name, given] : commands) {
        if (given && first != nullptr)
            return std::string(first) + " and " + name + " cannot be used together";
        if (given)
            first = name;
    }
    if (!o.submit.empty() && o.name.empty())
        return "--submit needs --name NAME";
    if (o.submit.empty() && (!o.name.empty() || !o.server.empty()))
        return std::string(o.name.empty() ? "--server" : "--name") + " goes with --submit";
    return {};
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    Options& o = result.options;
    std::string& error = result.error;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h") {
            o.help = true;
            continue;
        }
        if (arg == "--") {
            if (i + 1 < args.size())
                error = "unexpected argument '" + args[i + 1] + "'";
            break;
        }
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            error = arg.size() > 1 && arg[0] == '-' ? "invalid option '" + arg + "'"
                                                    : "unexpected argument '" + arg + "'";
            break;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const Known* known = lookUp(name, error);
        if (known == nullptr)
            break;
        std::string value;
        if (equals != std::string::npos) {
            if (!known->takesValue) {
                error = "option '--" + std::string(known->name) + "' doesn't allow an argument";
                break;
            }
            value = arg.substr(equals + 1);
        } else if (known->takesValue) {
            if (i + 1 >= args.size()) {
                error = "option '--" + std::string(known->name) + "' requires an argument";
                break;
            }
            value = args[++i];
        }
        if (!apply(o, known->name, value, error))
            break;
    }
    if (error.empty())
        error = conflicts(o);
    return result;
}

} // namespace vexlo
