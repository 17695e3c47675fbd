// A key script played in the page, for the replay hook: the replay tool's
// run (replay/scripted_run.h), unpaced, now and then giving the page a
// moment to draw and to stay responsive.
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

struct ScriptedPage final : Display::Impl {
    Clock::time_point lastBreak = Clock::now();

    void open(const std::string& title) override {
        page::open(title.c_str());
        lastBreak = Clock::now();
    }

    void update() override {
        run.update(shown.data());
        const Clock::time_point now = Clock::now();
        if (now - lastBreak < BreakEvery)
            return;
        presentPicture(shown);
        emscripten_sleep(0);
        lastBreak = Clock::now();
    }

    bool keyPressed() override { return run.keyPressed(); }
    KeyEvent read() override { return run.read(); }
    void close() override {}
};

} // namespace

void playScripted(replay::RunScript script) {
    run = replay::ScriptedRun(std::move(script));
    nextRunIsScripted(true);
}

std::unique_ptr<Display::Impl> makeScriptedPage() { return std::make_unique<ScriptedPage>(); }

long scriptedUpdates() { return run.updates(); }

} // namespace ptc::web
