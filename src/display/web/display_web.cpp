// The browser platform: the picture goes to the page's canvas, keys come
// from the page (or from a script, for the replay hook), and the blocking
// calls (the paced update, the key wait, a message box) yield to the
// browser while they wait, through Asyncify.
//
// The page hands the module an object `page` (src/web/page/page.js) that
// draws, reads keys and shows messages; everything here reaches it as
// Module.page.
#include "display/ptc.h"
#include "display/frame_pacer.h"
#include "display/web/web.h"

#include <emscripten.h>

#include <chrono>
#include <cstdio>
#include <deque>

namespace ptc {

namespace {

EM_JS(void, pagePresent, (const std::uint8_t* rgba, int bytes),
      { Module.page.present(HEAPU8.subarray(rgba, rgba + bytes)); });
EM_JS(void, pageUpdated, (long update), { Module.page.updated(update); });
EM_ASYNC_JS(void, pageKeyArrival, (), { await Module.page.keyArrival(); });
EM_ASYNC_JS(void, pageMessage, (const char* caption, const char* text),
            { await Module.page.message(UTF8ToString(caption), UTF8ToString(text)); });
EM_JS(void, pageReport, (const char* text), { Module.page.report(UTF8ToString(text)); });
EM_JS(void, pageOpen, (const char* title), { Module.page.open(UTF8ToString(title)); });
EM_JS(void, pageClose, (), { Module.page.close(); });

constexpr int Width = DisplayWidth, Height = DisplayHeight;
// An unpaced run lets the page draw and breathe this often.
constexpr auto ScriptedBreak = std::chrono::milliseconds(50);

using Clock = FramePacer::Clock;

struct Record {
    bool scripted = false;
    std::vector<ScriptedKey> script;
    std::size_t nextKey = 0;  // the first scripted key not yet read
    long maxUpdates = 0;
    std::function<void(long, const std::uint32_t*)> onUpdate;
    long updates = 0;
    std::deque<KeyEvent> keys;  // the player's, while a display is open
    std::vector<ScriptedKey> playersKeys;
    bool displayOpen = false;
};

Record& record() {
    static Record r;
    return r;
}

void startRun(bool scripted) {
    Record& r = record();
    r.scripted = scripted;
    r.script.clear();
    r.nextKey = 0;
    r.maxUpdates = 0;
    r.onUpdate = nullptr;
    r.updates = 0;
    r.keys.clear();
    r.playersKeys.clear();
}

bool scriptedKeyWaiting() {
    const Record& r = record();
    return r.nextKey < r.script.size() && r.script[r.nextKey].update <= r.updates;
}

} // namespace

namespace web {

void playLive(std::function<void(long, const std::uint32_t*)> onUpdate) {
    startRun(false);
    record().onUpdate = std::move(onUpdate);
}

void playScripted(std::vector<ScriptedKey> keys, long maxUpdates,
                  std::function<void(long, const std::uint32_t*)> onUpdate) {
    startRun(true);
    Record& r = record();
    r.script = std::move(keys);
    r.maxUpdates = maxUpdates;
    r.onUpdate = std::move(onUpdate);
}

long updates() { return record().updates; }
const std::vector<ScriptedKey>& playersKeys() { return record().playersKeys; }

} // namespace web

struct Display::Impl {
    bool open = false;
    std::vector<std::uint32_t> shown;  // what the last copyTo took
    std::vector<std::uint8_t> rgba;    // the same as the canvas wants it
    // The window's schedule: 70 updates a second, late ones caught up on by
    // leaving their frames off the screen. A browser's timers wake late now
    // and then (a busy page, a garbage collection); that costs frames, not
    // game time.
    FramePacer pacer;
    bool pictureBehind = false;  // the last update's frame was left off
    Clock::time_point lastBreak = Clock::now();

    void requireOpen() const {
        if (!open)
            throw DynamicError("the display is not open");
    }

    void present() {
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const std::uint32_t p = shown[i];
            rgba[4 * i + 0] = static_cast<std::uint8_t>(p >> 16);
            rgba[4 * i + 1] = static_cast<std::uint8_t>(p >> 8);
            rgba[4 * i + 2] = static_cast<std::uint8_t>(p);
            rgba[4 * i + 3] = 0xFF;
        }
        pagePresent(rgba.data(), static_cast<int>(rgba.size()));
    }

    // Waits for the update's slot in the schedule, letting the browser run
    // meanwhile, and shows its frame unless the schedule leaves it off. The
    // sleep's own lateness does not add up: every slot is computed from the
    // start.
    void paced() {
        const FramePacer::Slot slot = pacer.next(Clock::now());
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(slot.due - Clock::now());
        if (wait.count() > 0)
            emscripten_sleep(static_cast<unsigned>(wait.count()));
        pictureBehind = !slot.show;
        if (slot.show)
            present();
    }

    // An unpaced run still gives the page a moment now and then, to draw
    // and to stay responsive.
    void breatheNowAndThen() {
        const Clock::time_point now = Clock::now();
        if (now - lastBreak < ScriptedBreak)
            return;
        present();
        emscripten_sleep(0);
        lastBreak = Clock::now();
    }
};

Display::Display() : impl_(std::make_unique<Impl>()) {}

Display::~Display() {
    if (impl_->open) {
        record().displayOpen = false;
        pageClose();
    }
}

bool Display::option(const std::string& name) {
    return name == "synchronized update" || name == "disable logging";
}

void Display::open(const std::string& title, const PixelFormat&, int) {
    if (impl_->open)
        throw DynamicError("the display is already open");
    impl_->shown.assign(static_cast<std::size_t>(Width) * Height, 0u);
    impl_->rgba.assign(impl_->shown.size() * 4, 0u);
    impl_->open = true;
    Record& r = record();
    r.keys.clear();
    r.displayOpen = true;
    pageOpen(title.c_str());
    impl_->pacer = FramePacer();
    impl_->pictureBehind = false;
    impl_->lastBreak = Clock::now();
}

int Display::width() const {
    impl_->requireOpen();
    return Width;
}

int Display::height() const {
    impl_->requireOpen();
    return Height;
}

void Display::update() {
    impl_->requireOpen();
    Record& r = record();
    if (r.scripted) {
        if (r.updates >= r.maxUpdates)
            throw DynamicError("update limit");
        ++r.updates;
        if (r.onUpdate)
            r.onUpdate(r.updates, impl_->shown.data());
        impl_->breatheNowAndThen();
        return;
    }
    // The update counts from here on: a key that comes while it waits for
    // its slot is read after it.
    ++r.updates;
    impl_->paced();
    pageUpdated(r.updates);
    if (r.onUpdate)
        r.onUpdate(r.updates, impl_->shown.data());
}

int Display::keyPressed() {
    impl_->requireOpen();
    const Record& r = record();
    return (r.scripted ? scriptedKeyWaiting() : !r.keys.empty()) ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    impl_->requireOpen();
    Record& r = record();
    if (r.scripted) {
        // A blocking read takes the next scripted key at once, whenever it
        // is due: time passes without updates.
        if (r.nextKey >= r.script.size())
            throw DynamicError("end of key script");
        const ScriptedKey& k = r.script[r.nextKey++];
        key = KeyEvent(k.code, k.alt, k.shift, k.control);
        return;
    }
    if (impl_->pictureBehind) {
        impl_->present();
        impl_->pictureBehind = false;
    }
    if (r.keys.empty()) {
        do
            pageKeyArrival();
        while (r.keys.empty());
        // The game stood still for the key: no time to catch up on.
        impl_->pacer.restart();
    }
    key = r.keys.front();
    r.keys.pop_front();
}

void Display::close() {
    impl_->requireOpen();
    impl_->open = false;
    record().displayOpen = false;
    pageClose();
}

PixelFormat::~PixelFormat() = default;

Surface::~Surface() = default;

void Surface::copyTo(Display& display) {
    if (locked_)
        throw DynamicError("surface is locked");
    display.impl_->requireOpen();
    if (width_ != Width || height_ != Height)
        throw DynamicError("the surface's size differs from the display's");
    display.impl_->shown.assign(pixels_.begin(), pixels_.end());
}

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

// The page passes each key the player presses (auto-repeats included) as
// its toolkit code and modifier flags. Keys that come while no display is
// open are dropped, as there is no window to take them.
extern "C" EMSCRIPTEN_KEEPALIVE void vexlo_web_key(int code, int shift, int alt, int control) {
    ptc::Record& r = ptc::record();
    if (!r.displayOpen || r.scripted)
        return;
    r.keys.emplace_back(code, alt != 0, shift != 0, control != 0);
    r.playersKeys.push_back({r.updates, code, shift != 0, alt != 0, control != 0});
}
