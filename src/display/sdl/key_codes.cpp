#include "display/sdl/key_codes.h"

namespace ptc::sdl {

namespace {

// Keys whose code does not follow from a range.
struct Named {
    SDL_Keycode key;
    int code;
};

// One row a kind of key, as a keyboard groups them.
// clang-format off
constexpr Named NamedKeys[] = {
    // editing and whitespace
    {SDLK_BACKSPACE, 8}, {SDLK_TAB, 9}, {SDLK_CLEAR, 12}, {SDLK_RETURN, KeyEnter},
    {SDLK_RETURN2, KeyEnter}, {SDLK_KP_ENTER, KeyEnter}, {SDLK_ESCAPE, KeyEscape}, {SDLK_SPACE, 32},
    // modifiers and locks
    {SDLK_LSHIFT, 16}, {SDLK_RSHIFT, 16}, {SDLK_LCTRL, 17}, {SDLK_RCTRL, 17},
    {SDLK_LALT, 18}, {SDLK_RALT, 18}, {SDLK_PAUSE, KeyPause}, {SDLK_CAPSLOCK, 20},
    {SDLK_NUMLOCKCLEAR, 144}, {SDLK_SCROLLLOCK, 145},
    {SDLK_LGUI, 91}, {SDLK_RGUI, 92}, {SDLK_APPLICATION, 93},
    // navigation
    {SDLK_PAGEUP, 33}, {SDLK_PAGEDOWN, 34}, {SDLK_END, 35}, {SDLK_HOME, 36},
    {SDLK_LEFT, KeyLeft}, {SDLK_UP, KeyUp}, {SDLK_RIGHT, KeyRight}, {SDLK_DOWN, KeyDown},
    {SDLK_SELECT, 41}, {SDLK_EXECUTE, 43}, {SDLK_PRINTSCREEN, 44},
    {SDLK_INSERT, 45}, {SDLK_DELETE, 46}, {SDLK_HELP, 47}, {SDLK_SLEEP, 95},
    // keypad operators
    {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107}, {SDLK_KP_COMMA, 108},
    {SDLK_KP_MINUS, 109}, {SDLK_KP_DECIMAL, 110}, {SDLK_KP_DIVIDE, 111},
    // punctuation, by the US layout's keys
    {SDLK_SEMICOLON, 186}, {SDLK_EQUALS, 187}, {SDLK_PLUS, 187}, {SDLK_COMMA, 188},
    {SDLK_MINUS, 189}, {SDLK_PERIOD, 190}, {SDLK_SLASH, 191}, {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220}, {SDLK_RIGHTBRACKET, 221},
    {SDLK_QUOTE, 222},
};
// clang-format on

} // namespace

int keyCode(const SDL_Keysym& key) {
    const SDL_Keycode k = key.sym;
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return 112 + (k - SDLK_F1);
    if (k >= SDLK_F13 && k <= SDLK_F24)
        return 124 + (k - SDLK_F13);
    // The keypad's digits and point: numbers with Num Lock on, otherwise the
    // cursor keys printed on them (so 8, 2, 4, 6 steer like the arrows).
    if (key.scancode >= SDL_SCANCODE_KP_1 && key.scancode <= SDL_SCANCODE_KP_0) {
        const int index = key.scancode - SDL_SCANCODE_KP_1; // 1 ... 9, then 0
        if ((key.mod & KMOD_NUM) != 0)
            return index == 9 ? 96 : 97 + index;
        constexpr int Cursor[] = {35, KeyDown, 34, KeyLeft, 12, KeyRight, 36, KeyUp, 33, 45};
        return Cursor[index];
    }
    if (key.scancode == SDL_SCANCODE_KP_PERIOD)
        return (key.mod & KMOD_NUM) != 0 ? 110 : 46;
    for (const Named& n : NamedKeys)
        if (n.key == k)
            return n.code;
    // A layout whose letter or digit keys produce other characters (Cyrillic
    // letters, the French top row) still gives these keys their codes, by
    // their place on the keyboard.
    if (key.scancode >= SDL_SCANCODE_A && key.scancode <= SDL_SCANCODE_Z)
        return 'A' + (key.scancode - SDL_SCANCODE_A);
    if (key.scancode >= SDL_SCANCODE_1 && key.scancode <= SDL_SCANCODE_9)
        return '1' + (key.scancode - SDL_SCANCODE_1);
    if (key.scancode == SDL_SCANCODE_0)
        return '0';
    return 0;
}

} // namespace ptc::sdl
