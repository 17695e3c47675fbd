// The headless platform: no window, no clock. Keys come from a script, each
// update is handed to an observer, and every call is recorded so that tests
// can check the order in which the game uses the toolkit.
#include "display/headless/headless.h"
#include "display/ptc.h"

#include <cstdio>
#include <cstring>
#include <deque>

namespace ptc {

namespace {

struct Record {
    headless::Script script;
    std::size_t nextKey = 0;  // the first scripted key not yet read
    long updates = 0;
    std::vector<std::string> messages;
    std::vector<std::string> calls;
};

Record& record() {
    static Record r;
    return r;
}

void note(const char* call) {
    Record& r = record();
    if (r.script.recordCalls)
        r.calls.emplace_back(call);
}

// True when the next unread scripted key has arrived by now.
bool keyWaiting() {
    const Record& r = record();
    return r.nextKey < r.script.keys.size() && r.script.keys[r.nextKey].update <= r.updates;
}

} // namespace

namespace headless {

void start(Script script) {
    Record& r = record();
    r.script = std::move(script);
    r.nextKey = 0;
    r.updates = 0;
    r.messages.clear();
    r.calls.clear();
}

long updates() { return record().updates; }
const std::vector<std::string>& messages() { return record().messages; }
const std::vector<std::string>& calls() { return record().calls; }

} // namespace headless

struct Display::Impl {
    bool open = false;
    std::vector<std::uint32_t> shown;  // what the last copyTo took
};

namespace {

void requireOpen(const Display::Impl& display) {
    if (!display.open)
        throw DynamicError("the display is not open");
}

} // namespace

Display::Display() : impl_(std::make_unique<Impl>()) { note("Display"); }

Display::~Display() { note("~Display"); }

bool Display::option(const std::string& name) {
    note("option");
    return name == "synchronized update" || name == "disable logging";
}

void Display::open(const std::string&, const PixelFormat&, int) {
    note("open");
    impl_->open = true;
    impl_->shown.assign(static_cast<std::size_t>(DisplayWidth) * DisplayHeight, 0u);
}

int Display::width() const { return DisplayWidth; }
int Display::height() const { return DisplayHeight; }

void Display::update() {
    requireOpen(*impl_);
    Record& r = record();
    if (r.updates >= r.script.maxUpdates)
        throw DynamicError("update limit");
    note("update");
    ++r.updates;
    if (r.script.onUpdate)
        r.script.onUpdate(r.updates, impl_->shown.data());
}

int Display::keyPressed() {
    requireOpen(*impl_);
    return keyWaiting() ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    requireOpen(*impl_);
    Record& r = record();
    // A blocking read takes the next scripted key at once, whenever it is
    // due: time passes without updates.
    if (r.nextKey >= r.script.keys.size())
        throw DynamicError("end of key script");
    const headless::ScriptedKey& k = r.script.keys[r.nextKey++];
    note("read");
    if (r.script.onRead)
        r.script.onRead(r.updates, k);
    key = KeyEvent(k.code, k.alt, k.shift, k.control);
}

void Display::close() {
    note("close");
    impl_->open = false;
}

PixelFormat::~PixelFormat() { note("~PixelFormat"); }

Surface::~Surface() { note("~Surface"); }

void Surface::copyTo(Display& display) {
    if (locked_)
        throw DynamicError("surface is locked");
    requireOpen(*display.impl_);
    if (width_ != DisplayWidth || height_ != DisplayHeight)
        throw DynamicError("the surface's size differs from the display's");
    note("copyTo");
    display.impl_->shown.assign(pixels_.begin(), pixels_.end());
}

void DynamicError::report() const {
    std::fprintf(stderr, "%s\n", what());
    record().messages.emplace_back(what());
}

void messageBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    record().messages.push_back(text);
}

} // namespace ptc
