// The browser platform: the picture goes to the page's canvas, keys come
// from the page (or from a script, for the replay hook), and the blocking
// calls (the paced update, the key wait, a message box) yield to the
// browser while they wait, through Asyncify. The player's keys reach the
// game through the window's own rules (window/comforts.h), as on the
// desktop: the same recording rule, pause and mute, a watched game.
//
// The page hands the module an object `page` (src/launch/web/page/page.js)
// that draws, reads keys and shows messages; everything here reaches it as
// Module.page.
#include "display/ptc.h"
#include "display/web/web.h"
#include "replay/scripted_keys.h"
#include "window/comforts.h"
#include "window/frame_pacer.h"

#include <emscripten.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>

namespace ptc {

namespace {

// The JavaScript in these is left as written: clang-format does not read it.
// clang-format off
EM_JS(void, pagePresent, (const std::uint8_t* rgba, int width, int height),
      { Module.page.present(HEAPU8.subarray(rgba, rgba + 4 * width * height), width, height); });
EM_JS(void, pageUpdated, (long update), { Module.page.updated(update); });
// Resolves when a key arrives, or after `ms` milliseconds.
EM_ASYNC_JS(void, pageKeyArrival, (int ms), { await Module.page.keyArrival(ms); });
EM_ASYNC_JS(void, pageMessage, (const char* caption, const char* text),
            { await Module.page.message(UTF8ToString(caption), UTF8ToString(text)); });
EM_JS(void, pageReport, (const char* text), { Module.page.report(UTF8ToString(text)); });
EM_JS(void, pageOpen, (const char* title), { Module.page.open(UTF8ToString(title)); });
EM_JS(void, pageClose, (), { Module.page.close(); });
// clang-format on

constexpr std::size_t PicturePixels = static_cast<std::size_t>(DisplayWidth) * DisplayHeight;
// A run that does not wait for its schedule (a scripted one, or one that
// is behind) still lets the page draw and take keys this often.
constexpr auto BreakEvery = std::chrono::milliseconds(50);
// How long a wait for keys yields to the browser before it looks again.
constexpr int WaitSliceMs = 50;

using Clock = window::FramePacer::Clock;

struct Record {
    bool scripted = false;
    ScriptedKeys script;
    long maxUpdates = 0;
    std::function<void(long, const std::uint32_t*)> onUpdate;
    long updates = 0;
    std::deque<KeyEvent> keys; // the player's, while a display is open
    std::vector<ScriptedKey> playersKeys;
    Display::Impl* open = nullptr;       // the display that takes the player's keys
    bool reading = false;                // the game is in Display::read
    std::vector<std::uint32_t> standing; // the picture of the last read
};

Record& record() {
    static Record r;
    return r;
}

void startRun(bool scripted, std::function<void(long, const std::uint32_t*)> onUpdate) {
    Record& r = record();
    r.scripted = scripted;
    r.script = ScriptedKeys();
    r.maxUpdates = 0;
    r.onUpdate = std::move(onUpdate);
    r.updates = 0;
    r.keys.clear();
    r.playersKeys.clear();
    r.reading = false;
    r.standing.clear();
}

// The picture to the page's canvas, as RGBA bytes.
void presentPicture(const std::vector<std::uint32_t>& picture) {
    static std::vector<std::uint8_t> rgba;
    rgba.resize(picture.size() * 4);
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const std::uint32_t p = picture[i];
        rgba[4 * i + 0] = static_cast<std::uint8_t>(p >> 16);
        rgba[4 * i + 1] = static_cast<std::uint8_t>(p >> 8);
        rgba[4 * i + 2] = static_cast<std::uint8_t>(p);
        rgba[4 * i + 3] = 0xFF;
    }
    pagePresent(rgba.data(), DisplayWidth, DisplayHeight);
}

// Marks the time the game spends in a read of the player's keys.
struct Reading {
    Reading() { record().reading = true; }
    ~Reading() { record().reading = false; }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
};

} // namespace

namespace web {

void playLive(window::ComfortsSetUp setUp, std::function<void(long, const std::uint32_t*)> onUpdate) {
    startRun(false, std::move(onUpdate));
    // Each key the game takes, as a recording writes it.
    auto written = std::move(setUp.keyTaken);
    setUp.keyTaken = [written](const ScriptedKey& key) {
        record().playersKeys.push_back(key);
        if (written)
            written(key);
    };
    window::setUpComforts(std::move(setUp));
}

void playScripted(std::vector<ScriptedKey> keys, long maxUpdates,
                  std::function<void(long, const std::uint32_t*)> onUpdate) {
    startRun(true, std::move(onUpdate));
    record().script = ScriptedKeys(std::move(keys));
    record().maxUpdates = maxUpdates;
}

long updates() { return record().updates; }
const std::vector<ScriptedKey>& playersKeys() { return record().playersKeys; }

void showStandingPicture() {
    if (record().standing.size() == PicturePixels)
        presentPicture(record().standing);
}

} // namespace web

struct Display::Impl final : window::ComfortsWindow {
    bool open = false;
    std::vector<std::uint32_t> shown;   // what the last copyTo took
    std::vector<std::uint32_t> instead; // shown in its place (paused)
    // The window's schedule: 70 updates a second, late ones caught up on by
    // leaving their frames off the screen. A browser's timers wake late now
    // and then (a busy page, a garbage collection); that costs frames, not
    // game time.
    window::FramePacer pacer;
    bool pictureBehind = false; // the last update's frame was left off
    Clock::time_point lastBreak = Clock::now();
    window::Comforts comforts;
    bool closeRequested = false;
    bool stoodStill = false; // a read waited for its key

    void requireOpen() const {
        if (!open)
            throw DynamicError("the display is not open");
    }

    void present() {
        presentPicture(instead.empty() ? shown : instead);
        pictureBehind = false;
    }

    // Waits for the update's slot in the schedule, letting the browser run
    // meanwhile, and shows its frame unless the schedule leaves it off. The
    // sleep's own lateness does not add up: every slot is computed from the
    // start.
    void paced() {
        const window::FramePacer::Slot slot = pacer.next(Clock::now());
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(slot.due - Clock::now());
        // A game that runs behind still lets the page take keys now and
        // then: on a busy machine it may never be early enough to sleep.
        if (wait.count() > 0 || Clock::now() - lastBreak >= BreakEvery) {
            emscripten_sleep(static_cast<unsigned>(std::max<long long>(0, wait.count())));
            lastBreak = Clock::now();
        }
        if (slot.show)
            present();
        else
            pictureBehind = true;
    }

    // An unpaced run still gives the page a moment now and then, to draw
    // and to stay responsive.
    void breatheNowAndThen() {
        const Clock::time_point now = Clock::now();
        if (now - lastBreak < BreakEvery)
            return;
        present();
        emscripten_sleep(0);
        lastBreak = Clock::now();
    }

    // --- what the comforts need of the window (window/comforts.h) ---
    void waitForEvents() override {
        pageKeyArrival(WaitSliceMs);
        stoodStill = true;
    }
    void showInstead(const std::uint32_t* pixels) override {
        if (pixels != nullptr)
            instead.assign(pixels, pixels + PicturePixels);
        else
            instead.clear();
        present();
    }
    const std::uint32_t* lastFrame() const override { return shown.data(); }
    void requestClose() override { closeRequested = true; }
    void throwIfClosed() const override {
        if (closeRequested)
            throw Closed();
    }
    void restartPace() override { pacer.restart(); }
};

Display::Display() : impl_(std::make_unique<Impl>()) {}

Display::~Display() {
    if (impl_->open)
        close();
}

bool Display::option(const std::string& name) {
    return name == "synchronized update" || name == "disable logging";
}

void Display::open(const std::string& title, const PixelFormat&, int) {
    Impl& d = *impl_;
    if (d.open)
        throw DynamicError("the display is already open");
    d.shown.assign(PicturePixels, 0u);
    d.instead.clear();
    d.open = true;
    d.closeRequested = false;
    Record& r = record();
    r.keys.clear();
    if (!r.scripted) {
        d.comforts.begin();
        r.open = &d;
    }
    pageOpen(title.c_str());
    d.pacer = window::FramePacer();
    d.pictureBehind = false;
    d.lastBreak = Clock::now();
}

int Display::width() const {
    impl_->requireOpen();
    return DisplayWidth;
}

int Display::height() const {
    impl_->requireOpen();
    return DisplayHeight;
}

void Display::update() {
    Impl& d = *impl_;
    d.requireOpen();
    Record& r = record();
    if (r.scripted) {
        if (r.updates >= r.maxUpdates)
            throw DynamicError("update limit");
        ++r.updates;
        if (r.onUpdate)
            r.onUpdate(r.updates, d.shown.data());
        d.breatheNowAndThen();
        return;
    }
    d.throwIfClosed();
    // The update counts from here on: a key that comes while it waits for
    // its slot is read after it.
    ++r.updates;
    d.paced();
    pageUpdated(r.updates);
    if (r.onUpdate)
        r.onUpdate(r.updates, d.shown.data());
}

int Display::keyPressed() {
    Impl& d = *impl_;
    d.requireOpen();
    Record& r = record();
    if (r.scripted)
        return r.script.waiting(r.updates) ? 1 : 0;
    return d.comforts.keyPressed(d, r.updates, r.keys) ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    Impl& d = *impl_;
    d.requireOpen();
    Record& r = record();
    if (r.scripted) {
        const std::optional<KeyEvent> next = r.script.take();
        if (!next)
            throw DynamicError("end of key script");
        key = *next;
        return;
    }
    // The game stands still here, on its latest picture.
    if (d.pictureBehind)
        d.present();
    d.stoodStill = false;
    r.standing = d.shown;
    {
        const Reading reading;
        key = d.comforts.read(d, r.updates, r.keys);
    }
    // The game stood still for the key: no time to catch up on.
    if (d.stoodStill)
        d.pacer.restart();
}

void Display::close() {
    Impl& d = *impl_;
    d.requireOpen();
    d.open = false;
    Record& r = record();
    if (r.open == &d) {
        d.comforts.end(false, window::Aspect::FourByThree);
        r.open = nullptr;
    }
    pageClose();
}

void Display::requireOpen() const { impl_->requireOpen(); }

void Display::take(const std::vector<std::uint32_t>& pixels) { impl_->shown.assign(pixels.begin(), pixels.end()); }

PixelFormat::~PixelFormat() = default;

Surface::~Surface() = default;

void DynamicError::report() const {
    std::fprintf(stderr, "%s\n", what());
    pageReport(what());
}

void messageBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    // A scripted run never stops for a box.
    if (!record().scripted)
        pageMessage(caption.c_str(), text.c_str());
}

} // namespace ptc

// The page passes each key the player presses (auto-repeats included, with
// `repeat` set) as its toolkit code and modifier flags. Keys that come while
// no display is open are dropped, as there is no window to take them.
extern "C" EMSCRIPTEN_KEEPALIVE void vexlo_web_key(int code, int shift, int alt, int control, int repeat) {
    ptc::Record& r = ptc::record();
    if (r.open == nullptr)
        return;
    // Held, the window's own keys (pause, mute) would switch on and off.
    if (repeat != 0 && r.open->comforts.dropsRepeat(code))
        return;
    r.keys.emplace_back(code, alt != 0, shift != 0, control != 0);
}

// The page lost the player's attention (hidden, or another window has the
// keys): a game in play pauses, as a desktop window that loses its focus.
extern "C" EMSCRIPTEN_KEEPALIVE void vexlo_web_focus_lost() {
    if (ptc::Record* r = &ptc::record(); r->open != nullptr)
        r->open->comforts.focusLost();
}

// Whether a key now would start something rather than steer: the title
// (before the game took its first key) or a wait for a key (the game-over
// screen). The page makes a tap on the picture a key then.
extern "C" EMSCRIPTEN_KEEPALIVE int vexlo_web_waits_for_key() {
    const ptc::Record& r = ptc::record();
    return r.open != nullptr && (r.playersKeys.empty() || r.reading) ? 1 : 0;
}

// The page wants the game of the moment ended (to watch another): its
// window closes, as a desktop window's close button closes it.
extern "C" EMSCRIPTEN_KEEPALIVE void vexlo_web_close() {
    if (ptc::Record* r = &ptc::record(); r->open != nullptr)
        r->open->requestClose();
}
