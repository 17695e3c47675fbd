// What every platform promises the game, checked on each: this file is
// built once against the headless platform and once against the SDL one
// (on SDL's dummy video driver).
#include "ptc/ptc.h"

#include <gtest/gtest.h>

namespace {

struct Toolkit : ::testing::Test {
    ptc::Display display;
    ptc::PixelFormat format{32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0u};
    ptc::Surface surface{ptc::DisplayWidth, ptc::DisplayHeight, format};

    void open() { display.open("Toolkit contract", format, 0); }
};

TEST_F(Toolkit, WindowCallsNeedAnOpenDisplay) {
    ptc::KeyEvent key;
    EXPECT_THROW(display.update(), ptc::DynamicError);
    EXPECT_THROW(display.keyPressed(), ptc::DynamicError);
    EXPECT_THROW(display.read(key), ptc::DynamicError);
    EXPECT_THROW(surface.copyTo(display), ptc::DynamicError);

    open();
    EXPECT_EQ(display.width(), ptc::DisplayWidth);
    EXPECT_EQ(display.height(), ptc::DisplayHeight);
    surface.copyTo(display);
    display.update();
    EXPECT_EQ(display.keyPressed(), 0);

    display.close();
    EXPECT_THROW(display.update(), ptc::DynamicError);
    EXPECT_THROW(surface.copyTo(display), ptc::DynamicError);
}

TEST_F(Toolkit, ALockedSurfaceIsTheDrawingsUntilUnlocked) {
    open();
    surface.lock();
    EXPECT_THROW(surface.copyTo(display), ptc::DynamicError);
    EXPECT_THROW(surface.clear(), ptc::DynamicError);
    surface.unlock();
    surface.copyTo(display);
    display.update();
    display.close();
}

} // namespace
