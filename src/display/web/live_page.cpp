// The player's run in the page: keys from the page reach the game through
// the window's own rules (window/comforts.h), as on the desktop: the same
// recording rule, pause and mute, a watched game. Updates are paced at 70 a
// second; the blocking waits yield to the browser.
#include "display/web/page_display.h"
#include "display/web/page_seam.h"
#include "display/web/web.h"
#include "window/comforts.h"
#include "window/frame_pacer.h"

#include <emscripten.h>

#include <algorithm>
#include <chrono>
#include <deque>

namespace ptc::web {

namespace {

// A run that is behind its schedule still lets the page draw and take keys
// this often.
constexpr auto BreakEvery = std::chrono::milliseconds(50);
// How long a wait for keys yields to the browser before it looks again.
constexpr int WaitSliceMs = 50;

using Clock = window::FramePacer::Clock;

struct LivePage;

struct Record {
    std::function<void(long, const std::uint32_t*)> onUpdate;
    long updates = 0;
    std::deque<KeyEvent> keys; // the player's, while a display is open
    std::vector<replay::ScriptedKey> playersKeys;
    LivePage* open = nullptr;            // the display that takes the player's keys
    bool reading = false;                // the game is in Display::read
    std::vector<std::uint32_t> standing; // the picture of the last read
};

Record& record() {
    static Record r;
    return r;
}

// Marks the time the game spends in a read of the player's keys.
struct Reading {
    Reading() { record().reading = true; }
    ~Reading() { record().reading = false; }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;
};

struct LivePage final : Display::Impl, window::ComfortsWindow {
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

    // --- the display ---
    void open(const std::string& title) override {
        instead.clear();
        closeRequested = false;
        Record& r = record();
        r.keys.clear();
        comforts.begin();
        r.open = this;
        page::open(title.c_str());
        pacer = window::FramePacer();
        pictureBehind = false;
        lastBreak = Clock::now();
    }

    void update() override {
        throwIfClosed();
        Record& r = record();
        // The update counts from here on: a key that comes while it waits
        // for its slot is read after it.
        ++r.updates;
        paced();
        page::updated(r.updates);
        if (r.onUpdate)
            r.onUpdate(r.updates, shown.data());
    }

    bool keyPressed() override {
        Record& r = record();
        return comforts.keyPressed(*this, r.updates, r.keys);
    }

    KeyEvent read() override {
        Record& r = record();
        // The game stands still here, on its latest picture.
        if (pictureBehind)
            present();
        stoodStill = false;
        r.standing = shown;
        KeyEvent key;
        {
            const Reading reading;
            key = comforts.read(*this, r.updates, r.keys);
        }
        // The game stood still for the key: no time to catch up on.
        if (stoodStill)
            pacer.restart();
        return key;
    }

    void close() override {
        Record& r = record();
        if (r.open == this) {
            comforts.end(false, window::Aspect::FourByThree);
            r.open = nullptr;
        }
    }

    // --- what the comforts need of the window (window/comforts.h) ---
    void waitForEvents() override {
        page::keyArrival(WaitSliceMs);
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

} // namespace

void playLive(window::ComfortsSetUp setUp, std::function<void(long, const std::uint32_t*)> onUpdate) {
    Record& r = record();
    r.onUpdate = std::move(onUpdate);
    r.updates = 0;
    r.keys.clear();
    r.playersKeys.clear();
    r.reading = false;
    r.standing.clear();
    // Each key the game takes, as a recording writes it.
    auto written = std::move(setUp.keyTaken);
    setUp.keyTaken = [written](const replay::ScriptedKey& key) {
        record().playersKeys.push_back(key);
        if (written)
            written(key);
    };
    window::setUpComforts(std::move(setUp));
    nextRunIsScripted(false);
}

std::unique_ptr<Display::Impl> makeLivePage() { return std::make_unique<LivePage>(); }

long liveUpdates() { return record().updates; }

const std::vector<replay::ScriptedKey>& playersKeys() { return record().playersKeys; }

void showStandingPicture() {
    if (record().standing.size() == PicturePixels)
        presentPicture(record().standing);
}

} // namespace ptc::web

using ptc::web::record;

// The page passes each key the player presses (auto-repeats included, with
// `repeat` set) as its toolkit code and modifier flags. Keys that come while
// no display is open are dropped, as there is no window to take them.
extern "C" EMSCRIPTEN_KEEPALIVE void vexlo_web_key(int code, int shift, int alt, int control, int repeat) {
    auto& r = record();
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
    if (auto& r = record(); r.open != nullptr)
        r.open->comforts.focusLost();
}

// Whether a key now would start something rather than steer: the title
// (before the game took its first key) or a wait for a key (the game-over
// screen). The page makes a tap on the picture a key then.
extern "C" EMSCRIPTEN_KEEPALIVE int vexlo_web_waits_for_key() {
    const auto& r = record();
    return r.open != nullptr && (r.playersKeys.empty() || r.reading) ? 1 : 0;
}

// The page wants the game of the moment ended (to watch another): its
// window closes, as a desktop window's close button closes it.
extern "C" EMSCRIPTEN_KEEPALIVE void vexlo_web_close() {
    if (auto& r = record(); r.open != nullptr)
        r.open->requestClose();
}
