// Streams: MPEG or WAV music played once through on the music line.
#include "sound/front/fsound_state.h"
#include "sound/back_end/sound_back_end.h"
#include "sound/files/sound_files.h"

namespace back = vexlo::soundback;
using namespace vexlo::soundfront;

namespace {

FSOUND_STREAM* openStream(const char* name, back::StreamFormat format) {
    if (!requireInit() || !requireName(name))
        return nullptr;
    FSOUND_STREAM* stream = nullptr;
    if (!succeeded(back::openStream(vexlo::soundfiles::normalisePath(name), format, stream)))
        return nullptr;
    return keep(layer().streams, stream, back::freeStream);
}

} // namespace

FSOUND_STREAM* FSOUND_Stream_OpenMpeg(const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Stream_OpenMpeg");
    return openStream(name, back::StreamFormat::Mpeg);
}

FSOUND_STREAM* FSOUND_Stream_OpenWav(const char* name, unsigned int /*mode*/) {
    traceCall("FSOUND_Stream_OpenWav");
    return openStream(name, back::StreamFormat::Wav);
}

int FSOUND_Stream_Play(int /*channel*/, FSOUND_STREAM* stream) {
    traceCall("FSOUND_Stream_Play");
    if (!requireInit() || !isLive(layer().streams, stream))
        return -1;
    stopMusicLine();
    if (!succeeded(back::startStream(stream)))
        return -1;
    layer().playingStream = stream;
    return layer().sampleChannels;
}

signed char FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    traceCall("FSOUND_Stream_Close");
    if (!requireInit() || !isLive(layer().streams, stream))
        return 0;
    destroyStream(stream);
    return 1;
}
