// Error reports and message boxes. The text always goes to stderr first,
// after the program's name as every line the game prints, so nothing is
// lost when no box can be shown; the box itself is modal and waits for the
// user.
#include "ptc/ptc.h"
#include "display/sdl/environment.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace ptc {

namespace {

void showBox(const std::string& caption, const std::string& text) {
    // Automated runs set this so that no box waits for a click.
    if (std::getenv("VEXLO_NO_MESSAGE_BOX") != nullptr)
        return;
    if (!sdl::displayServerNamed())
        return;
    // SDL shows a box even before its video is started (or after it is shut
    // down, as on the game's error path). A failure here is not reported:
    // the text is on stderr already.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
}

} // namespace

void messageBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "vexlo-race: %s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    showBox(caption, text);
}

// The box is titled "Error"; on stderr the program's name says whose it is.
void DynamicError::report() const {
    std::fprintf(stderr, "vexlo-race: %s\n", message());
    std::fflush(stderr);
    showBox("Error", message());
}

} // namespace ptc
