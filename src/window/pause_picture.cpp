#include "window/pause_picture.h"

#include "window/small_text.h"

namespace ptc::window {

namespace {

constexpr std::uint32_t PanelColour = 0x181818u;
constexpr std::uint32_t EdgeColour = 0xD0D0D0u;
constexpr std::uint32_t SignColour = 0xFFFFFFu;
constexpr std::uint32_t HintColour = 0xB0B0B0u;

} // namespace

void drawPausePicture(const std::uint32_t* frame, std::uint32_t* out) {
    for (int i = 0; i < DisplayWidth * DisplayHeight; ++i)
        out[i] = dimmed(frame[i]);
    using P = PausePanel;
    fillRect(out, P::X, P::Y, P::Width, P::Height, EdgeColour);
    fillRect(out, P::X + 1, P::Y + 1, P::Width - 2, P::Height - 2, PanelColour);
    // The pause sign, two bars, beside the word.
    fillRect(out, P::X + 12, P::Y + 9, 6, 20, SignColour);
    fillRect(out, P::X + 22, P::Y + 9, 6, 20, SignColour);
    writeSmall(out, P::X + 40, P::Y + 12, 2, "PAUSED", SignColour);
    writeSmall(out, P::X + 23, P::Y + 42, 1, "PRESS P TO PLAY", HintColour);
}

} // namespace ptc::window
