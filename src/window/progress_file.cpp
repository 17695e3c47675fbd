#include "window/progress_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace ptc::window {

ProgressFile::ProgressFile() {
    const char* path = std::getenv("VEXLO_PROGRESS_FILE");
    if (path != nullptr && *path != '\0')
        fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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
    if (pwrite(fd_, line, static_cast<std::size_t>(length), 0) != length) {
        ::close(fd_); // a file that cannot be written is not written again
        fd_ = -1;
    }
}

} // namespace ptc::window
