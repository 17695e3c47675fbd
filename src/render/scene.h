// The moving things of a frame of play: the player's car (or its explosion
// during a crash), the enemy cars and the six-digit score.
#pragma once

#include "render/frame_buffer.h"

namespace vexlo {

constexpr int CarSize = 30;
constexpr int DigitWidth = 8;
constexpr int DigitHeight = 16;
constexpr int LabelWidth = 49;
constexpr int ScoreDigits = 6;

// The car, or during a crash the explosion picture its timer calls for.
int drawPlayer(Pixel* frame, int x, int y);
int drawEnemy(Pixel* frame, int x, int y);
// The six lowest decimal digits of value: top right with the label during
// play (atGameOver 0), in the middle without it on the game-over screen.
int drawScore(Pixel* frame, int value, int atGameOver);

} // namespace vexlo
