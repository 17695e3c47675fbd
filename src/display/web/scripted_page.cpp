// A key script played in the page, for the replay hook: the replay tool's
// run (replay/scripted_run.h), unpaced, now and then giving the page a
// moment to draw and to stay responsive. Played unseen, it draws nothing
// and opens nothing on the page (a watched run, played first to know it).
#include "display/web/page_display.h"
#include "display/web/page_seam.h"
#include "display/web/web.h"

#include <emscripten.h>

#include <chrono>

namespace ptc::web {

namespace {

// How often an unpaced run lets the page draw and take keys.
constexpr auto BreakEvery = std::chrono::milliseconds(50);

using Clock = std::chrono::steady_clock;

replay::ScriptedRun run;
bool unseenRun = false;

struct ScriptedPage final : Display::Impl {
    Clock::time_point lastBreak = Clock::now();
    bool unseen = unseenRun;

    void open(const std::string& title) override {
        if (!unseen)
            page::open(title.c_str());
        lastBreak = Clock::now();
    }

    // An unseen run ends, when its script ends it, as a closed window ends
    // a run: nothing to report.
    template <typename F>
    auto quietEnd(F step) {
        try {
            return step();
        } catch (const replay::KeyScriptEnded&) {
            if (unseen)
                throw Closed();
            throw;
        } catch (const replay::UpdateLimitReached&) {
            if (unseen)
                throw Closed();
            throw;
        }
    }

    void update() override {
        quietEnd([&] { run.update(shown.data()); });
        const Clock::time_point now = Clock::now();
        if (now - lastBreak < BreakEvery)
            return;
        if (!unseen)
            presentPicture(shown);
        emscripten_sleep(0);
        lastBreak = Clock::now();
    }

    bool keyPressed() override { return run.keyPressed(); }
    KeyEvent read() override {
        return quietEnd([&] { return run.read(); });
    }
    void close() override {}
};

} // namespace

void playScripted(replay::RunScript script, bool unseen) {
    run = replay::ScriptedRun(std::move(script));
    unseenRun = unseen;
    nextRunIsScripted(true);
}

std::unique_ptr<Display::Impl> makeScriptedPage() { return std::make_unique<ScriptedPage>(); }

long scriptedUpdates() { return run.updates(); }

} // namespace ptc::web
