// The browser platform: the picture goes to the page's canvas, keys come
// from the page (or from a script, for the replay hook), and the blocking
// calls (the paced update, the key wait, a message box) yield to the
// browser while they wait, through Asyncify. Here is what both kinds of run
// share; the player's run is live_page.cpp, a script's scripted_page.cpp.
// Everything the page and the module say to each other is in page_seam.h.
#include "display/web/page_display.h"
#include "display/web/page_seam.h"
#include "display/web/web.h"

#include <cstdio>

namespace ptc {

namespace {

bool nextRunScripted = false;

} // namespace

namespace web {

bool scriptedRun() { return nextRunScripted; }

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
    page::present(rgba.data(), DisplayWidth, DisplayHeight);
}

long updates() { return nextRunScripted ? scriptedUpdates() : liveUpdates(); }

void nextRunIsScripted(bool scripted) { nextRunScripted = scripted; }

} // namespace web

Display::Display() : impl_(web::scriptedRun() ? web::makeScriptedPage() : web::makeLivePage()) {}

Display::~Display() {
    if (impl_->isOpen)
        close();
}

bool Display::option(const std::string& name) {
    return name == "synchronized update" || name == "disable logging";
}

void Display::open(const std::string& title, const PixelFormat&, int) {
    Impl& d = *impl_;
    if (d.isOpen)
        throw DynamicError("the display is already open");
    d.shown.assign(web::PicturePixels, 0u);
    d.isOpen = true;
    d.open(title);
}

int Display::width() const {
    requireOpen();
    return DisplayWidth;
}

int Display::height() const {
    requireOpen();
    return DisplayHeight;
}

void Display::update() {
    requireOpen();
    impl_->update();
}

int Display::keyPressed() {
    requireOpen();
    return impl_->keyPressed() ? 1 : 0;
}

void Display::read(KeyEvent& key) {
    requireOpen();
    key = impl_->read();
}

void Display::close() {
    requireOpen();
    impl_->isOpen = false;
    impl_->close();
    web::page::close();
}

void Display::requireOpen() const {
    if (!impl_->isOpen)
        throw DynamicError("the display is not open");
}

void Display::take(const std::vector<std::uint32_t>& pixels) { impl_->shown.assign(pixels.begin(), pixels.end()); }

PixelFormat::~PixelFormat() = default;

Surface::~Surface() = default;

void DynamicError::report() const {
    std::fprintf(stderr, "%s\n", what());
    web::page::report(what());
}

void messageBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    // A scripted run never stops for a box.
    if (!web::scriptedRun())
        web::page::message(caption.c_str(), text.c_str());
}

} // namespace ptc
