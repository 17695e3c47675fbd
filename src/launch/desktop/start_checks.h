// What main checks before the game starts, so that a start that cannot
// succeed says its real reason first (before the sound opens its device and
// says, perhaps, that there is none) and, where there is a display, also in
// a box: a game started from the desktop's menu has no terminal.
#pragma once

namespace vexlo {

// Reads the game's pictures with the game's own loader. When one cannot be
// read, the loader's line is said on stderr and in a box, and false.
bool picturesReadable();

// SDL's video, started ahead of the game's window and held until the
// game has ended. The window starts it again (SDL counts the starts), so
// the display is reached once, only earlier.
class DisplayHold {
public:
    DisplayHold() = default;
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;
    ~DisplayHold();

    // False, with the reason said as the window would say it, when no
    // window can be shown.
    bool start();

private:
    bool started_ = false;
};

} // namespace vexlo
