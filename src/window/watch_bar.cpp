#include "window/watch_bar.h"

#include "window/pause_picture.h"
#include "window/small_text.h"

#include <algorithm>
#include <cstring>

namespace ptc::window {

namespace {

constexpr std::uint32_t TextColour = 0xFFFFFFu;
constexpr std::uint32_t KeysColour = 0xB0B0B0u;
constexpr std::uint32_t FilledColour = 0xFFD040u;
constexpr std::uint32_t EmptyColour = 0x404040u;
constexpr int Margin = 3;

std::string played(const WatchState& state) {
    // Appended one by one: GCC 12 sees a false overlap in "x" + to_string.
    std::string words = "x";
    words.append(std::to_string(state.speed)).append("  ").append(std::to_string(state.updates));
    if (state.total > 0)
        words.append("/").append(std::to_string(state.total));
    return words;
}

std::string keys(const WatchState& state) {
    if (state.skipping)
        return "SKIPPING TO THE CRASH";
    return state.canSkip ? "1 2 4 8 SPEED  S SKIP TO THE CRASH" : "1 2 4 8 SPEED";
}

} // namespace

std::string watchBarWords(const WatchState& state) { return played(state) + "  " + keys(state); }

void drawWatchBar(const std::uint32_t* frame, std::uint32_t* out, const WatchState& state) {
    const std::size_t above = static_cast<std::size_t>(WatchBarTop) * DisplayWidth;
    std::memcpy(out, frame, above * sizeof(std::uint32_t));
    for (std::size_t i = above; i < static_cast<std::size_t>(DisplayWidth) * DisplayHeight; ++i)
        out[i] = dimmed(frame[i]);
    // The line that fills as the run is played.
    const long total = std::max(state.total, state.updates);
    const int filled = total > 0 ? static_cast<int>(DisplayWidth * std::min(state.updates, total) / total) : 0;
    fillRect(out, 0, WatchBarTop, filled, 1, FilledColour);
    fillRect(out, filled, WatchBarTop, DisplayWidth - filled, 1, EmptyColour);
    const int textTop = WatchBarTop + 2;
    writeSmall(out, Margin, textTop, 1, played(state), TextColour);
    const std::string right = keys(state);
    writeSmall(out, DisplayWidth - Margin - smallTextWidth(right, 1), textTop, 1, right, KeysColour);
}

} // namespace ptc::window
