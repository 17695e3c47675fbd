// Control of the headless platform, for the tests, the replay tool and the
// score server's verifier. The game itself never includes this: it sees the
// same ptc classes either way.
#pragma once

#include "replay/scripted_run.h"

#include <string>
#include <vector>

namespace ptc::headless {

struct Script : replay::RunScript {
    // Off for long games whose toolkit calls nobody reads (a million
    // updates would keep millions of names).
    bool recordCalls = true;
};

// Replaces the script and clears the record below; call before a run.
void start(Script script);
// Display::update calls so far.
long updates();
// What ended the run, if its script did (replay/scripted_run.h).
replay::ScriptEnd scriptEnd();
// Every message-box and error-report text, in order.
const std::vector<std::string>& messages();
// The toolkit calls made so far, for tests of the game's flow:
// "open", "update", "close", "~Surface", "~PixelFormat", "~Display", ...
const std::vector<std::string>& calls();

} // namespace ptc::headless
