// Control of the headless platform, for the tests and the replay tool. The
// game itself never includes this: it sees the same ptc classes either way.
#pragma once

#include "replay/key_script.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ptc::headless {

using ScriptedKey = ptc::ScriptedKey;

struct Script {
    std::vector<ScriptedKey> keys; // in the order they arrive
    long maxUpdates = 100000;      // update number maxUpdates + 1 throws "update limit"
    // Called at every Display::update with its number (from 1) and the
    // DisplayWidth x DisplayHeight pixels shown.
    std::function<void(long update, const std::uint32_t* shown)> onUpdate;
    // Called when the game reads a key, with the updates made so far: what
    // the game took and when, whatever update the script gave the key.
    std::function<void(long update, int code)> onRead;
    // Off for long games whose toolkit calls nobody reads (a million
    // updates would keep millions of names).
    bool recordCalls = true;
};

// Replaces the script and clears the record below; call before a run.
void start(Script script);
// Display::update calls so far.
long updates();
// Every message-box and error-report text, in order.
const std::vector<std::string>& messages();
// The toolkit calls made so far, for tests of the game's flow:
// "open", "update", "close", "~Surface", "~PixelFormat", "~Display", ...
const std::vector<std::string>& calls();

} // namespace ptc::headless
