// The plan is made with the game's own traffic: the cars' rows and drift
// depend on the speeds played, never on where the player is, so one pass
// over the frames finds a path for a schedule of speeds. Every key waiting
// in a frame is applied in that frame, so the car can reach any row of its
// 5-pixel grid at once; only a frame in which cars cover every row stops
// the plan, and a change of speed some frames before it changes the traffic
// that comes.
#include "long_game.h"

#include "game/game_state.h"
#include "game/random.h"
#include "game/run_game.h"
#include "game/traffic.h"
#include "render/scene.h"

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>
#include <cstdlib>

namespace board_test {

namespace {

using namespace vexlo;

constexpr int StartUpdate = 272; // the replay tool's first frame of play
constexpr int KeyLeft = 37, KeyUp = 38, KeyRight = 39, KeyDown = 40;
constexpr int Never = INT_MAX;

// Frames from now until a car first touches the player on `row`: 0 when
// one touches now, Never when no car on the road will.
int safeFrames(int row) {
    const float drift = static_cast<float>(gameState.speed) - 0.5f;
    const int px = gameState.playerX;
    int first = Never;
    for (int i = 0; i < MaxEnemies; ++i) {
        const float x = trafficTable.enemyX[i];
        const int y = trafficTable.enemyY[i];
        if (x == EmptySlot || row - CarSize > y || y >= row + CarSize)
            continue;
        // The car touches while px - CarSize <= x < px + CarSize.
        if (x < static_cast<float>(px - CarSize))
            continue;
        const float ahead = x - static_cast<float>(px + CarSize);
        const int in = ahead < 0 ? 0 : static_cast<int>(ahead / drift) + 1;
        first = std::min(first, in);
    }
    return first;
}

// The row to be on in this frame: where the car is if it is safe there,
// else the nearest row that stays safe longest, at least while a car
// crosses.
int chooseRow(int row) {
    if (safeFrames(row) > 0)
        return row;
    const int enough = static_cast<int>(2 * CarSize / (static_cast<float>(gameState.speed) - 0.5f));
    int best = row, bestFrames = 0;
    for (int distance = PlayerStep; distance <= MaxPlayerY; distance += PlayerStep)
        for (int candidate : {row - distance, row + distance}) {
            if (candidate < 0 || candidate > MaxPlayerY)
                continue;
            const int frames = safeFrames(candidate);
            if (std::min(frames, enough) > std::min(bestFrames, enough))
                best = candidate, bestFrames = frames;
        }
    return best;
}

void press(std::string& keys, long update, int code, int times) {
    for (int i = 0; i < times; ++i)
        keys += std::to_string(update) + ' ' + std::to_string(code) + '\n';
}

// The speed from a frame on.
using Schedule = std::vector<std::pair<long, int>>;

// Plays the schedule for `frames` frames of play, dodging, into keys; the
// first frame in which no row was free, or 0.
long plan(long frames, int variant, const Schedule& speeds, std::string& keys) {
    resetGame();
    clearTraffic();
    keys = std::to_string(StartUpdate) + " 13\n";
    std::size_t next = 0;
    long blocked = 0;
    for (long frame = 1; frame <= frames && blocked == 0; ++frame) {
        // A key for frame k arrives after update StartUpdate + k - 2.
        const long update = StartUpdate + frame - 2;
        int& speed = gameState.speed;
        if (next < speeds.size() && speeds[next].first == frame) {
            const int wanted = speeds[next++].second;
            press(keys, update, wanted > speed ? KeyRight : KeyLeft, std::abs(wanted - speed));
            speed = wanted;
        }
        int& row = gameState.playerY;
        if (frame >= 2) {
            const int wanted = chooseRow(frame == 2 ? std::clamp(row - PlayerStep * variant, 0, MaxPlayerY) : row);
            press(keys, update, wanted > row ? KeyDown : KeyUp, std::abs(wanted - row) / PlayerStep);
            row = wanted;
        }
        // The rest of a frame of play, as far as the traffic goes.
        updateTraffic();
        if (gameState.crashed != 0)
            blocked = frame;
        if (vexlo::rand() % (200 / speed) == 0)
            spawnEnemy();
    }
    resetGame();
    clearTraffic();
    return blocked;
}

} // namespace

std::string longGame(long frames, int variant) {
    // Speed 2 is clear longest; where the way closes, speed 1 or 3 from
    // some frames before, and back to 2 a while later.
    Schedule speeds{{2, 2}};
    std::string keys;
    for (int tries = 0; tries < 40; ++tries) {
        const long blocked = plan(frames, variant, speeds, keys);
        if (blocked == 0)
            return keys;
        const long since = speeds.back().first;
        if (speeds.size() >= 3 && blocked < speeds.back().first + 2000) {
            // The last change did not open the way: change earlier.
            speeds.pop_back();
            std::pair<long, int>& change = speeds.back();
            change.first = std::max(speeds[speeds.size() - 2].first + 1, change.first - 300);
            change.second = change.second == 1 ? 3 : 1;
        } else {
            speeds.emplace_back(std::max(since + 1, blocked - 300), 1);
        }
        speeds.emplace_back(speeds.back().first + 1500, 2);
    }
    return "";
}

} // namespace board_test
