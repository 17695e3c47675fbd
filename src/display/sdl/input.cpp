#include "display/sdl/input.h"

#include "display/sdl/key_codes.h"

namespace ptc::sdl {

namespace {

bool isAlt(SDL_Keycode key) { return key == SDLK_LALT || key == SDLK_RALT; }

bool isEnter(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_RETURN2 || key == SDLK_KP_ENTER; }

KeyEvent eventFor(const SDL_Keysym& key) {
    return KeyEvent(keyCode(key), (key.mod & KMOD_ALT) != 0, (key.mod & KMOD_SHIFT) != 0,
                    (key.mod & KMOD_CTRL) != 0);
}

// The direction a D-pad button stands for, or -1.
int dpadDirection(Uint8 button) {
    switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return 0;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return 1;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return 2;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return 3;
    default:
        return -1;
    }
}

} // namespace

KeyboardRouter::Action KeyboardRouter::press(const SDL_Keysym& key, bool repeat, window::KeyQueue& keys) {
    const bool alt = (key.mod & KMOD_ALT) != 0;
    const bool otherModifier = (key.mod & (KMOD_CTRL | KMOD_GUI)) != 0;
    if (key.sym == SDLK_F11 || (isEnter(key.sym) && alt && !otherModifier)) {
        heldAlt_.reset(); // the Alt was the start of this chord
        // Held down, the chord switches once.
        return repeat ? Action::None : Action::ToggleFullscreen;
    }
    if (isAlt(key.sym)) {
        if (repeat && heldAlt_)
            return Action::None; // still the same press
        sendHeld(keys);
        heldAlt_ = eventFor(key);
        return Action::None;
    }
    sendHeld(keys);
    // A key with no code of the toolkit's (volume keys and the like) is no
    // key the game can be told of, nor one a recording could write.
    if (keyCode(key) != 0)
        keys.push_back(window::PlayerKey(eventFor(key), repeat));
    return Action::None;
}

void KeyboardRouter::release(const SDL_Keysym& key, window::KeyQueue& keys) {
    if (isAlt(key.sym))
        sendHeld(keys);
}

void KeyboardRouter::focusLost() { heldAlt_.reset(); }

void KeyboardRouter::sendHeld(window::KeyQueue& keys) {
    if (heldAlt_)
        keys.push_back(*heldAlt_);
    heldAlt_.reset();
}

void Gamepads::button(SDL_JoystickID pad, Uint8 button, bool down, InputClock::time_point now,
                      window::KeyQueue& keys) {
    const int direction = dpadDirection(button);
    if (direction >= 0) {
        pads_[pad].dpad[static_cast<std::size_t>(direction)] = down;
        refresh(now, keys);
        return;
    }
    if (!down)
        return;
    if (button == SDL_CONTROLLER_BUTTON_A || button == SDL_CONTROLLER_BUTTON_START)
        keys.emplace_back(KeyEnter, false, false, false);
    else if (button == SDL_CONTROLLER_BUTTON_BACK)
        keys.emplace_back(KeyEscape, false, false, false);
}

void Gamepads::axis(SDL_JoystickID pad, Uint8 axis, Sint16 value, InputClock::time_point now,
                    window::KeyQueue& keys) {
    std::size_t negative, positive;
    if (axis == SDL_CONTROLLER_AXIS_LEFTX) {
        negative = 0; // left
        positive = 2; // right
    } else if (axis == SDL_CONTROLLER_AXIS_LEFTY) {
        negative = 1; // up: SDL's y grows downward
        positive = 3; // down
    } else {
        return;
    }
    auto& stick = pads_[pad].stick;
    stick[positive] = value > (stick[positive] ? StickCentred : StickPushed);
    stick[negative] = value < -(stick[negative] ? StickCentred : StickPushed);
    refresh(now, keys);
}

void Gamepads::removed(SDL_JoystickID pad) {
    pads_.erase(pad);
    window::KeyQueue none;
    refresh(InputClock::time_point{}, none); // only lets go: sends nothing
}

void Gamepads::releaseAll() {
    pads_.clear();
    held_ = {};
}

void Gamepads::refresh(InputClock::time_point now, window::KeyQueue& keys) {
    for (std::size_t d = 0; d < Directions; ++d) {
        bool down = false;
        for (const auto& [id, pad] : pads_)
            down = down || pad.dpad[d] || pad.stick[d];
        Held& held = held_[d];
        if (down && !held.down) {
            held.down = true;
            held.next = now + FirstRepeat;
            keys.emplace_back(KeyLeft + static_cast<int>(d), false, false, false);
        } else if (!down) {
            held.down = false;
        }
    }
}

void Gamepads::repeat(InputClock::time_point now, window::KeyQueue& keys) {
    for (std::size_t d = 0; d < Directions; ++d) {
        Held& held = held_[d];
        if (!held.down || now < held.next)
            continue;
        keys.push_back(window::PlayerKey(KeyEvent(KeyLeft + static_cast<int>(d), false, false, false), true));
        held.next += RepeatInterval;
        if (held.next <= now)
            held.next = now + RepeatInterval;
    }
}

std::optional<InputClock::time_point> Gamepads::nextRepeat() const {
    std::optional<InputClock::time_point> first;
    for (const Held& held : held_)
        if (held.down && (!first || held.next < *first))
            first = held.next;
    return first;
}

} // namespace ptc::sdl
