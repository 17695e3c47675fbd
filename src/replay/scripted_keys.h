// A key script played as a game's keys, with the replay tool's meaning: a
// key is waiting once its update has passed, and a blocking read takes the
// next key at once, whenever it is due (time passes without updates). The
// headless platform, the page's replay hook and a watched recording all
// take their keys through this.
#pragma once

#include "ptc/ptc.h"
#include "replay/key_script.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace replay {

class ScriptedKeys {
public:
    ScriptedKeys() = default;
    // keys in the order they arrive, as readKeyScript gives them.
    explicit ScriptedKeys(std::vector<ScriptedKey> keys) : keys_(std::move(keys)) {}

    // Whether the next key has arrived after `updates` updates.
    bool waiting(long updates) const { return next_ < keys_.size() && keys_[next_].update <= updates; }
    // The next key, or nothing once the script has ended.
    std::optional<ptc::KeyEvent> take() {
        if (next_ >= keys_.size())
            return std::nullopt;
        const ScriptedKey& key = keys_[next_++];
        return ptc::KeyEvent(key.code, key.alt, key.shift, key.control);
    }
    // How many keys have been taken.
    std::size_t taken() const { return next_; }

private:
    std::vector<ScriptedKey> keys_;
    std::size_t next_ = 0;
};

} // namespace replay
