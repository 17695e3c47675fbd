#include "launch/desktop/recording.h"

#include "launch/desktop/plain_file.h"

#include <cerrno>
#include <cstring>

namespace vexlo {

const char* const Recording::Intro =
    "# A game of Vexlo Race: UPDATE KEYCODE [shift] [alt] [ctrl], the key arriving\n"
    "# right after that update. Watch it with: vexlo-race --watch FILE\n";

std::unique_ptr<Recording> Recording::create(const std::string& path, std::string& error,
                                             const std::string& moreHeader) {
    std::FILE* file = openForWriting(path);
    if (file == nullptr) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<Recording> recording(new Recording(file, path));
    if (!recording->put(Intro + moreHeader)) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return recording;
}

Recording::~Recording() { std::fclose(file_); }

void Recording::write(const replay::ScriptedKey& key) {
    if (!failed_ && !put(replay::keyScriptLine(key) + "\n")) {
        failed_ = true;
        std::fprintf(stderr, "vexlo-race: cannot write %s (%s); the rest of the game is not recorded\n",
                     path_.c_str(), std::strerror(errno));
    }
}

bool Recording::put(const std::string& text) {
    return std::fputs(text.c_str(), file_) >= 0 && std::fflush(file_) == 0;
}

} // namespace vexlo
