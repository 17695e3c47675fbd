// The two kinds of display the page has, behind the one Display: the
// player's (live_page.cpp: the window's rules, paced) and a script's
// (scripted_page.cpp: the replay hook, unpaced). Which one the next
// Display is, web.h's playLive and playScripted decide.
#pragma once

#include "ptc/ptc.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ptc {

struct Display::Impl {
    virtual ~Impl() = default;
    bool isOpen = false;
    std::vector<std::uint32_t> shown; // what the last copyTo took

    // Opens it, the page's side too.
    virtual void open(const std::string& title) = 0;
    virtual void update() = 0;
    virtual bool keyPressed() = 0;
    virtual KeyEvent read() = 0;
    virtual void close() = 0;
};

namespace web {

constexpr std::size_t PicturePixels = static_cast<std::size_t>(DisplayWidth) * DisplayHeight;

// The picture to the page's canvas.
void presentPicture(const std::vector<std::uint32_t>& picture);

// Whether the run under way plays a script; playLive and playScripted say.
bool scriptedRun();
void nextRunIsScripted(bool scripted);

std::unique_ptr<Display::Impl> makeLivePage();
long liveUpdates();
std::unique_ptr<Display::Impl> makeScriptedPage();
long scriptedUpdates();

} // namespace web

} // namespace ptc
