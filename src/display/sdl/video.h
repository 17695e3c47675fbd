// SDL's video for a window, started only where a window can be shown: a
// game waiting for a key on SDL's invisible fallback driver would wait
// forever. The window starts it as it opens; the launcher may start it
// earlier, so that a start that cannot succeed says why before anything
// else (SDL counts the starts: each wants its stop).
#pragma once

namespace ptc::sdl {

// Starts SDL's video and events; throws DynamicError with the reason, in
// the player's words, when no window can be shown (no display named, or
// one that SDL cannot reach).
void startVideo();
void stopVideo();

} // namespace ptc::sdl
