#include "replay/scripted_run.h"

namespace replay {

ScriptedRun::ScriptedRun(RunScript script)
    : keys_(std::move(script.keys)), maxUpdates_(script.maxUpdates), onUpdate_(std::move(script.onUpdate)),
      onRead_(std::move(script.onRead)) {}

void ScriptedRun::update(const std::uint32_t* shown) {
    if (updates_ >= maxUpdates_) {
        end_ = ScriptEnd::UpdateLimit;
        throw UpdateLimitReached();
    }
    ++updates_;
    if (onUpdate_)
        onUpdate_(updates_, shown);
}

ptc::KeyEvent ScriptedRun::read() {
    const std::optional<ptc::KeyEvent> next = keys_.take();
    if (!next) {
        end_ = ScriptEnd::KeysRanOut;
        throw KeyScriptEnded();
    }
    if (onRead_)
        onRead_(updates_, next->code());
    return *next;
}

} // namespace replay
