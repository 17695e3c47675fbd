// What the window makes of the player's keyboard and gamepads before the
// game sees a key. Kept apart from the window itself so that it can be
// checked without one: both classes take SDL's events and the time, and put
// the keys the game is to read at the back of its queue.
#pragma once

#include "ptc/ptc.h"

#include <SDL.h>

#include <array>
#include <chrono>
#include <deque>
#include <map>
#include <optional>

namespace ptc::sdl {

using InputClock = std::chrono::steady_clock;

// The keyboard. F11 and Alt+Enter switch between the window and full
// screen; they are the window's own keys and never reach the game. The
// press of an Alt key is held back until it is clear whether Enter follows:
// it reaches the game when another key is pressed or when Alt is let go, in
// its place in the order, and is dropped when it was the start of Alt+Enter
// (or of a chord the window manager took, such as Alt+Tab: the window then
// loses the focus with Alt still down). Otherwise every press, auto-repeats
// included, is a key for the game.
class KeyboardRouter {
public:
    enum class Action { None, ToggleFullscreen };

    Action press(const SDL_Keysym& key, bool repeat, std::deque<KeyEvent>& keys);
    void release(const SDL_Keysym& key, std::deque<KeyEvent>& keys);
    void focusLost();

private:
    void sendHeld(std::deque<KeyEvent>& keys);

    std::optional<KeyEvent> heldAlt_;
};

// Gamepads through SDL's game controller mapping: the D-pad and the left
// stick are the four arrows, A and Start are Enter, Back is Escape. A held
// direction repeats like a key: once at the press, again after 400 ms and
// then every 50 ms until it is let go. The stick counts as pushed once it
// is past half its throw and as let go once back within 40 % of it, so that
// it neither flickers at the edge nor drifts from the centre. A direction
// held on several pads, or on the D-pad and the stick together, is one
// held key.
class Gamepads {
public:
    static constexpr auto FirstRepeat = std::chrono::milliseconds(400);
    static constexpr auto RepeatInterval = std::chrono::milliseconds(50);
    static constexpr int StickPushed = 16384;
    static constexpr int StickCentred = 13107;

    void button(SDL_JoystickID pad, Uint8 button, bool down, InputClock::time_point now,
                std::deque<KeyEvent>& keys);
    void axis(SDL_JoystickID pad, Uint8 axis, Sint16 value, InputClock::time_point now,
              std::deque<KeyEvent>& keys);
    // A pad unplugged: whatever it held is let go.
    void removed(SDL_JoystickID pad);
    // Everything let go (the window lost the focus, and with it the pads'
    // events, so a release could be missed).
    void releaseAll();
    // Queues the repeats that are due. One call sends at most one repeat
    // per direction: after a stall the schedule starts afresh rather than
    // sending a burst.
    void repeat(InputClock::time_point now, std::deque<KeyEvent>& keys);
    // When the next repeat is due, if a direction is held.
    std::optional<InputClock::time_point> nextRepeat() const;

private:
    // Left, Up, Right, Down: the key codes 37 to 40 in order.
    static constexpr int Directions = 4;
    struct Pad {
        std::array<bool, Directions> dpad{};
        std::array<bool, Directions> stick{};
    };
    struct Held {
        bool down = false;
        InputClock::time_point next{};
    };

    void refresh(InputClock::time_point now, std::deque<KeyEvent>& keys);

    std::map<SDL_JoystickID, Pad> pads_;
    std::array<Held, Directions> held_{};
};

} // namespace ptc::sdl
