// A whole game played from a key script, as the replay tool plays it: the
// platform's side of Display::update, keyPressed and read, for every
// platform that plays a script (the headless one, the page's replay hook).
// Updates are counted from 1 and handed on with the pixels shown; a key is
// waiting once its update has passed; a blocking read takes the next key at
// once. The run ends, if the game does not end it first, when a read finds
// no key left or an update passes the limit: each end is an exception of
// its own, so that whoever ran the game can tell them apart.
#pragma once

#include "ptc/ptc.h"
#include "replay/key_script.h"
#include "replay/scripted_keys.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace replay {

// The game waited for a key the script does not have.
class KeyScriptEnded : public ptc::DynamicError {
public:
    KeyScriptEnded() : DynamicError("end of key script") {}
};

// The game made more updates than the run allows.
class UpdateLimitReached : public ptc::DynamicError {
public:
    UpdateLimitReached() : DynamicError("update limit") {}
};

// Which of the two ended a run, if either did.
enum class ScriptEnd { None, KeysRanOut, UpdateLimit };

struct RunScript {
    std::vector<ScriptedKey> keys; // in the order they arrive
    long maxUpdates = 100000;      // update number maxUpdates + 1 throws UpdateLimitReached
    // Called at every update with its number (from 1) and the
    // DisplayWidth x DisplayHeight pixels shown.
    std::function<void(long update, const std::uint32_t* shown)> onUpdate;
    // Called when the game reads a key, with the updates made so far: what
    // the game took and when, whatever update the script gave the key.
    std::function<void(long update, int code)> onRead;
};

class ScriptedRun {
public:
    ScriptedRun() : ScriptedRun(RunScript{}) {}
    explicit ScriptedRun(RunScript script);

    // One Display::update showing these pixels.
    void update(const std::uint32_t* shown);
    // Whether a key waits now.
    bool keyPressed() const { return keys_.waiting(updates_); }
    // The next key, however far ahead in the script.
    ptc::KeyEvent read();

    long updates() const { return updates_; }
    ScriptEnd end() const { return end_; }

private:
    ScriptedKeys keys_;
    long maxUpdates_ = 0;
    std::function<void(long, const std::uint32_t*)> onUpdate_;
    std::function<void(long, int)> onRead_;
    long updates_ = 0;
    ScriptEnd end_ = ScriptEnd::None;
};

} // namespace replay
