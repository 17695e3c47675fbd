#include "sound/modules/module_file.h"

#include "sound/fsound.h"
#include "sound/files/sound_files.h"

#include <libopenmpt/libopenmpt.hpp>

namespace vexlo::soundmodules {

namespace {

using namespace soundfiles;

// Whether the module loader recognises the bytes as one of its formats.
bool isModule(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty())
        return false;
    try {
        return openmpt::probe_file_header(openmpt::probe_file_header_flags_default2, bytes.data(), bytes.size(),
                                          bytes.size()) == openmpt::probe_file_header_result_success;
    } catch (...) {
        return false;
    }
}

} // namespace

int readModuleFile(const std::string& path, std::vector<std::uint8_t>& bytes, bool* checked) {
    if (checked)
        *checked = false;
    if (const int error = readWholeFile(path, bytes))
        return error;
    // The loader plays whatever part of a damaged module it can read; a
    // module cut short is reported instead. XM, the game's format, is
    // checked in full; other formats only by their signature.
    const MemorySource source(bytes.data(), bytes.size());
    if (looksLikeXm(source))
        return checkXm(source, checked);
    return isModule(bytes) ? SoundOk : SoundErrFileFormat;
}

} // namespace vexlo::soundmodules
