// The browser build's entry: the page calls these to run one game, either
// the player's (vexlo_play, vexlo_watch) or one from a key script for the
// replay hook (vexlo_replay). Each run starts from a fresh state, with the
// same numbers as a new desktop run of its race. The exports and the
// page's callbacks are listed in display/web/page_seam.h.
#include "display/web/page_seam.h"
#include "display/web/web.h"
#include "game/run_game.h"
#include "ptc/ptc.h"
#include "replay/frame_hash.h"
#include "replay/key_script.h"
#include "sound/fsound.h"
#include "sound/front/sound_control.h"
#include "window/presentation.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

namespace {

namespace page = ptc::web::page;

// The replay tool's update limit.
constexpr long MaxUpdates = 100000;
// The longest run that is watched: the score server's limit.
constexpr long MaxWatchedUpdates = 1000000;
// The replay tool's status for a script it cannot read.
constexpr int BadScript = 2;

std::string soundLog;

void logSoundCall(const char* call) { soundLog += std::to_string(ptc::web::updates()) + ' ' + call + '\n'; }

// Pause and mute act on the sound, as on the desktop; the sound stays
// muted from one game to the next until M again. The race is named.
ptc::window::ComfortsSetUp windowSetUp(const replay::Race& race) {
    const auto last = ptc::window::lastWindow();
    ptc::window::ComfortsSetUp setUp;
    setUp.muted = last && last->muted;
    setUp.pauseChanged = soundLayerSetPaused;
    setUp.muteChanged = soundLayerSetMuted;
    if (race.daily)
        setUp.titleWords = race.words();
    return setUp;
}

// The keys the player's game took, as a script of its race.
std::string playersScript(const replay::Race& race) {
    std::string keys = race.daily ? race.scriptLine() + '\n' : "";
    for (const replay::ScriptedKey& key : ptc::web::playersKeys())
        keys += replay::keyScriptLine(key) + '\n';
    return keys;
}

// A key script as the replay tool reads it; a script it cannot read is
// reported, and is none.
std::optional<replay::KeyScript> readScript(const char* script) {
    try {
        std::istringstream in(script);
        return replay::readKeyScript(in, "keys");
    } catch (const replay::KeyScriptError& error) {
        ptc::DynamicError(error.what()).report();
        return std::nullopt;
    }
}

// One game through the window's rules, at its pace. Its end is told to the
// page with the final score; the game-over screen, which the game clears on
// its way out, is shown again. When recording, every frame's line is kept
// and handed to the page with the keys.
int runLive(ptc::window::ComfortsSetUp setUp, bool recording, const replay::Race& race) {
    soundLayerSetMuted(setUp.muted);
    vexlo::resetGame({.randomState = race.randomState()});
    std::string frames;
    std::optional<int> finalScore;
    ptc::web::playLive(std::move(setUp), [&](long n, const std::uint32_t* shown) {
        // The score goes on counting after the screen: it is taken there.
        if (!finalScore && vexlo::gameOverOnScreen())
            finalScore = vexlo::shownScore();
        if (recording) {
            frames += replay::frameLine(n, shown);
            frames += '\n';
        }
    });
    const int status = vexlo::runGame();
    if (finalScore)
        ptc::web::showStandingPicture();
    const std::string keys = playersScript(race);
    if (recording)
        page::recordDone(frames.c_str(), keys.c_str());
    page::gameEnded(status, finalScore.has_value(), finalScore.value_or(0), keys.c_str());
    return status;
}

// A watched run played once unseen and silent first: its total and its
// crash (window/watch_speed.h).
ptc::window::WatchPlan planWatch(const replay::KeyScript& script) {
    ptc::window::WatchPlan plan;
    replay::RunScript run;
    run.keys = script.keys;
    run.maxUpdates = MaxWatchedUpdates;
    run.onUpdate = [&plan](long n, const std::uint32_t*) { plan.updated(n, vexlo::gameOverOnScreen()); };
    ptc::web::playScripted(std::move(run), true);
    soundLayerSetMuted(true);
    vexlo::resetGame({.randomState = script.race.randomState()});
    vexlo::runGame();
    return plan;
}

} // namespace

// One game with the player's keys, of the race named ("classic" or "daily
// YYYY-MM-DD"; anything else is the classic race).
extern "C" EMSCRIPTEN_KEEPALIVE int vexlo_play(int recording, const char* raceName) {
    const replay::Race race = replay::raceNamed(raceName != nullptr ? raceName : "").value_or(replay::Race{});
    return runLive(windowSetUp(race), recording != 0, race);
}

// A recorded game watched in the page, as the desktop's --watch: at speed
// 1, 2, 4 or 8 (the keys 1, 2, 4 and 8), its sound at the game's own pace,
// the title and game-over screens standing a moment before their key; S
// skips to the crash, P pauses, Escape stops. The page is told the speed,
// the run's total and whether a skip can be asked for. The replay tool's
// status for a script it cannot read.
extern "C" EMSCRIPTEN_KEEPALIVE int vexlo_watch(const char* script, int recording, int speed) {
    std::optional<replay::KeyScript> read = readScript(script);
    if (!read)
        return BadScript;
    ptc::window::ComfortsSetUp setUp = windowSetUp(read->race);
    setUp.watchPlan = planWatch(*read);
    setUp.watchSpeed = speed;
    setUp.watchChanged = [](const ptc::window::WatchState& state) {
        page::watchChanged(state.speed, state.updates, state.total, state.skipping, state.canSkip);
    };
    setUp.watched = std::move(read->keys);
    return runLive(std::move(setUp), recording != 0, read->race);
}

extern "C" EMSCRIPTEN_KEEPALIVE int vexlo_replay(const char* script) {
    std::optional<replay::KeyScript> read = readScript(script);
    if (!read) {
        page::replayDone("", "", BadScript);
        return BadScript;
    }
    std::string frames;
    soundLog.clear();
    vexlo::resetGame({.randomState = read->race.randomState()});
    replay::RunScript run;
    run.keys = std::move(read->keys);
    run.maxUpdates = MaxUpdates;
    run.onUpdate = [&frames](long n, const std::uint32_t* shown) {
        frames += replay::frameLine(n, shown);
        frames += '\n';
    };
    ptc::web::playScripted(std::move(run));
    soundLayerSetTrace(logSoundCall);
    const int status = vexlo::runGame();
    soundLayerSetTrace(nullptr);
    page::replayDone(frames.c_str(), soundLog.c_str(), status);
    return status;
}

// Where the page shows the picture in an area of `width` x `height` CSS
// pixels, by the window's own rules (window/presentation.h): the largest 4:3
// box that fits, and the canvas it draws into at `ratio` device pixels a CSS
// pixel, scaled up from the frame by whole factors to just at least that
// box (the browser shrinks it the rest of the way smoothly). Six numbers:
// the frame's width and height, the box's, the canvas's.
extern "C" EMSCRIPTEN_KEEPALIVE const int* vexlo_web_place(int width, int height, double ratio) {
    using namespace ptc::window;
    static int numbers[6];
    const Rect box = letterbox(Aspect::FourByThree, {std::max(1, width), std::max(1, height)});
    const Size canvas = crispSize(
        {static_cast<int>(std::ceil(box.width * ratio)), static_cast<int>(std::ceil(box.height * ratio))}, {});
    const int placed[6] = {ptc::DisplayWidth, ptc::DisplayHeight, box.width,
                           box.height,        canvas.width,       canvas.height};
    std::copy(std::begin(placed), std::end(placed), numbers);
    return numbers;
}
