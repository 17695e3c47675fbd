// Tracker modules on the desktop: made by libopenmpt and rendered on the
// music line through SDL_mixer's music hook, at the device's rate.
#include "sound/modules/module_file.h"
#include "sound/back_end/sdl/sdl_output.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/modules/tracker_module.h"

#include <SDL_mixer.h>

#include <cstdint>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

// A module whose file has passed its checks in full is made on a thread of
// its own while the game goes on starting (the window opens in the
// meantime); the first call that needs it waits for it. Declared last, so
// that an unfinished making is waited for before the rest goes.
struct FMUSIC_MODULE {
    std::unique_ptr<vexlo::soundmodules::TrackerModule> module;
    int unmade = SoundErrFileBad; // why making failed, once it has
    std::future<vexlo::soundmodules::MadeModule> making;
};

namespace {

using vexlo::soundback::output;

// Runs on SDL's audio thread. The hook is removed (under the audio lock)
// before a module is restarted or freed, so the module is never touched
// from both threads at once.
void renderModule(void* udata, Uint8* stream, int len) {
    const std::size_t frames = std::size_t(len) / (2 * sizeof(std::int16_t));
    // Paused, the module stands still; muted, it plays on unheard.
    if (!output().paused)
        static_cast<FMUSIC_MODULE*>(udata)->module->render(output().rate, reinterpret_cast<std::int16_t*>(stream),
                                                           frames);
    if (output().paused || output().muted)
        std::memset(stream, 0, std::size_t(len));
}

} // namespace

namespace vexlo::soundback {

int loadModule(const std::string& path, FMUSIC_MODULE*& module) {
    std::vector<std::uint8_t> bytes;
    bool checked = false;
    if (const int error = soundmodules::readModuleFile(path, bytes, &checked))
        return error;
    try {
        auto song = std::make_unique<FMUSIC_MODULE>();
        if (checked) {
            // A file checked in full leaves the loader nothing to refuse
            // (but memory), so it is made in the background.
            song->making = std::async(std::launch::async,
                                      [bytes = std::move(bytes)] { return soundmodules::makeModule(bytes); });
        } else {
            // On any other the loader's verdict is awaited here, where an
            // error gets its box.
            soundmodules::MadeModule made = soundmodules::makeModule(bytes);
            if (made.error)
                return made.error;
            song->module = std::move(made.module);
        }
        module = song.release();
        return SoundOk;
    } catch (const std::bad_alloc&) {
        return SoundErrMemory;
    } catch (const std::system_error&) { // no thread to make it on
        return SoundErrMemory;
    }
}

// A module that could not be made says why at every call, as a failed
// load would have.
int moduleReady(FMUSIC_MODULE* module) {
    if (module->making.valid()) {
        soundmodules::MadeModule made = module->making.get();
        module->module = std::move(made.module);
        module->unmade = made.error;
    }
    return module->module ? SoundOk : module->unmade;
}

int startModule(FMUSIC_MODULE* module) {
    if (!module->module->restart())
        return SoundErrPlay;
    Mix_HookMusic(renderModule, module);
    return SoundOk;
}

void stopModule(FMUSIC_MODULE* /*module*/) {
    Mix_HookMusic(nullptr, nullptr); // waits for the mixer to let go of the module
}

void freeModule(FMUSIC_MODULE* module) { delete module; }

} // namespace vexlo::soundback
