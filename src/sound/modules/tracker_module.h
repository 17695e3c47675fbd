// A tracker module as the sound layers play it: made by libopenmpt from a
// file's bytes, repeating forever, rendered as interleaved stereo at the
// output's rate, in the output's own sample type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

namespace openmpt {
class module;
}

namespace vexlo::soundmodules {

class TrackerModule {
public:
    // Throws what libopenmpt throws for bytes it cannot load.
    explicit TrackerModule(const std::vector<std::uint8_t>& bytes);
    ~TrackerModule();
    TrackerModule(const TrackerModule&) = delete;
    TrackerModule& operator=(const TrackerModule&) = delete;

    // Back to the start; false when the renderer refuses.
    bool restart();
    // Fills frames frames of out (std::int16_t or float); whatever the
    // renderer does not give (it failed) is silence.
    template <typename Sample>
    void render(int rate, Sample* out, std::size_t frames);

private:
    // Where the loader's warnings go: nowhere. It keeps writing to this
    // stream while the module lives, so the stream lives beside it.
    std::ostream log_{nullptr};
    std::unique_ptr<openmpt::module> module_;
};

// A module made from bytes, or why it could not be: 12 out of memory,
// 11 anything else the loader refuses.
struct MadeModule {
    std::unique_ptr<TrackerModule> module;
    int error = 0;
};
MadeModule makeModule(const std::vector<std::uint8_t>& bytes);

} // namespace vexlo::soundmodules
