#include "launch/desktop/options.h"

#include "launch/desktop/server_url.h"
#include "replay/race.h"

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
    "  --daily [DATE]      play today's daily race (UTC), or that of an earlier\n"
    "                      day (YYYY-MM-DD): new traffic every day\n"
    "  --record FILE       write the game's keys to FILE, to watch it again later\n"
    "  --watch FILE        watch a game recorded with --record, or a kept game:\n"
    "                      best (the best kept) or latest (the last played), or\n"
    "                      a run of a score server from its link (index.html#run=N)\n"
    "  --speed N           watch at N times the game's pace: 1, 2, 4 or 8\n"
    "  --scores            list the kept games, the best first\n"
    "  --submit GAME --name NAME [--server URL]\n"
    "                      send a recorded game (a FILE, best or latest) to a\n"
    "                      score server, which plays it again, and say its verdict\n"
    "  --player-key        print the player key sent with each game submitted\n"
    "  -h, --help          show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "In play, P or Pause pauses and M switches the sound off and on; F11 or\n"
    "Alt+Enter switches to full screen and back. Watching, 1 2 4 8 change the\n"
    "speed and S skips to the crash. The settings are remembered\n"
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

enum class Takes { Nothing, Value, MaybeValue };

struct Known {
    const char* name;
    Takes takes;
};
constexpr Known KnownOptions[] = {
    {"fullscreen", Takes::Nothing}, {"window", Takes::Nothing},   {"aspect", Takes::Value},
    {"mute", Takes::Nothing},       {"record", Takes::Value},     {"watch", Takes::Value},
    {"speed", Takes::Value},        {"daily", Takes::MaybeValue}, {"scores", Takes::Nothing},
    {"submit", Takes::Value},       {"name", Takes::Value},       {"server", Takes::Value},
    {"help", Takes::Nothing},       {"version", Takes::Nothing},  {"player-key", Takes::Nothing},
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
    else if (name == "daily") {
        o.daily = value;
        if (!value.empty())
            error = dailyProblem(value, replay::dayText(replay::today()));
    } else if (name == "speed") {
        o.speed =
            value.size() == 1 && std::string("1248").find(value[0]) != std::string::npos ? value[0] - '0' : 0;
        if (o.speed == 0) {
            error = "invalid speed '" + value + "' (1, 2, 4 or 8)";
            return false;
        }
    } else if (name == "player-key") {
        o.playerKey = true;
    } else if (name == "aspect") {
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
        // An address without a scheme is a plain http one: 127.0.0.1:8080.
        o.server = withScheme(value);
        error = serverUrlProblem(o.server);
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
    if (o.daily && o.playerKey)
        return "--daily and --player-key cannot be used together";
    if (o.daily && (!o.watch.empty() || o.scores || !o.submit.empty()))
        return std::string("--daily and ") +
               (!o.watch.empty() ? "--watch"
                : o.scores       ? "--scores"
                                 : "--submit") +
               " cannot be used together (a recorded game names its own race)";
    if (o.speed != 0 && o.watch.empty())
        return "--speed goes with --watch";
    if (!o.submit.empty() && o.name.empty())
        return "--submit needs --name NAME";
    if (o.submit.empty() && (!o.name.empty() || !o.server.empty()))
        return std::string(o.name.empty() ? "--server" : "--name") + " goes with --submit";
    return {};
}

} // namespace

std::string dailyProblem(const std::string& day, const std::string& today) {
    const std::optional<replay::Day> wanted = replay::parseDay(day);
    if (!wanted)
        return "--daily: not a date (YYYY-MM-DD): '" + day + "'";
    if (*wanted < replay::FirstDailyRace)
        return "--daily: the first daily race is of " + replay::dayText(replay::FirstDailyRace) + ", not " + day;
    if (const std::optional<replay::Day> now = replay::parseDay(today); now && *now < *wanted)
        return "--daily: the race of " + day + " has not begun (today is " + today + " in UTC)";
    return {};
}

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
            if (known->takes == Takes::Nothing) {
                error = "option '--" + std::string(known->name) + "' doesn't allow an argument";
                break;
            }
            value = arg.substr(equals + 1);
        } else if (known->takes == Takes::MaybeValue) {
            // The program takes no other arguments: a word that follows and
            // is no option is the value.
            if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-')
                value = args[++i];
        } else if (known->takes == Takes::Value) {
            if (i + 1 >= args.size()) {
                error = "option '--" + std::string(known->name) + "' requires an argument";
                break;
            }
            value = args[++i];
        }
        if (!apply(o, known->name, value, error)) {
            result.valueError = std::string(known->name) == "server" || std::string(known->name) == "daily";
            break;
        }
    }
    if (error.empty())
        error = conflicts(o);
    return result;
}

} // namespace vexlo
