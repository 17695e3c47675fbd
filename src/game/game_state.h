// The one record of play, and the fixed numbers of the game.
#pragma once

namespace vexlo {

class SoundPlayer;

constexpr int MinSpeed = 1;
constexpr int MaxSpeed = 5;
constexpr int PlayerStep = 5;
constexpr int MaxPlayerY = 170;
constexpr int CrashFrames = 70;

// The score wraps by a billion before the signed 32 bits run out; a billion
// is a multiple of a million, so the six digits on screen run on unbroken.
constexpr int ScoreWrap = 1000000000;
// The scroll wraps by a multiple of the road's 40-pixel period while its
// float still counts whole pixels exactly (below 2^24), so the road on
// screen is the same as without the wrap.
constexpr float ScrollWrap = 40.0f * 262144.0f;

struct GameState {
    int playerX = 10;
    int playerY = 100;
    int speed = 1;
    SoundPlayer* soundPlayer = nullptr;
    float scroll = 0.0f;
    int score = 0;
    int crashed = 0;
    int crashTimer = 0;
};

extern GameState gameState;

} // namespace vexlo
