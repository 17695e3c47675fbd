// The parts of the window that are plain logic: where the picture goes and
// how big its crisp intermediate is, which keys the window keeps for itself,
// and how held gamepad directions repeat.
#include "display/sdl/input.h"
#include "display/sdl/pixel_scaler.h"
#include "display/sdl/presentation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace ptc::sdl;
using namespace std::chrono_literals;

// --- presentation ----------------------------------------------------------

TEST(Presentation, FirstWindowIsTheLargestWholeMultipleThatFits) {
    // A 1920 x 1080 desktop less a 40-pixel panel: 4 x (320 x 240).
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {1920, 1040}), (Size{1280, 960}));
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {1600, 1200}), (Size{1600, 1200}));
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {1000, 700}), (Size{640, 480}));
    EXPECT_EQ(fittingWindow(Aspect::SquarePixels, {1000, 700}), (Size{960, 600}));
    // Never smaller than the picture itself.
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {300, 200}), (Size{320, 240}));
    EXPECT_EQ(fittingWindow(Aspect::FourByThree, {0, 0}), (Size{320, 240}));
}

TEST(Presentation, LetterboxKeepsTheProportionsCentredWithBars) {
    EXPECT_EQ(letterbox(Aspect::FourByThree, {1280, 960}), (Rect{0, 0, 1280, 960}));
    EXPECT_EQ(letterbox(Aspect::FourByThree, {1920, 1080}), (Rect{240, 0, 1440, 1080}));
    EXPECT_EQ(letterbox(Aspect::FourByThree, {1000, 800}), (Rect{0, 25, 1000, 750}));
    EXPECT_EQ(letterbox(Aspect::SquarePixels, {960, 700}), (Rect{0, 50, 960, 600}));
    EXPECT_EQ(letterbox(Aspect::SquarePixels, {1920, 1080}), (Rect{96, 0, 1728, 1080}));
    // A minimised window has no place for the picture.
    EXPECT_EQ(letterbox(Aspect::FourByThree, {0, 480}), Rect{});

    // Any size: inside the output, filling it one way, centred to the pixel,
    // within half a pixel of the exact proportions.
    for (const Aspect aspect : {Aspect::FourByThree, Aspect::SquarePixels}) {
        const Size shape = shownShape(aspect);
        for (int w = 1; w <= 2200; w += 13)
            for (int h = 1; h <= 1700; h += 11) {
                const Rect r = letterbox(aspect, {w, h});
                SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
                ASSERT_TRUE(r.width == w || r.height == h);
                ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= w && r.y + r.height <= h);
                ASSERT_LE(std::abs((w - r.width - r.x) - r.x), 1);
                ASSERT_LE(std::abs((h - r.height - r.y) - r.y), 1);
                const double exactWidth = static_cast<double>(r.height) * shape.width / shape.height;
                const double exactHeight = static_cast<double>(r.width) * shape.height / shape.width;
                ASSERT_TRUE(std::abs(r.width - exactWidth) <= 0.5 || std::abs(r.height - exactHeight) <= 0.5);
            }
    }
}

TEST(Presentation, CrispSizeIsTheSmallestWholeMultipleAtLeastAsBigAsThePlace) {
    // 4 x 4.8: four columns, five rows per pixel, then shrunk to 960 rows.
    EXPECT_EQ(crispSize({1280, 960}, {}), (Size{1280, 1000}));
    EXPECT_EQ(crispSize({640, 480}, {}), (Size{640, 600}));
    // Exact multiples are their own size: nothing to blend.
    EXPECT_EQ(crispSize({1600, 1200}, {}), (Size{1600, 1200}));
    EXPECT_EQ(crispSize({960, 600}, {}), (Size{960, 600}));
    EXPECT_EQ(crispSize({1000, 750}, {}), (Size{1280, 800}));
    // Smaller than the picture: the picture itself.
    EXPECT_EQ(crispSize({100, 60}, {}), (Size{320, 200}));
    // A renderer's limit cuts the factors, never below one.
    EXPECT_EQ(crispSize({4000, 3000}, {2048, 2048}), (Size{1920, 2000}));
    EXPECT_EQ(crispSize({4000, 3000}, {100, 100}), (Size{320, 200}));

    // The linear step only shrinks, and by less than half.
    for (int w = 320; w <= 4000; w += 7)
        for (int h = 200; h <= 3000; h += 9) {
            const Size s = crispSize({w, h}, {});
            ASSERT_EQ(s.width % 320, 0);
            ASSERT_EQ(s.height % 200, 0);
            ASSERT_TRUE(s.width >= w && s.width < 2 * w) << w;
            ASSERT_TRUE(s.height >= h && s.height < 2 * h) << h;
        }
}

// The processor's scaling looks like the renderer's: every picture pixel a
// run of hard colour, at most one blended pixel between two runs, and the
// blends only ever between neighbours.
TEST(PixelScaler, HardBlocksWithAtMostOneBlendAtEachEdge) {
    for (const auto& [from, to] : {std::pair{200, 960}, {320, 1280}, {200, 750}, {320, 1000}, {200, 1200}, {320, 693}}) {
        const std::vector<Tap> taps = scaleTaps(from, to);
        int blends = 0, runs = 0, last = -1;
        for (std::size_t i = 0; i < taps.size(); ++i) {
            const Tap& t = taps[i];
            if (t.weight != 0) {
                ++blends;
                ASSERT_EQ(t.second, t.first + 1) << from << " to " << to << " at " << i;
                ASSERT_TRUE(i > 0 && taps[i - 1].weight == 0) << "two blends touch at " << i;
                continue;
            }
            if (t.first != last) {
                ASSERT_EQ(t.first, last + 1) << "a picture pixel left out at " << i;
                ++runs;
            }
            last = t.first;
        }
        EXPECT_EQ(runs, from) << from << " to " << to;
        if (to % from == 0) {
            EXPECT_EQ(blends, 0) << from << " to " << to;
        }
    }
    // 4.8 rows a pixel at 960: one row in six blended, as on the renderer.
    int blended = 0;
    for (const Tap& t : scaleTaps(200, 960))
        blended += t.weight != 0;
    EXPECT_EQ(blended, 160);
}

TEST(PixelScaler, ScalesIntoARectangleOfALargerSurface) {
    std::vector<std::uint32_t> picture(320 * 200);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFFu;
    // 640 x 400 at (5, 3) of a 700-pixel-wide surface: exact 2 x 2 blocks,
    // opaque, and nothing written outside.
    std::vector<std::uint32_t> surface(700 * 410, 0xDEADBEEFu);
    PixelScaler scaler;
    scaler.scale(picture.data(), surface.data() + 3 * 700 + 5, 640, 400, 700, 0xFF000000u);
    for (int y = 0; y < 410; ++y)
        for (int x = 0; x < 700; ++x) {
            const std::uint32_t seen = surface[static_cast<std::size_t>(y) * 700 + x];
            const bool inside = x >= 5 && x < 645 && y >= 3 && y < 403;
            const std::uint32_t want =
                inside ? picture[static_cast<std::size_t>((y - 3) / 2) * 320 + (x - 5) / 2] | 0xFF000000u : 0xDEADBEEFu;
            ASSERT_EQ(seen, want) << x << "," << y;
        }
}

TEST(Presentation, AspectCorrectionIsOnUnlessTheEnvironmentTurnsItOff) {
    const char* saved = std::getenv("VEXLO_ASPECT");
    const std::string before = saved != nullptr ? saved : "";
    unsetenv("VEXLO_ASPECT");
    EXPECT_EQ(aspectFromEnvironment(), Aspect::FourByThree);
    setenv("VEXLO_ASPECT", "on", 1);
    EXPECT_EQ(aspectFromEnvironment(), Aspect::FourByThree);
    setenv("VEXLO_ASPECT", "off", 1);
    EXPECT_EQ(aspectFromEnvironment(), Aspect::SquarePixels);
    setenv("VEXLO_ASPECT", "0", 1);
    EXPECT_EQ(aspectFromEnvironment(), Aspect::SquarePixels);
    if (saved != nullptr)
        setenv("VEXLO_ASPECT", before.c_str(), 1);
    else
        unsetenv("VEXLO_ASPECT");
}

// --- keyboard --------------------------------------------------------------

SDL_Keysym keysym(SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
    SDL_Keysym key{};
    key.sym = sym;
    key.scancode = SDL_SCANCODE_UNKNOWN;  // the codes here follow from the key
    key.mod = mod;
    return key;
}

struct Typed {
    int code;
    int alt;
};

std::vector<Typed> drain(std::deque<ptc::KeyEvent>& keys) {
    std::vector<Typed> out;
    for (const auto& k : keys)
        out.push_back({k.code(), k.alt()});
    keys.clear();
    return out;
}

bool operator==(const Typed& a, const Typed& b) { return a.code == b.code && a.alt == b.alt; }

using Action = KeyboardRouter::Action;

TEST(KeyboardRouter, FullscreenKeysSwitchOncePerPressAndNeverReachTheGame) {
    KeyboardRouter router;
    std::deque<ptc::KeyEvent> keys;
    EXPECT_EQ(router.press(keysym(SDLK_F11), false, keys), Action::ToggleFullscreen);
    EXPECT_EQ(router.press(keysym(SDLK_F11), true, keys), Action::None);  // held: auto-repeat
    EXPECT_EQ(router.press(keysym(SDLK_F11, KMOD_LSHIFT), false, keys), Action::ToggleFullscreen);
    router.release(keysym(SDLK_F11), keys);

    // Alt+Enter: the Alt press is held back and then dropped with the chord.
    EXPECT_EQ(router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys), Action::None);
    EXPECT_EQ(router.press(keysym(SDLK_RETURN, KMOD_LALT), false, keys), Action::ToggleFullscreen);
    EXPECT_EQ(router.press(keysym(SDLK_RETURN, KMOD_LALT), true, keys), Action::None);
    router.release(keysym(SDLK_RETURN, KMOD_LALT), keys);
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_EQ(router.press(keysym(SDLK_RALT, KMOD_RALT), false, keys), Action::None);
    EXPECT_EQ(router.press(keysym(SDLK_KP_ENTER, KMOD_RALT), false, keys), Action::ToggleFullscreen);
    router.release(keysym(SDLK_RALT), keys);
    EXPECT_TRUE(keys.empty()) << keys.front().code();

    // Enter alone, and Ctrl+Alt+Enter, are keys for the game.
    EXPECT_EQ(router.press(keysym(SDLK_RETURN), false, keys), Action::None);
    EXPECT_EQ(router.press(keysym(SDLK_RETURN, KMOD_LCTRL | KMOD_LALT), false, keys), Action::None);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{13, 0}, {13, 1}}));
}

TEST(KeyboardRouter, AnAltPressReachesTheGameInItsPlaceUnlessAChordTookIt) {
    KeyboardRouter router;
    std::deque<ptc::KeyEvent> keys;
    // Alt on its own arrives when it is let go.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.press(keysym(SDLK_LALT, KMOD_LALT), true, keys);  // held: one press
    EXPECT_TRUE(keys.empty());
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{18, 1}}));

    // Alt+X: Alt first, then X, each once.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.press(keysym(SDLK_x, KMOD_LALT), false, keys);
    router.release(keysym(SDLK_x, KMOD_LALT), keys);
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{18, 1}, {88, 1}}));

    // Alt+Tab: the window manager takes Tab and the focus with it.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.focusLost();
    router.release(keysym(SDLK_LALT), keys);
    EXPECT_TRUE(keys.empty());

    // Two Alts in a row are two presses.
    router.press(keysym(SDLK_LALT, KMOD_LALT), false, keys);
    router.press(keysym(SDLK_RALT, KMOD_LALT | KMOD_RALT), false, keys);
    router.release(keysym(SDLK_RALT), keys);
    EXPECT_EQ(drain(keys), (std::vector<Typed>{{18, 1}, {18, 1}}));
}

// --- gamepads --------------------------------------------------------------

constexpr InputClock::time_point T0{1h};
constexpr Uint8 Up = SDL_CONTROLLER_BUTTON_DPAD_UP;
constexpr Uint8 LeftX = SDL_CONTROLLER_AXIS_LEFTX;
constexpr Uint8 LeftY = SDL_CONTROLLER_AXIS_LEFTY;

std::vector<int> codes(std::deque<ptc::KeyEvent>& keys) {
    std::vector<int> out;
    for (const auto& k : keys)
        out.push_back(k.code());
    keys.clear();
    return out;
}

// Polls every 5 ms from `from` to `to` (inclusive) and records each key
// with the millisecond since T0 at which it came.
std::vector<std::pair<int, long long>> run(Gamepads& pads, InputClock::duration from, InputClock::duration to) {
    std::vector<std::pair<int, long long>> seen;
    std::deque<ptc::KeyEvent> keys;
    for (auto t = from; t <= to; t += 5ms) {
        pads.repeat(T0 + t, keys);
        for (const auto& k : keys)
            seen.emplace_back(k.code(), std::chrono::duration_cast<std::chrono::milliseconds>(t).count());
        keys.clear();
    }
    return seen;
}

TEST(Gamepads, AHeldDirectionRepeatsLikeAKeyAndStopsWhenLetGo) {
    Gamepads pads;
    std::deque<ptc::KeyEvent> keys;
    pads.button(0, Up, true, T0, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    ASSERT_TRUE(pads.nextRepeat());
    EXPECT_EQ(*pads.nextRepeat(), T0 + 400ms);
    using Seen = std::vector<std::pair<int, long long>>;
    EXPECT_EQ(run(pads, 0ms, 560ms), (Seen{{38, 400}, {38, 450}, {38, 500}, {38, 550}}));
    pads.button(0, Up, false, T0 + 560ms, keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_FALSE(pads.nextRepeat());
    EXPECT_TRUE(run(pads, 560ms, 1500ms).empty());

    // Pressed again: a fresh first delay.
    pads.button(0, Up, true, T0 + 2s, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    EXPECT_TRUE(run(pads, 2000ms, 2395ms).empty());

    // Polled only long after (a stalled frame): one repeat, not a burst,
    // and the next a whole interval later.
    pads.repeat(T0 + 5s, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    EXPECT_EQ(*pads.nextRepeat(), T0 + 5s + 50ms);
}

TEST(Gamepads, TheLeftStickHasADeadZoneAndDoesNotFlickerAtItsEdge) {
    Gamepads pads;
    std::deque<ptc::KeyEvent> keys;
    pads.axis(0, LeftX, 10000, T0, keys);   // within the dead zone
    pads.axis(0, LeftX, 16000, T0, keys);   // not yet half way
    EXPECT_TRUE(keys.empty());
    pads.axis(0, LeftX, 20000, T0, keys);
    EXPECT_EQ(codes(keys), std::vector<int>{39});
    pads.axis(0, LeftX, 14000, T0 + 100ms, keys);  // wobbling back a little: still held
    pads.axis(0, LeftX, 17000, T0 + 150ms, keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(*pads.nextRepeat(), T0 + 400ms);
    pads.axis(0, LeftX, 12000, T0 + 200ms, keys);  // back inside 40 %: let go
    EXPECT_FALSE(pads.nextRepeat());
    pads.axis(0, LeftX, -32768, T0 + 300ms, keys);
    pads.axis(0, LeftY, -32768, T0 + 300ms, keys);  // a diagonal: two arrows
    pads.axis(0, LeftY, 32767, T0 + 350ms, keys);   // straight through to the other side
    EXPECT_EQ(codes(keys), (std::vector<int>{37, 38, 40}));
    pads.axis(0, SDL_CONTROLLER_AXIS_RIGHTX, 32767, T0, keys);  // other axes: nothing
    pads.axis(0, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767, T0, keys);
    EXPECT_TRUE(keys.empty());
}

TEST(Gamepads, OneDirectionHeldFromSeveralPlacesIsOneHeldKey) {
    Gamepads pads;
    std::deque<ptc::KeyEvent> keys;
    pads.button(1, Up, true, T0, keys);
    pads.axis(1, LeftY, -30000, T0 + 10ms, keys);  // the stick too
    pads.button(2, Up, true, T0 + 20ms, keys);     // and a second pad
    EXPECT_EQ(codes(keys), std::vector<int>{38});
    pads.button(1, Up, false, T0 + 100ms, keys);
    pads.axis(1, LeftY, 0, T0 + 100ms, keys);
    EXPECT_EQ(run(pads, 100ms, 455ms).size(), 2u);  // pad 2 still holds it: 400 and 450
    // Unplugged while held: let go, no key stuck repeating.
    pads.removed(2);
    EXPECT_FALSE(pads.nextRepeat());
    EXPECT_TRUE(run(pads, 455ms, 2000ms).empty());

    pads.button(3, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true, T0 + 3s, keys);
    pads.releaseAll();
    EXPECT_FALSE(pads.nextRepeat());
    pads.button(3, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true, T0 + 3s, keys);
    EXPECT_EQ(codes(keys), (std::vector<int>{37, 39}));
}

TEST(Gamepads, FaceButtonsAreEnterAndEscapeOncePerPress) {
    Gamepads pads;
    std::deque<ptc::KeyEvent> keys;
    for (const Uint8 b : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK,
                          SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_GUIDE}) {
        pads.button(0, b, true, T0, keys);
        pads.button(0, b, false, T0, keys);
    }
    for (const auto& k : keys)
        EXPECT_EQ(k.alt() + k.shift() + k.control(), 0);
    EXPECT_EQ(codes(keys), (std::vector<int>{13, 13, 27}));
    EXPECT_FALSE(pads.nextRepeat());  // buttons do not repeat
}

} // namespace
