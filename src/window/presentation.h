// Where and how big the 320 x 200 picture is shown in the window.
//
// The game was drawn for displays that show 320 x 200 on a 4:3 screen, so
// each pixel is 1.2 times as tall as it is wide; by default the picture is
// shown that way. Crisp and even at any size: the picture is first scaled
// up by whole factors with nearest neighbour into an intermediate texture
// just at least as big as the place it goes to, and that texture is then
// shrunk to the place with linear filtering. Each pixel so becomes a block
// of hard colour with at most one blended row or column at its edges,
// rather than the alternating thick and thin rows of plain nearest-neighbour
// scaling or the blur of plain linear scaling.
#pragma once

#include "ptc/ptc.h"

namespace ptc::window {

enum class Aspect {
    FourByThree,  // pixels 1.2 times as tall as wide: the picture is 4:3
    SquarePixels, // the picture as it is in memory: 16:10
};

// VEXLO_ASPECT=off (or 0) shows square pixels; anything else, or nothing,
// the 4:3 picture.
Aspect aspectFromEnvironment();

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

// The picture's proportions: 320 x 240 for 4:3, 320 x 200 for square pixels.
Size shownShape(Aspect aspect);

// The window's first size: the largest whole multiple of the shown shape
// that fits the area, and at least one.
Size fittingWindow(Aspect aspect, Size area);

// The largest rectangle of the shown proportions that fits the output,
// centred: black bars fill the rest.
Rect letterbox(Aspect aspect, Size output);

// The intermediate texture for a place of that size: in each direction the
// smallest whole multiple of the picture that is at least as big, so the
// linear step only ever shrinks, and by less than a factor of two for a
// place at least as big as the picture (it copies pixel for pixel when the
// place is an exact multiple). A limit of 0 means none; a
// factor is cut down to fit a limit, but never below one.
Size crispSize(Size place, Size maxTexture);

} // namespace ptc::window
