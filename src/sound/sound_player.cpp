#include "sound/sound_player.h"

#include "ptc/ptc.h"
#include "sound/fsound.h"

#include <cstring>
#include <iterator>

namespace vexlo {

static_assert(sizeof(SoundPlayer::fileName) == MaxFileNameLength + 1);

namespace {

constexpr const char* ErrorTexts[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "Incorrect mixer selected",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
};

// Reports the library's current error; fetched at once, before any other
// library call can replace it.
void showLibraryError() { showError(soundErrorString(FSOUND_GetError())); }

} // namespace

const char* soundErrorString(int code) {
    const unsigned index = static_cast<unsigned>(code);
    return index < std::size(ErrorTexts) ? ErrorTexts[index] : "Unknown error";
}

void showError(const std::string& text) { ptc::messageBox("ERROR!", text); }

void SoundPlayer::open(const char* name, int kindValue) {
    const bool validKind =
        kindValue == SoundKind::Module || kindValue == SoundKind::MpegStream || kindValue == SoundKind::WavStream;
    if (!validKind)
        showError("internal error: not a valid sound type");
    kind = kindValue;

    // fileName keeps at most MaxFileNameLength characters and is always
    // terminated. A longer name is not cut to fit, since the cut name could
    // open some other file: no music is loaded and a box says why.
    const std::size_t length = name ? std::strlen(name) : 0;
    const bool nameFits = length <= MaxFileNameLength;
    std::memset(fileName, 0, sizeof fileName);
    if (name)
        std::memcpy(fileName, name, nameFits ? length : MaxFileNameLength);

    if (!FSOUND_Init(44100, 32, 0))
        showLibraryError();

    if (validKind && !nameFits) {
        showError(std::string(MusicNameTooLong) + fileName + "...");
    } else if (kind == SoundKind::Module) {
        song = FMUSIC_LoadSong(fileName);
        if (!song)
            showLibraryError();
    } else if (kind == SoundKind::MpegStream) {
        stream = FSOUND_Stream_OpenMpeg(fileName, 41);
        if (!stream)
            showLibraryError();
    } else if (kind == SoundKind::WavStream) {
        stream = FSOUND_Stream_OpenWav(fileName, 43);
        if (!stream)
            showLibraryError();
    }

    // A missing or broken effect is not worth a box: the crash is silent.
    explosionSample = FSOUND_Sample_LoadMpeg(-1, ExplosionFile, 8192);
}

int SoundPlayer::play() {
    if (kind == SoundKind::Module) {
        // Only an 8-bit result with all bits set means failure.
        const auto started = static_cast<unsigned char>(FMUSIC_PlaySong(song));
        return started == 0xFF ? 0 : 1;
    }
    if (kind == SoundKind::MpegStream || kind == SoundKind::WavStream) {
        return FSOUND_Stream_Play(SoundAnyChannel, stream) == -1 ? 0 : 1;
    }
    return 1;
}

int SoundPlayer::playExplosion() {
    FSOUND_PlaySound(SoundAnyChannel, explosionSample);
    return 0;
}

int SoundPlayer::stop() {
    // Streams have no stop of their own here: release() closes them, which
    // silences them too.
    if (kind == SoundKind::Module)
        FMUSIC_StopSong(song);
    return 1;
}

int SoundPlayer::release() {
    // The handle is forgotten once freed, so a second release (close()
    // after an explicit release()) hands the library nothing stale.
    if (kind == SoundKind::Module) {
        FMUSIC_FreeSong(song);
        song = nullptr;
    } else if (kind == SoundKind::MpegStream || kind == SoundKind::WavStream) {
        FSOUND_Stream_Close(stream);
        stream = nullptr;
    }
    return 1;
}

void SoundPlayer::close() {
    release();
    FSOUND_Close();
    explosionSample = nullptr; // freed by the library's shutdown
}

} // namespace vexlo
