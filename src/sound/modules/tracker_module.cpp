#include "sound/modules/tracker_module.h"

#include "sound/fsound.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <map>
#include <new>
#include <string>

namespace vexlo::soundmodules {

namespace {

// The durations of the module's subsongs are not needed to play it, and
// working them out plays the whole song through in advance.
const std::map<std::string, std::string> SkipSubsongDurations = {{"load.skip_subsongs_init", "1"}};

} // namespace

TrackerModule::TrackerModule(const std::vector<std::uint8_t>& bytes)
    : module_(std::make_unique<openmpt::module>(bytes, log_, SkipSubsongDurations)) {
    module_->set_repeat_count(-1);
}

TrackerModule::~TrackerModule() = default;

bool TrackerModule::restart() {
    try {
        module_->set_position_order_row(0, 0);
        return true;
    } catch (...) {
        return false;
    }
}

template <typename Sample>
void TrackerModule::render(int rate, Sample* out, std::size_t frames) {
    std::size_t done = 0;
    try {
        while (done < frames) {
            const std::size_t got = module_->read_interleaved_stereo(rate, frames - done, out + 2 * done);
            if (got == 0)
                break;
            done += got;
        }
    } catch (...) {
        // A renderer failure leaves the rest silent.
    }
    std::fill(out + 2 * done, out + 2 * frames, Sample(0));
}

// The desktop's mixer works in 16-bit samples, the browser's in floats.
template void TrackerModule::render<std::int16_t>(int, std::int16_t*, std::size_t);
template void TrackerModule::render<float>(int, float*, std::size_t);

MadeModule makeModule(const std::vector<std::uint8_t>& bytes) {
    MadeModule made;
    try {
        made.module = std::make_unique<TrackerModule>(bytes);
    } catch (const std::bad_alloc&) {
        made.error = SoundErrMemory;
    } catch (...) {
        made.error = SoundErrFileBad;
    }
    return made;
}

} // namespace vexlo::soundmodules
