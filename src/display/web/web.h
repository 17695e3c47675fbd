// Control of the browser platform, for the page's entry (src/web). The game
// itself never includes this: it sees the same ptc classes as everywhere.
#pragma once

#include "display/key_script.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ptc::web {

// The next run takes the player's keys and shows 70 updates a second. With
// onUpdate, each update is handed to it too, as below.
void playLive(std::function<void(long update, const std::uint32_t* shown)> onUpdate = nullptr);

// The next run takes its keys from a script, with the replay tool's meaning:
// a key is waiting once its update has passed, a blocking read takes the
// next key at once, with none left it throws "end of key script", and
// update maxUpdates + 1 throws "update limit". Updates are not paced; each
// one is handed to onUpdate with its number (from 1) and the pixels shown.
void playScripted(std::vector<ScriptedKey> keys, long maxUpdates,
                  std::function<void(long update, const std::uint32_t* shown)> onUpdate);

// Display::update calls of the current run so far.
long updates();

// The player's keys of the current run as a key script: each with the
// update after which the game first saw it waiting, so that a replay of
// them plays the same game.
const std::vector<ScriptedKey>& playersKeys();

} // namespace ptc::web
