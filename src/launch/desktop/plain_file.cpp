#include "launch/desktop/plain_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vexlo {

namespace {

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "is a folder";
    if (S_ISFIFO(mode))
        return "is a named pipe";
    return "is not a plain file";
}

// Reads what fd holds, up to one byte past the limit.
std::string readUpTo(int fd, std::size_t limit, int& error) {
    std::string text;
    std::vector<char> buffer(64 * 1024);
    ssize_t got = 0;
    while (text.size() <= limit &&
           (got = ::read(fd, buffer.data(), std::min(buffer.size(), limit + 1 - text.size()))) > 0)
        text.append(buffer.data(), static_cast<std::size_t>(got));
    error = got < 0 ? errno : 0;
    return text;
}

} // namespace

SmallFile readSmallFile(const std::filesystem::path& file, std::size_t limit, bool followLink) {
    SmallFile result;
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(file.c_str(), flags);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            result.missing = true;
        else if (errno == ELOOP && !followLink)
            result.problem = "is a link";
        else
            result.problem = std::string("cannot be read: ") + std::strerror(errno);
        return result;
    }
    struct stat status {};
    const std::string tooLarge = "is larger than " + std::to_string(limit) + " bytes";
    if (fstat(fd, &status) != 0) {
        result.problem = std::string("cannot be read: ") + std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        result.problem = kindOf(status.st_mode);
    } else if (static_cast<std::size_t>(status.st_size) > limit) {
        result.problem = tooLarge;
    } else {
        int error = 0;
        result.text = readUpTo(fd, limit, error);
        if (error != 0)
            result.problem = std::string("cannot be read: ") + std::strerror(error);
        else if (result.text.size() > limit)
            result.problem = tooLarge;
    }
    ::close(fd);
    if (!result.problem.empty())
        result.text.clear();
    return result;
}

namespace {

// Written whole into a temporary file beside it, flushed to the disk, then
// renamed over the file, or, when !replace, linked to its name, which
// fails with `exists` set if a file is there.
std::string writeThroughTemporary(const std::filesystem::path& file, std::string_view text, bool replace,
                                  bool& exists) {
    const std::filesystem::path folder = file.parent_path();
    // A dot first: a temporary is nobody's file, and listings pass it by.
    std::string name(1, '.');
    name.append(file.filename().string()).append(".XXXXXX");
    std::string temporary = (folder / name).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return "cannot write in " + folder.string() + ": " + std::strerror(errno);
    std::size_t written = 0;
    ssize_t n = 0;
    while (written < text.size() && (n = ::write(fd, text.data() + written, text.size() - written)) > 0)
        written += static_cast<std::size_t>(n);
    int failure = written == text.size() ? 0 : (n < 0 ? errno : EIO);
    if (failure == 0 && fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && replace && std::rename(temporary.c_str(), file.c_str()) != 0)
        failure = errno;
    if (failure == 0 && !replace && ::link(temporary.c_str(), file.c_str()) != 0)
        failure = errno;
    if (failure == 0 && !replace)
        ::unlink(temporary.c_str());
    if (failure == 0)
        return {};
    ::unlink(temporary.c_str());
    exists = failure == EEXIST;
    return "cannot write " + file.string() + ": " + std::strerror(failure);
}

} // namespace

std::string writeWholeFile(const std::filesystem::path& file, std::string_view text) {
    bool exists = false;
    return writeThroughTemporary(file, text, true, exists);
}

bool writeNewFile(const std::filesystem::path& file, std::string_view text, bool& exists, std::string& problem) {
    exists = false;
    problem = writeThroughTemporary(file, text, false, exists);
    return problem.empty();
}

bool createNewFile(const std::filesystem::path& file, bool& exists, std::string& problem) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0 && !exists)
        problem = "cannot create " + file.string() + ": " + std::strerror(errno);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

std::FILE* openForWriting(const std::string& file) { return std::fopen(file.c_str(), "we"); }

} // namespace vexlo
