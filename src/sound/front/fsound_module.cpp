// Tracker modules on the music line.
#include "sound/front/fsound_state.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/files/sound_files.h"

namespace back = vexlo::soundback;
using namespace vexlo::soundfront;

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name) {
    traceCall("FMUSIC_LoadSong");
    if (!requireInit() || !requireName(name))
        return nullptr;
    FMUSIC_MODULE* module = nullptr;
    if (!succeeded(back::loadModule(vexlo::soundfiles::normalisePath(name), module)))
        return nullptr;
    return keep(layer().modules, module, back::freeModule);
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_PlaySong");
    if (!requireInit() || !isLive(layer().modules, module) || !succeeded(back::moduleReady(module)))
        return -1;
    stopMusicLine();
    if (!succeeded(back::startModule(module)))
        return -1;
    layer().playingModule = module;
    return 1;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_StopSong");
    if (!requireInit() || !isLive(layer().modules, module))
        return 0;
    if (layer().playingModule == module)
        stopMusicLine();
    return 1;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module) {
    traceCall("FMUSIC_FreeSong");
    if (!requireInit() || !isLive(layer().modules, module))
        return 0;
    destroyModule(module);
    return 1;
}
