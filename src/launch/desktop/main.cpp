// The desktop program's entry: the command line and the remembered
// settings, the window's comforts (window/comforts.h) wired to the sound, a
// game recorded or watched; then one run of the game, which knows none of it.
#include "game/run_game.h"
#include "launch/desktop/options.h"
#include "launch/desktop/recording.h"
#include "launch/desktop/settings.h"
#include "launch/desktop/start_checks.h"
#include "replay/key_script.h"
#include "sound/sound_control.h"
#include "window/comforts.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

using namespace vexlo;
using ptc::window::Aspect;

void say(const std::string& line) { std::fprintf(stderr, "vexlo-race: %s\n", line.c_str()); }

// A file named on the command line is relative to where the player started
// the game. The installed launcher changes to the game's own folder first
// and passes the folder it was started from in VEXLO_CALLER_DIR.
std::string fromCaller(const std::string& path) {
    const char* caller = std::getenv("VEXLO_CALLER_DIR");
    if (path.empty() || path[0] == '/' || caller == nullptr || caller[0] != '/')
        return path;
    return (std::filesystem::path(caller) / path).string();
}

Aspect windowAspect(AspectChoice choice) {
    return choice == AspectChoice::Square ? Aspect::SquarePixels : Aspect::FourByThree;
}

AspectChoice choiceOf(Aspect aspect) {
    return aspect == Aspect::SquarePixels ? AspectChoice::Square : AspectChoice::FourByThree;
}

// The recorded game to watch; exits with status 1 when it cannot be read.
std::vector<ptc::ScriptedKey> readWatched(const std::string& name) {
    std::ifstream in(fromCaller(name));
    if (!in) {
        say("cannot read " + name + ": " + std::strerror(errno));
        std::exit(1);
    }
    try {
        return ptc::readKeyScript(in, name);
    } catch (const ptc::KeyScriptError& error) {
        say(std::string(error.what()) + " (not a recorded game)");
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    const CommandLine line = parseCommandLine({argv + (argc > 0 ? 1 : 0), argv + argc});
    if (!line.error.empty()) {
        say(line.error);
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

    // Files first: a game that cannot be watched or recorded does not start.
    std::optional<std::vector<ptc::ScriptedKey>> watched;
    if (!options.watch.empty())
        watched = readWatched(options.watch);
    std::unique_ptr<Recording> recording;
    if (!options.record.empty()) {
        std::string error;
        recording = Recording::create(fromCaller(options.record), error);
        if (!recording) {
            say(error);
            return 1;
        }
    }

    const auto file = settingsFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    LoadedSettings loaded;
    if (file)
        loaded = loadSettings(*file);
    else
        say("neither XDG_CONFIG_HOME nor HOME is set: the settings are not remembered");
    if (!loaded.problem.empty())
        say(loaded.problem + "; the file will be rewritten");
    const Settings remembered = loaded.settings.value_or(Settings{});
    const Settings start = startSettings(remembered, options);
    // VEXLO_ASPECT still picks the aspect of a run when the command line
    // does not; it is not remembered.
    const char* aspectVariable = std::getenv("VEXLO_ASPECT");
    const bool aspectFromEnvironment = !options.aspect && aspectVariable != nullptr && *aspectVariable != '\0';

    soundLayerSetMuted(start.mute);
    ptc::window::ComfortsSetUp setUp;
    setUp.fullscreen = start.fullscreen;
    setUp.windowSize = {start.windowWidth, start.windowHeight};
    if (!aspectFromEnvironment)
        setUp.aspect = windowAspect(start.aspect);
    setUp.muted = start.mute;
    setUp.pauseChanged = soundLayerSetPaused;
    setUp.muteChanged = soundLayerSetMuted;
    if (recording)
        setUp.keyTaken = [&recording](const ptc::ScriptedKey& key) { recording->write(key); };
    setUp.watched = std::move(watched);
    ptc::window::setUpComforts(std::move(setUp));

    int status = 1;
    if (picturesReadable()) {
        DisplayHold display;
        if (display.start())
            status = runGame();
    }

    // The window as the player left it is how the next run starts.
    if (const auto end = ptc::window::lastWindow(); end && file) {
        Settings left = start;
        left.fullscreen = end->fullscreen;
        if (end->windowSize.width > 0 && end->windowSize.height > 0) {
            left.windowWidth = end->windowSize.width;
            left.windowHeight = end->windowSize.height;
        }
        left.aspect = aspectFromEnvironment ? remembered.aspect : choiceOf(end->aspect);
        left.mute = end->muted;
        if (!loaded.settings || !loaded.problem.empty() || left != *loaded.settings)
            if (const std::string problem = saveSettings(*file, left); !problem.empty())
                say(problem + "; the settings are not remembered");
    }
    return status;
}
