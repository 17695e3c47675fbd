// The game's pictures, drawn from code.
#pragma once

#include "canvas.h"
#include "ptc/ptc.h"

namespace assetgen {

// Pictures of the whole screen, and the road, are as wide as the display.
constexpr int ScreenW = ptc::DisplayWidth;
constexpr int ScreenH = ptc::DisplayHeight;
constexpr int RoadWidth = ScreenW;
constexpr int RoadRows = 201;
constexpr int RoadPeriod = 40;
constexpr int CarSide = 30;
constexpr int DigitW = 8;
constexpr int DigitH = 16;
constexpr int LabelW = 49;
constexpr int LabelH = 16;
// The label file holds this many pixels; those past 49 × 16 are key.
constexpr int LabelFilePixels = 810;

// Where the game draws the six score digits over the game-over picture.
constexpr int GameOverDigitsX = 163;
constexpr int GameOverDigitsY = 128;

Image makeRoad();
Image makePlayerCar();
Image makeEnemyCar();
// stage 1: flash, 2: fireball, 3: burning wreck.
Image makeExplosion(int stage);
Image makeDigit(int d);
Image makeScoreLabel();
Image makeTitle();
Image makeGameOver();

// The desktop icon: the player's car on a tile of road with round corners,
// IconSide pixels square, key outside the corners. Installed at every size
// of IconSizes as a whole-number enlargement, so that it keeps the game's
// crisp pixels.
constexpr int IconSide = 32;
constexpr int IconSizes[] = {32, 64, 128, 256};
// The sizes a web app's manifest asks for.
constexpr int WebIconSizes[] = {192, 512};
constexpr int IconCorner = 6;
Image makeIcon();

// A frame of play put together the way the game does it (road at scroll
// offset k, cars, score), and the game-over screen over it: for previews.
Image mockPlayFrame(int k, int score);
Image mockGameOverFrame(int score);

} // namespace assetgen
