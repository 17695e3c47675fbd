// What the window's pause and mute ask of the sound, through main: all of
// it held where it is, or all of it silent while it goes on playing. Both
// act at once, at the next mixing buffer, and hold until switched back;
// either may be set before FSOUND_Init and lasts across it.
#pragma once

// Paused: the music stands still and the effects with it, silently; they
// go on where they stopped.
void soundLayerSetPaused(bool paused);
// Muted: the music and the effects play on, unheard.
void soundLayerSetMuted(bool muted);
