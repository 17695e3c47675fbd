// The pixel toolkit the game draws through: one window, an off-screen
// surface of 32-bit pixels, key events and an error that can be reported.
// This header is the whole contract; each platform is one folder of
// src/display/ (sdl/ for the real window, headless/ for tests and the
// replay tool, web/ for the browser) and the executable picks one at link
// time.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace ptc {

// The display's size: the window opens at 320 x 200 and every frame is
// drawn at that size.
constexpr int DisplayWidth = 320;
constexpr int DisplayHeight = 200;

// Key codes as KeyEvent::code reports them: the virtual-key numbering of
// Windows desktops (letters by their capital, digits by their character,
// F1 = 112 ...). These are the ones the game and the platforms name.
constexpr int KeyEnter = 13;
constexpr int KeyPause = 19;
constexpr int KeyEscape = 27;
constexpr int KeyLeft = 37;
constexpr int KeyUp = 38;
constexpr int KeyRight = 39;
constexpr int KeyDown = 40;

// Every toolkit failure arrives as this exception.
class DynamicError : public std::runtime_error {
public:
    explicit DynamicError(const std::string& message) : std::runtime_error(message) {}
    const char* message() const noexcept { return what(); }
    // Writes the message on stderr and, where a display is available,
    // shows it in a message box.
    void report() const;
};

// Thrown when the player closes the window or the process is asked to end
// (Ctrl+C, SIGTERM). It travels the same path as a toolkit failure, so the
// game releases everything in order, but it is not reported and the run
// ends with status 0.
class Closed : public DynamicError {
public:
    Closed() : DynamicError("closed") {}
};

class PixelFormat {
public:
    PixelFormat(int bits, std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha);
    ~PixelFormat();
    PixelFormat(const PixelFormat&) = default;
    int bits() const { return bits_; }
    std::uint32_t red() const { return red_; }
    std::uint32_t green() const { return green_; }
    std::uint32_t blue() const { return blue_; }
    std::uint32_t alpha() const { return alpha_; }

private:
    int bits_;
    std::uint32_t red_, green_, blue_, alpha_;
};

class KeyEvent {
public:
    KeyEvent() = default;
    KeyEvent(int code, bool alt, bool shift, bool control)
        : code_(code), alt_(alt), shift_(shift), control_(control) {}
    int code() const { return code_; }
    int alt() const { return alt_ ? 1 : 0; }
    int shift() const { return shift_ ? 1 : 0; }
    int control() const { return control_ ? 1 : 0; }

private:
    int code_ = 0;
    bool alt_ = false, shift_ = false, control_ = false;
};

class Surface;

class Display {
public:
    Display();
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Known options: "synchronized update" (pace update() at 70 a second)
    // and "disable logging". Answers whether the option is known.
    bool option(const std::string& name);
    // Opens the window at the default size, DisplayWidth x DisplayHeight.
    void open(const std::string& title, const PixelFormat& format, int pages);
    int width() const;
    int height() const;
    // update, keyPressed, read and Surface::copyTo need an open display:
    // before open (or after close) they throw DynamicError.

    // Shows what the last Surface::copyTo took. Paced, an update that has
    // fallen more than a frame behind counts but may leave its frame off
    // the screen: game time holds, the screen catches up.
    void update();
    // 1 when a key event waits, else 0; never blocks.
    int keyPressed();
    // Waits for a key event and moves it from the queue into key.
    void read(KeyEvent& key);
    void close();

    struct Impl;

private:
    friend class Surface;
    // Each platform's own part of Surface::copyTo, which checks the rest.
    void requireOpen() const;
    void take(const std::vector<std::uint32_t>& pixels);
    std::unique_ptr<Impl> impl_;
};

class Surface {
public:
    Surface(int width, int height, const PixelFormat& format);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    void clear();
    // The pixels, (x, y) at element y * width + x, valid until unlock().
    void* lock();
    void unlock();
    // Takes a copy at once: later changes to the surface do not alter what
    // the next Display::update shows. A locked surface is the drawing's
    // until unlock: copying it throws DynamicError.
    void copyTo(Display& display);

    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_, height_;
    bool locked_ = false;
    std::vector<std::uint32_t> pixels_;
};

// The platform's message box: the text goes to stderr and, where a display
// is available, into a modal box with the caption. The sound player's error
// reports use it too.
void messageBox(const std::string& caption, const std::string& text);

} // namespace ptc
