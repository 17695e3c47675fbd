// The headless platform: no window, no clock. Keys come from a script, each
// update is handed to an observer, and every call is recorded so that tests
// can check the order in which the game uses the toolkit.
#include "display/headless/headless.h"
#include "display/ptc.h"
#include "replay/scripted_keys.h"

#include <cstdio>

namespace ptc {

namespace {

struct Record {
    headless::Script script;
    ScriptedKeys keys;
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

} // namespace

namespace headless {

void start(Script script) {
    Record& r = record();
    r.keys = ScriptedKeys(std::move(script.keys));
    r.script = std::move(script);
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
    std::vector<std::uint32_t> shown; // what the last copyTo took
};

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
    requireOpen();
    Record& r = record();
    if (r.updates >= r.script.maxUpdates)
        throw DynamicError("update limit");
    note("update");
    ++r.updates;
    if (r.script.onUpdate)
        r.script.onUpdate(r.updates, impl_->shown.data());
}

int Display::keyPressed() {
    requireOpen();
    return record().keys.waiting(record().updates) ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    requireOpen();
    Record& r = record();
    const std::optional<KeyEvent> next = r.keys.take();
    if (!next)
        throw DynamicError("end of key script");
    note("read");
    if (r.script.onRead)
        r.script.onRead(r.updates, next->code());
    key = *next;
}

void Display::close() {
    note("close");
    impl_->open = false;
}

PixelFormat::~PixelFormat() { note("~PixelFormat"); }

Surface::~Surface() { note("~Surface"); }

void Display::requireOpen() const {
    if (!impl_->open)
        throw DynamicError("the display is not open");
}

void Display::take(const std::vector<std::uint32_t>& pixels) {
    note("copyTo");
    impl_->shown.assign(pixels.begin(), pixels.end());
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
