// Control of the browser platform, for the page's entry (src/launch/web).
// The game itself never includes this: it sees the same ptc classes as
// everywhere.
#pragma once

#include "replay/key_script.h"
#include "replay/scripted_run.h"
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

// The next run plays a key script as the replay tool does
// (replay/scripted_run.h), unpaced, and never stops for a message box.
void playScripted(replay::RunScript script);

// Display::update calls of the current run so far.
long updates();

// The keys the game took from the player in the current live run, as a key
// script that replays the same game (the recording rule of
// window/game_keys.h).
const std::vector<replay::ScriptedKey>& playersKeys();

// Shows again the picture on screen when the game of the last live run
// last read a key (after a game-over, that screen with its score).
void showStandingPicture();

} // namespace ptc::web
