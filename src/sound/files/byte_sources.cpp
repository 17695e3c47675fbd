// Files and blocks of memory as byte sources, and whole files read for a
// decoder with their format checked first.
#include "sound/files/file_bytes.h"
#include "sound/files/sound_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace vexlo::soundfiles {

std::size_t MemorySource::read(std::uint64_t offset, void* out, std::size_t n) const {
    if (offset >= size_)
        return 0;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
    std::memcpy(out, data_ + offset, count);
    return count;
}

FileSource::~FileSource() {
    if (file_)
        std::fclose(file_);
}

int FileSource::open(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == EACCES ? Damaged : NotFound;
    }
    if (S_ISDIR(info.st_mode))
        return NotFound;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        return Damaged;
    size_ = info.st_size > 0 ? std::uint64_t(info.st_size) : 0;
    return Ok;
}

std::size_t FileSource::read(std::uint64_t offset, void* out, std::size_t n) const {
    if (!file_ || offset >= size_)
        return 0;
    if (fseeko(file_, off_t(offset), SEEK_SET) != 0)
        return 0;
    return std::fread(out, 1, n, file_);
}

std::string normalisePath(const char* name) {
    std::string path = name ? name : "";
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

int readWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
    FileSource file;
    if (const int error = file.open(path))
        return error;
    if (file.size() > out.max_size())
        return NoMemory;
    try {
        out.resize(std::size_t(file.size()));
    } catch (const std::bad_alloc&) {
        return NoMemory;
    }
    return file.read(0, out.data(), out.size()) == out.size() ? Ok : Damaged;
}

int readCheckedFile(const std::string& path, FormatCheck check, std::vector<std::uint8_t>& out) {
    if (const int error = readWholeFile(path, out))
        return error;
    if (out.size() > std::size_t(INT_MAX))
        return NoMemory;
    return check(MemorySource(out.data(), out.size()));
}

int checkFile(const std::string& path, FormatCheck check) {
    FileSource file;
    const int error = file.open(path);
    return error ? error : check(file);
}

} // namespace vexlo::soundfiles
