// The headless platform: no window, no clock. Keys come from a script, each
// update is handed to an observer, and every call is recorded so that tests
// can check the order in which the game uses the toolkit.
#include "display/headless/headless.h"
#include "ptc/ptc.h"

#include <cstdio>

namespace ptc {

namespace {

struct Record {
    bool recordCalls = true;
    replay::ScriptedRun run;
    std::vector<std::string> messages;
    std::vector<std::string> calls;
};

Record& record() {
    static Record r;
    return r;
}

void note(const char* call) {
    Record& r = record();
    if (r.recordCalls)
        r.calls.emplace_back(call);
}

} // namespace

namespace headless {

void start(Script script) {
    Record& r = record();
    r.recordCalls = script.recordCalls;
    r.run = replay::ScriptedRun(std::move(script));
    r.messages.clear();
    r.calls.clear();
}

long updates() { return record().run.updates(); }
replay::ScriptEnd scriptEnd() { return record().run.end(); }
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
    record().run.update(impl_->shown.data());
    note("update");
}

int Display::keyPressed() {
    requireOpen();
    return record().run.keyPressed() ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    requireOpen();
    key = record().run.read();
    note("read");
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
