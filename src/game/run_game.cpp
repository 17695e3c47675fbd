#include "game/run_game.h"

#include "ptc/ptc.h"
#include "game/controls.h"
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/traffic.h"
#include "render/frame_buffer.h"
#include "render/image_assets.h"
#include "sound/sound_player.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace vexlo {

namespace {

constexpr int BlankFrames = 70;
constexpr int RevealRows = 200;
constexpr const char* MusicFile = "data\\vexlo.xm";
constexpr const char* WindowTitle = "Vexlo Race by Tamsel 2001";

Pixel* lockFrame(ptc::Surface& surface) { return static_cast<Pixel*>(surface.lock()); }

void show(ptc::Surface& surface, ptc::Display& display) {
    surface.copyTo(display);
    display.update();
}

// Waits for a key and drops it.
void waitForKey(ptc::Display& display) { readKey(display); }

// Everything that uses the toolkit. The objects are locals, so a toolkit
// error releases them most recent first on its way out.
int runDisplay(int& running) {
    auto display = std::make_unique<ptc::Display>();
    display->option("synchronized update");
    display->option("disable logging");
    auto format = std::make_unique<ptc::PixelFormat>(32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0u);
    display->open(WindowTitle, *format, 0);
    const int height = display->height();
    const int width = display->width();
    auto surface = std::make_unique<ptc::Surface>(width, height, *format);
    surface->clear();

    for (int i = 0; i < BlankFrames; ++i)
        show(*surface, *display);

    if (gameState.soundPlayer != nullptr && gameState.soundPlayer->play() == 0) {
        std::fprintf(stderr, "vexlo-race: the music (%s) did not start\n", MusicFile);
        surface.reset();
        format.reset();
        display.reset();
        return 1;
    }

    // The title grows downward a row per frame until a key is waiting.
    for (int r = 0; r < RevealRows; ++r) {
        if (display->keyPressed())
            break;
        Pixel* frame = lockFrame(*surface);
        std::memcpy(frame + r * ScreenWidth, imageAssets.title + r * ScreenWidth, ScreenWidth * sizeof(Pixel));
        surface->unlock();
        show(*surface, *display);
    }
    Pixel* frame = lockFrame(*surface);
    std::memcpy(frame, imageAssets.title, FramePixels * sizeof(Pixel));
    surface->unlock();
    show(*surface, *display);

    // Drop the key that cut the reveal short, then wait for a fresh one.
    if (display->keyPressed())
        waitForKey(*display);
    waitForKey(*display);

    while (running != 0)
        playFrame(*surface, *display, running);

    display->close();
    surface.reset();
    format.reset();
    display.reset();
    return 0;
}

void shutDownSound() {
    SoundPlayer*& player = gameState.soundPlayer;
    if (player == nullptr)
        return;
    player->stop();
    player->close();
    delete player;
    player = nullptr;
}

} // namespace

int runGame() {
    int running = 1;
    if (loadAssets() == 0)
        return 1;

    gameState.soundPlayer = new SoundPlayer;
    gameState.soundPlayer->open(MusicFile, SoundKind::Module);
    clearTraffic();

    int status = 0;
    try {
        status = runDisplay(running);
    } catch (const ptc::Closed&) {
        // The window was closed or the process asked to end: a normal end.
        status = 0;
    } catch (const ptc::DynamicError& error) {
        error.report();
        status = 1;
    }
    shutDownSound();
    return status;
}

} // namespace vexlo
