// The desktop program's entry: the command line and the remembered
// settings, the window's comforts (window/comforts.h) wired to the sound, a
// game recorded, kept or watched; then one run of the game, which knows none
// of it. Or, without a window, the kept games listed or one sent to a score
// server.
#include "display/sdl/unseen_run.h"
#include "game/run_game.h"
#include "launch/desktop/game_keeper.h"
#include "launch/desktop/kept_commands.h"
#include "launch/desktop/options.h"
#include "launch/desktop/player_key.h"
#include "launch/desktop/recording.h"
#include "launch/desktop/run_link.h"
#include "launch/desktop/settings.h"
#include "launch/desktop/start_checks.h"
#include "launch/desktop/user_folders.h"
#include "launch/desktop/utf8_path.h"
#include "replay/key_script.h"
#include "sound/front/sound_control.h"
#include "window/comforts.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace {

using namespace vexlo;
using ptc::window::Aspect;

void say(const std::string& line) { std::fprintf(stderr, "vexlo-race: %s\n", line.c_str()); }

// A file named on the command line is relative to where the player started
// the game. The installed launcher changes to the game's own folder first
// and passes the folder it was started from in VEXLO_CALLER_DIR (so does
// the Windows program, which starts in its own folder).
std::string fromCaller(const std::string& path) {
    const char* caller = std::getenv("VEXLO_CALLER_DIR");
    if (path.empty() || pathOf(path).has_root_directory() || caller == nullptr || !pathOf(caller).is_absolute())
        return path;
    return textOf(pathOf(caller) / pathOf(path));
}

Aspect windowAspect(AspectChoice choice) {
    return choice == AspectChoice::Square ? Aspect::SquarePixels : Aspect::FourByThree;
}

AspectChoice choiceOf(Aspect aspect) {
    return aspect == Aspect::SquarePixels ? AspectChoice::Square : AspectChoice::FourByThree;
}

// The longest run that is watched: the score server's limit.
constexpr long MaxWatchedUpdates = 1000000;

// The recorded game to watch; exits with status 1 when it cannot be read.
replay::KeyScript readWatched(std::istream& in, const std::string& name) {
    try {
        return replay::readKeyScript(in, name);
    } catch (const replay::KeyScriptError& error) {
        say(std::string(error.what()) + " (not a recorded game)");
        std::exit(1);
    }
}

replay::KeyScript readWatchedFile(const std::string& path, const std::string& name) {
    std::ifstream in(pathOf(path));
    if (!in) {
        say("cannot read " + name + ": " + std::strerror(errno));
        std::exit(1);
    }
    return readWatched(in, name);
}

// A run of a score server, from its link, and whose it is; exits with
// status 1 when it cannot be had.
replay::KeyScript fetchWatched(const std::string& url, std::string& about) {
    std::string problem;
    const std::optional<RunLink> link = parseRunLink(url, problem);
    FetchedRun run;
    if (link)
        run = fetchRun(*makeHttpClient("vexlo-race/" VEXLO_VERSION), *link, problem);
    if (!problem.empty()) {
        say(problem);
        std::exit(1);
    }
    about = run.about;
    std::istringstream in(run.keys);
    return readWatched(in, "run " + std::to_string(link->id));
}

// The watched run played once unseen and silent first: its total and its
// crash (window/watch_speed.h).
ptc::window::WatchPlan planWatch(const std::vector<replay::ScriptedKey>& keys, const replay::Race& race) {
    ptc::window::WatchPlan plan;
    replay::RunScript run;
    run.keys = keys;
    run.maxUpdates = MaxWatchedUpdates;
    run.onUpdate = [&plan](long n, const std::uint32_t*) { plan.updated(n, gameOverOnScreen()); };
    ptc::sdl::playUnseen(std::move(run));
    soundLayerSetMuted(true);
    resetGame({.randomState = race.randomState()});
    runGame();
    return plan;
}

// A file named on the command line, or the kept game "best" or "latest"
// stands for; exits with status 1 when there is none.
std::string recordedGame(const std::string& which, const std::optional<std::filesystem::path>& games) {
    std::string problem;
    const std::string path = keptGameNamed(which, games, problem);
    if (path.empty()) {
        say(problem);
        std::exit(1);
    }
    return path == which ? fromCaller(which) : path;
}

struct Run {
    Settings start;
    bool aspectFromEnvironment = false;
    std::unique_ptr<Recording> recording;
    std::unique_ptr<GameKeeper> keeper;
    std::optional<std::vector<replay::ScriptedKey>> watched;
    int watchSpeed = 1;
    std::string watchedAbout; // a run watched from its link: whose it is
    replay::Race race;
    HeaderScore headerScore;
};

// keeping: a keeper is made for the game before its window opens. A
// watched run is played unseen first, to know its total and its crash.
void setUpWindow(Run& run, bool keeping) {
    ptc::window::ComfortsSetUp setUp;
    setUp.fullscreen = run.start.fullscreen;
    setUp.windowSize = {run.start.windowWidth, run.start.windowHeight};
    if (!run.aspectFromEnvironment)
        setUp.aspect = windowAspect(run.start.aspect);
    setUp.muted = run.start.mute;
    setUp.pauseChanged = soundLayerSetPaused;
    setUp.muteChanged = soundLayerSetMuted;
    // Taking keys as a recording does changes when the game sees some of
    // them (game_keys.h): only for a game that is recorded or kept.
    if (run.recording || keeping)
        setUp.keyTaken = [&run](const replay::ScriptedKey& key) {
            if (run.recording)
                run.recording->write(key);
            if (run.keeper)
                run.keeper->write(key);
            run.headerScore.keyTaken(gameOverOnScreen(), shownScore());
        };
    setUp.watched = std::move(run.watched);
    if (setUp.watched) {
        setUp.watchPlan = planWatch(*setUp.watched, run.race);
        setUp.watchSpeed = run.watchSpeed;
        setUp.watchBar = true;
    }
    if (!run.watchedAbout.empty())
        setUp.titleWords = "watching " + run.watchedAbout;
    else if (run.race.daily)
        setUp.titleWords = run.race.words();
    if (!setUp.titleWords.empty()) {
        // The title holds more than ASCII ("Vexlo Race — daily race ..."):
        // the window system is given it in the user's character set. (An
        // ASCII title is left as it always was: some tools read no other.)
        std::setlocale(LC_CTYPE, "");
    }
    soundLayerSetMuted(run.start.mute);
    ptc::window::setUpComforts(std::move(setUp));
}

// The game just played, kept with its score (closed during the game-over
// screen, no key ended it and the score stands as shown).
void keepGame(Run& run) {
    if (!run.keeper)
        return;
    const int score = run.headerScore.atEnd(shownScore());
    for (const std::string& line : run.keeper->finish(gamePlayed(), score, gameOverOnScreen()))
        say(line);
}

// The window as the player left it is how the next run starts.
void rememberWindow(const Run& run, const std::optional<std::filesystem::path>& file,
                    const LoadedSettings& loaded) {
    const auto end = ptc::window::lastWindow();
    if (!end || !file)
        return;
    Settings left = run.start;
    left.fullscreen = end->fullscreen;
    if (end->windowSize.width > 0 && end->windowSize.height > 0) {
        left.windowWidth = end->windowSize.width;
        left.windowHeight = end->windowSize.height;
    }
    const Settings remembered = loaded.settings.value_or(Settings{});
    left.aspect = run.aspectFromEnvironment ? remembered.aspect : choiceOf(end->aspect);
    left.mute = end->muted;
    if (!loaded.settings || !loaded.problem.empty() || left != *loaded.settings)
        if (const std::string problem = saveSettings(*file, left); !problem.empty())
            say(problem + "; the settings are not remembered");
}

int play(const Options& options, const std::optional<std::filesystem::path>& settings,
         const LoadedSettings& loaded, const std::optional<std::filesystem::path>& games) {
    Run run;
    if (options.daily)
        run.race.daily = replay::parseDay(*options.daily).value_or(replay::today());
    // Files first: a game that cannot be watched or recorded does not start.
    if (!options.watch.empty()) {
        replay::KeyScript watched;
        if (isLink(options.watch)) {
            watched = fetchWatched(options.watch, run.watchedAbout);
        } else {
            const std::string path = recordedGame(options.watch, games);
            watched = readWatchedFile(path, path == fromCaller(options.watch) ? options.watch : path);
        }
        run.watched = std::move(watched.keys);
        run.race = watched.race;
        run.watchSpeed = options.speed != 0 ? options.speed : 1;
    }
    if (!options.record.empty()) {
        std::string error;
        const std::string raceLine = run.race.daily ? run.race.scriptLine() + "\n" : "";
        run.recording = Recording::create(fromCaller(options.record), error, raceLine);
        if (!run.recording) {
            say(error);
            return 1;
        }
    }
    run.start = startSettings(loaded.settings.value_or(Settings{}), options);
    // VEXLO_ASPECT still picks the aspect of a run when the command line
    // does not; it is not remembered.
    const char* aspectVariable = std::getenv("VEXLO_ASPECT");
    run.aspectFromEnvironment = !options.aspect && aspectVariable != nullptr && *aspectVariable != '\0';
    // Every game played is kept (a watched one is kept already), once it
    // is sure to start.
    const bool keeping = !run.watched && games;

    int status = 1;
    if (picturesReadable()) {
        DisplayHold display;
        if (display.start()) {
            setUpWindow(run, keeping);
            std::string problem;
            if (keeping)
                run.keeper = GameKeeper::start(*games, VEXLO_VERSION, std::time(nullptr), run.race, problem);
            if (keeping && !run.keeper)
                say(problem + "; this game is not kept");
            resetGame({.randomState = run.race.randomState()});
            status = runGame();
        }
    }
    keepGame(run);
    rememberWindow(run, settings, loaded);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    const CommandLine line = parseCommandLine({argv + (argc > 0 ? 1 : 0), argv + argc});
    if (!line.error.empty()) {
        say(line.error);
        if (!line.valueError)
            std::fputs(UsageText, stderr);
        return 2;
    }
    const Options& options = line.options;
    if (options.help) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vexlo-race %s\n", VEXLO_VERSION);
        return 0;
    }
    const auto games = userGamesFolder();
    if (options.scores)
        return listScores(games);
    const auto keyFile = playerKeyFile(games);
    if (options.playerKey)
        return printPlayerKey(keyFile);

    const auto settings = userSettingsFile();
    LoadedSettings loaded;
    if (settings)
        loaded = loadSettings(*settings);
    else
        say("neither XDG_CONFIG_HOME nor HOME is set: the settings are not remembered");
    if (!loaded.problem.empty())
        say(loaded.problem + "; the file will be rewritten when a game ends");

    if (!options.submit.empty()) {
        SubmitSetUp setUp;
        setUp.settingsServer = loaded.settings.value_or(Settings{}).server;
        setUp.settingsFile = settings ? textOf(*settings) : "$XDG_CONFIG_HOME/vexlo-race/settings.conf";
        setUp.version = VEXLO_VERSION;
        setUp.playerKeyFile = keyFile;
        if (const std::string problem = submitProblem(options, setUp); !problem.empty()) {
            say(problem);
            return 2;
        }
        setUp.file = recordedGame(options.submit, games);
        return submitGame(options, setUp);
    }
    return play(options, settings, loaded, games);
}
