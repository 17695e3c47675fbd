#include "window/progress_file.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>

namespace ptc::window {

namespace {

#ifdef _WIN32
// Windows has neither O_CLOEXEC nor pwrite: the same with its own.
constexpr int NotInherited = O_NOINHERIT | O_BINARY;
bool writeAtStart(int fd, const char* text, int length) {
    return _lseek(fd, 0, SEEK_SET) == 0 && _write(fd, text, static_cast<unsigned>(length)) == length;
}
#else
constexpr int NotInherited = O_CLOEXEC;
bool writeAtStart(int fd, const char* text, int length) {
    return pwrite(fd, text, static_cast<std::size_t>(length), 0) == length;
}
#endif

} // namespace

ProgressFile::ProgressFile() {
    const char* path = std::getenv("VEXLO_PROGRESS_FILE");
    if (path != nullptr && *path != '\0')
        fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | NotInherited, 0644);
}

ProgressFile::~ProgressFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void ProgressFile::note(long updates, long shown) {
    if (fd_ < 0)
        return;
    // Fixed width, so that each line covers the one before it whole.
    char line[48];
    const int length = std::snprintf(line, sizeof line, "%20ld %20ld\n", updates, shown);
    if (!writeAtStart(fd_, line, length)) {
        ::close(fd_); // a file that cannot be written is not written again
        fd_ = -1;
    }
}

} // namespace ptc::window
