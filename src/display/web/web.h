// Control of the browser platform, for the page's entry (src/launch/web).
// The game itself never includes this: it sees the same ptc classes as
// everywhere.
#pragma once

#include "replay/key_script.h"
#include "window/comforts.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ptc::web {

// The next run takes the player's keys (or, with setUp.watched, a recorded
// game's) through the window's rules, and shows 70 updates a second. With
// onUpdate, each update is handed to it too, as below.
void playLive(window::ComfortsSetUp setUp,
              std::function<void(long update, const std::uint32_t* shown)> onUpdate = nullptr);

// The next run takes its keys from a script, with the replay tool's meaning:
// a key is waiting once its update has passed, a blocking read takes the
// next key at once, with none left it throws "end of key script", and
// update maxUpdates + 1 throws "update limit". Updates are not paced; each
// one is handed to onUpdate with its number (from 1) and the pixels shown.
void playScripted(std::vector<ScriptedKey> keys, long maxUpdates,
                  std::function<void(long update, const std::uint32_t* shown)> onUpdate);

// Display::update calls of the current run so far.
long updates();

// The keys the game took from the player in the current run, as a key
// script that replays the same game (the recording rule of
// window/game_keys.h).
const std::vector<ScriptedKey>& playersKeys();

// Shows again the picture on screen when the game of the last run last
// read a key (after a game-over, that screen with its score).
void showStandingPicture();

} // namespace ptc::web
