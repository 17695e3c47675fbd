// Tracker modules: loaded whole by libopenmpt and rendered on the music
// line through SDL_mixer's music hook, at the device rate, with the
// renderer's default settings, repeating forever.
#include "sound/fsound_state.h"
#include "sound/module_file.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <vector>

using namespace vexlo::soundlayer;
namespace files = vexlo::soundfiles;

namespace {

// Runs on SDL's audio thread. The hook is removed (under the audio lock)
// before a module is restarted or freed, so the module is never touched
// from both threads at once.
void renderModule(void* udata, Uint8* stream, int len) {
    auto* song = static_cast<FMUSIC_MODULE*>(udata);
    auto* out = reinterpret_cast<std::int16_t*>(stream);
    constexpr std::size_t FrameBytes = 2 * sizeof(std::int16_t);
    const std::size_t frames = std::size_t(len) / FrameBytes;
    std::size_t done = 0;
    // Paused, the module stands still; muted, it plays on unheard.
    if (layer().paused) {
        std::memset(stream, 0, std::size_t(len));
        return;
    }
    try {
        while (done < frames) {
            const std::size_t got =
                song->module->read_interleaved_stereo(song->rate, frames - done, out + 2 * done);
            if (got == 0) break;
            done += got;
        }
    } catch (...) {
        // A renderer failure leaves the rest of the buffer silent.
    }
    if (layer().muted)
        done = 0;
    std::memset(stream + done * FrameBytes, 0, std::size_t(len) - done * FrameBytes);
}

bool isLive(FMUSIC_MODULE* module) {
    if (layer().modules.count(module)) return true;
    fail(SoundErrInvalidParam);
    return false;
}

// Waits for the module's making, if it is still on its way. A module that
// could not be made says why at every call, as a failed load would have.
bool isMade(FMUSIC_MODULE* module) {
    if (module->making.valid()) {
        try {
            module->module = module->making.get();
        } catch (const std::bad_alloc&) {
            module->unmade = SoundErrMemory;
        } catch (...) {
            module->unmade = SoundErrFileBad;
        }
    }
    if (!module->module) fail(module->unmade);
    return module->module != nullptr;
}

} // namespace

namespace vexlo::soundlayer {

void destroyModule(FMUSIC_MODULE* module) {
    if (layer().playingModule == module) stopMusicLine();
    layer().modules.erase(module);
    delete module;
}

} // namespace vexlo::soundlayer

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name) {
    traceCall("FMUSIC_LoadSong");
    if (!requireInit()) return nullptr;
    if (!name) {
        fail(SoundErrInvalidParam);
        return nullptr;
    }
    std::vector<std::uint8_t> bytes;
    bool checked = false;
    if (const int error = files::readModuleFile(name, bytes, &checked)) {
        fail(error);
        return nullptr;
    }

    FMUSIC_MODULE* song = nullptr;
    try {
        song = new FMUSIC_MODULE;
        // A file checked in full leaves the loader nothing to refuse (but
        // memory), so libopenmpt makes it on a thread of its own; on any
        // other its verdict is awaited here, where an error gets its box.
        song->making = std::async(checked ? std::launch::async : std::launch::deferred,
                                  [bytes = std::move(bytes), log = &song->log] {
                                      auto made = std::make_unique<openmpt::module>(bytes, *log);
                                      made->set_repeat_count(-1);
                                      return made;
                                  });
        if (!checked)
            song->module = song->making.get();
        layer().modules.insert(song);
        return song;
    } catch (const std::bad_alloc&) {
        fail(SoundErrMemory);
    } catch (const std::system_error&) {  // no thread to make it on
        fail(SoundErrMemory);
    } catch (...) {
        fail(SoundErrFileBad);
    }
    delete song;
    return nullptr;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_PlaySong");
    if (!requireInit() || !isLive(module) || !isMade(module)) return -1;
    stopMusicLine();
    try {
        module->module->set_position_order_row(0, 0);
    } catch (...) {
        fail(SoundErrPlay);
        return -1;
    }
    module->rate = layer().deviceRate;
    Mix_HookMusic(renderModule, module);
    layer().playingModule = module;
    return 1;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_StopSong");
    if (!requireInit() || !isLive(module)) return 0;
    if (layer().playingModule == module) stopMusicLine();
    return 1;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_FreeSong");
    if (!requireInit() || !isLive(module)) return 0;
    destroyModule(module);
    return 1;
}
