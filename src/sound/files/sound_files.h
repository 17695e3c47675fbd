// Reading sound files and telling, before a decoder sees them, whether a
// file is of the expected format at all (error 10) and whether it holds
// everything its own headers announce (error 11 when it is cut short).
// The decoders are lenient with damaged files; the game wants a clear
// report instead of music that stops halfway or plays garbage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vexlo::soundfiles {

// Random access to the bytes of a file or of a block of memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Copies up to n bytes from offset; returns how many were copied.
    virtual std::size_t read(std::uint64_t offset, void* out, std::size_t n) const = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    std::size_t read(std::uint64_t offset, void* out, std::size_t n) const override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

class FileSource : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    // 0, or the error code: 9 when there is no such file (or it is a
    // folder), 11 when it exists but cannot be read.
    int open(const std::string& path);
    std::uint64_t size() const override { return size_; }
    std::size_t read(std::uint64_t offset, void* out, std::size_t n) const override;

private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
};

// The name with every '\' turned into '/', so that "data\song.xm" opens
// data/song.xm.
std::string normalisePath(const char* name);

// Reads a whole file. 0, or the error code: 9 missing, 11 unreadable,
// 12 too big for memory.
int readWholeFile(const std::string& path, std::vector<std::uint8_t>& out);

// A check of the bytes of one format (below).
using FormatCheck = int (*)(const ByteSource&);
// Reads a whole file for a decoder and checks it: 0, or the error code of
// readWholeFile or of the check, or 12 when it is too big for the decoders
// (over INT_MAX bytes).
int readCheckedFile(const std::string& path, FormatCheck check, std::vector<std::uint8_t>& out);
// Checks a file where it lies, for a decoder that reads it from disk: 0,
// or the error code of FileSource::open or of the check.
int checkFile(const std::string& path, FormatCheck check);

// Each check answers 0 when the bytes are of the format and complete,
// 10 when they are not of the format, 11 when they are of the format but
// cut short or inconsistent.

// MPEG audio (layers I to III, MPEG 1, 2 and 2.5), with or without a
// leading ID3v2 tag: after the tag, a frame header must follow within a
// few kilobytes, confirmed by the next frame header unless the file ends
// right after the first frame. A file cut within its tag or its first
// frame is error 11; one cut later plays up to the cut.
int checkMpeg(const ByteSource& src);

// RIFF WAVE: a "fmt " chunk and a "data" chunk, and no chunk running past
// the end of the file.
int checkWav(const ByteSource& src);

// Whether the bytes start like an Extended Module (XM).
bool looksLikeXm(const ByteSource& src);
// For an XM of version 1.04: every pattern, instrument and sample the
// header announces is inside the file. Structures the walk does not know
// (older versions, compressed samples) are left to the module loader;
// *whole, if given, says whether none was.
int checkXm(const ByteSource& src, bool* whole = nullptr);

} // namespace vexlo::soundfiles
