// Error reports and message boxes. The text always goes to stderr first, so
// nothing is lost when no box can be shown; the box itself is modal and
// waits for the user.
#include "display/ptc.h"
#include "display/sdl/environment.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace ptc {

void messageBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
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

void DynamicError::report() const { messageBox("Error", message()); }

} // namespace ptc
