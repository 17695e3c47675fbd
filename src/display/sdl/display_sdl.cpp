// The real window, over SDL2: the 320 x 200 surface shown crisp, at 4:3 by
// default (see presentation.h), letterboxed in a resizable window that F11
// and Alt+Enter switch to full screen and back, drawn by a graphics card or
// by the processor (see presenter.h); key presses and gamepad buttons
// queued in the order they came (see input.h); and an optional steady pace
// of 70 updates a second that showing a frame never slows (frame_pacer.h).
//
// A close request (the window's close button, Ctrl+C, SIGTERM) ends the run
// through ptc::Closed, thrown by whichever of update, keyPressed and read
// runs next. SDL turns SIGINT and SIGTERM into SDL_QUIT once its events are
// started, so both kinds of request arrive as events.
#include "display/sdl/sdl_display.h"
#include "display/sdl/unseen_run.h"

namespace ptc {

namespace {

std::optional<replay::RunScript>& nextUnseenRun() {
    static std::optional<replay::RunScript> script;
    return script;
}

// An unseen run ends, when its script ends it, as a closed window ends a
// run: nothing to report, nobody to tell.
template <typename F>
void unseenly(F step) {
    try {
        step();
    } catch (const replay::KeyScriptEnded&) {
        throw Closed();
    } catch (const replay::UpdateLimitReached&) {
        throw Closed();
    }
}

} // namespace

void sdl::playUnseen(replay::RunScript script) { nextUnseenRun() = std::move(script); }

Display::Display() : impl_(std::make_unique<Impl>()) {
    if (nextUnseenRun()) {
        impl_->unseen.emplace(std::move(*nextUnseenRun()));
        nextUnseenRun().reset();
    }
}

Display::~Display() = default;

bool Display::option(const std::string& name) {
    if (name == "synchronized update") {
        impl_->synchronized = true;
        return true;
    }
    if (name == "disable logging") {
        impl_->silenceLog();
        return true;
    }
    return false;
}

void Display::open(const std::string& title, const PixelFormat&, int) {
    if (impl_->unseen)
        impl_->unseenOpen = true;
    else
        impl_->open(title);
}

int Display::width() const { return DisplayWidth; }

int Display::height() const { return DisplayHeight; }

void Display::update() {
    Impl& d = *impl_;
    d.requireOpen();
    if (d.unseen) {
        unseenly([&] { d.unseen->update(nullptr); });
        return;
    }
    d.throwIfClosed();
    // A watched run may be faster than the game's pace, or skip ahead
    // unseen (window/watch_speed.h).
    const window::WatchSpeed::Pace pace = d.comforts.pace(d, d.updates);
    d.pacer.setSpeed(pace.speed);
    const bool show = !pace.unpaced && (!d.synchronized || d.waitForSlot());
    d.takePending();
    ++d.updates;
    if (show) {
        d.present();
        ++d.framesShown;
    } else {
        d.currentUnshown = true;
    }
    d.progress->note(d.updates, d.framesShown);
    d.pump();
    d.throwIfClosed();
}

int Display::keyPressed() {
    Impl& d = *impl_;
    d.requireOpen();
    if (d.unseen)
        return d.unseen->keyPressed() ? 1 : 0;
    d.throwIfClosed();
    d.pump();
    d.throwIfClosed();
    return d.comforts.keyPressed(d, d.updates, d.keys) ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    Impl& d = *impl_;
    d.requireOpen();
    if (d.unseen) {
        unseenly([&] { key = d.unseen->read(); });
        return;
    }
    d.throwIfClosed();
    if (d.currentUnshown)
        d.present();
    d.pump();
    // The key comes through the comforts: the player's, or a recorded one.
    d.stoodStill = false;
    key = d.comforts.read(d, d.updates, d.keys);
    // The game stood still for the key: no time to catch up on.
    if (d.stoodStill)
        d.pacer.restart();
    d.throwIfClosed();
}

void Display::close() {
    impl_->unseenOpen = false;
    impl_->release();
}

void Display::requireOpen() const { impl_->requireOpen(); }

void Display::take(const std::vector<std::uint32_t>& pixels) {
    if (!impl_->unseen)
        impl_->take(pixels);
}

Surface::~Surface() = default;

PixelFormat::~PixelFormat() = default;

} // namespace ptc
