#include "sound/sound_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

namespace vexlo::soundfiles {

namespace {

constexpr int Ok = 0;
constexpr int NotFound = 9;
constexpr int WrongFormat = 10;
constexpr int Damaged = 11;
constexpr int NoMemory = 12;

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

// Reads exactly n bytes at offset, false when the source ends before.
bool readExact(const ByteSource& src, std::uint64_t offset, void* out, std::size_t n) {
    return offset <= src.size() && src.size() - offset >= n && src.read(offset, out, n) == n;
}

// --- MPEG audio frame headers ---------------------------------------------

struct MpegFrame {
    bool valid = false;
    std::uint32_t length = 0; // bytes including the header; 0 for free bitrate
    int version = 0;          // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;            // 3 layer I, 2 layer II, 1 layer III (as coded)
    int rateIndex = 0;
};

// Kilobits per second by [MPEG-1 ? 0 : 1][layer I, II, III][bitrate index].
constexpr int BitrateTable[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
constexpr int MpegOneRates[3] = {44100, 48000, 32000};

MpegFrame parseFrameHeader(const std::uint8_t* h) {
    MpegFrame f;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return f;
    f.version = (h[1] >> 3) & 3;
    f.layer = (h[1] >> 1) & 3;
    const int bitrateIndex = h[2] >> 4;
    f.rateIndex = (h[2] >> 2) & 3;
    if (f.version == 1 || f.layer == 0 || bitrateIndex == 15 || f.rateIndex == 3)
        return f;
    f.valid = true;
    if (bitrateIndex == 0)
        return f; // free bitrate: length unknown

    const bool mpegOne = f.version == 3;
    const int layerRow = 3 - f.layer; // 0 layer I, 1 layer II, 2 layer III
    const long bitrate = BitrateTable[mpegOne ? 0 : 1][layerRow][bitrateIndex] * 1000L;
    long rate = MpegOneRates[f.rateIndex];
    if (f.version == 2)
        rate /= 2;
    if (f.version == 0)
        rate /= 4;
    const long padding = (h[2] >> 1) & 1;
    if (layerRow == 0) {
        f.length = std::uint32_t((12 * bitrate / rate + padding) * 4);
    } else if (layerRow == 2 && !mpegOne) {
        f.length = std::uint32_t(72 * bitrate / rate + padding);
    } else {
        f.length = std::uint32_t(144 * bitrate / rate + padding);
    }
    return f;
}

bool sameStream(const MpegFrame& a, const MpegFrame& b) {
    return b.valid && a.version == b.version && a.layer == b.layer && a.rateIndex == b.rateIndex;
}

// Whether the frame at start is followed by ConfirmFrames more of the same
// stream, each where the one before ends, or by the end of the file. Bytes
// of other data seldom look like even two frames in a row.
constexpr int ConfirmFrames = 2;
bool framesFollow(const ByteSource& src, std::uint64_t start, const MpegFrame& first) {
    std::uint64_t next = start + first.length;
    MpegFrame frame = first;
    for (int n = 0; n < ConfirmFrames; ++n) {
        if (src.size() - next < 4)
            return true; // the file ends (a few stray bytes at most)
        std::uint8_t header[4];
        if (!readExact(src, next, header, sizeof header))
            return false;
        frame = parseFrameHeader(header);
        if (!sameStream(first, frame) || frame.length == 0)
            return false;
        next += frame.length;
        if (next > src.size())
            return true; // cut after the first frame: plays up to the cut
    }
    return true;
}

// How far past the tag the first frame may start (some encoders leave junk).
constexpr std::size_t MpegSyncWindow = 16 * 1024;

} // namespace

// --- sources ----------------------------------------------------------------

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

// --- format checks ------------------------------------------------------------

int checkMpeg(const ByteSource& src) {
    const std::uint64_t size = src.size();
    std::uint64_t audioStart = 0;
    bool tagged = false;

    std::uint8_t tag[10];
    if (size >= 3 && src.read(0, tag, 3) == 3 && std::memcmp(tag, "ID3", 3) == 0) {
        tagged = true;
        if (!readExact(src, 0, tag, sizeof tag))
            return Damaged;
        std::uint64_t tagSize = 0;
        for (int i = 6; i < 10; ++i) {
            if (tag[i] & 0x80)
                return Damaged; // sizes are stored seven bits a byte
            tagSize = tagSize << 7 | tag[i];
        }
        const bool footer = tag[5] & 0x10;
        audioStart = 10 + tagSize + (footer ? 10 : 0);
        if (audioStart >= size)
            return Damaged; // cut within the tag, or no audio after it
    }

    // A RIFF file is a WAV (even one holding MPEG data): not for this reader.
    std::uint8_t magic[4];
    if (!tagged && readExact(src, 0, magic, 4) && std::memcmp(magic, "RIFF", 4) == 0)
        return WrongFormat;

    std::vector<std::uint8_t> window(std::size_t(std::min<std::uint64_t>(size - audioStart, MpegSyncWindow + 4)));
    const std::size_t got = src.read(audioStart, window.data(), window.size());
    for (std::size_t i = 0; i + 4 <= got; ++i) {
        const MpegFrame first = parseFrameHeader(&window[i]);
        if (!first.valid)
            continue;
        if (first.length == 0) {
            // Free bitrate: frame lengths are not in the headers, so only a
            // stream that starts right away is taken (the decoder checks it).
            if (i == 0)
                return Ok;
            continue;
        }
        const std::uint64_t start = audioStart + i;
        if (start + first.length > size) {
            // A frame at the very start that does not fit is a file cut short;
            // anywhere else it is more likely a stray byte in leading junk.
            if (i == 0)
                return Damaged;
            continue;
        }
        if (framesFollow(src, start, first))
            return Ok;
    }
    return tagged ? Damaged : WrongFormat;
}

int checkWav(const ByteSource& src) {
    const std::uint64_t size = src.size();
    std::uint8_t head[12];
    if (size < 4 || src.read(0, head, 4) != 4 || std::memcmp(head, "RIFF", 4) != 0)
        return WrongFormat;
    if (!readExact(src, 0, head, sizeof head))
        return Damaged;
    if (std::memcmp(head + 8, "WAVE", 4) != 0)
        return WrongFormat;

    bool haveFormat = false, haveData = false;
    std::uint64_t pos = 12;
    std::uint8_t chunk[8];
    while (readExact(src, pos, chunk, sizeof chunk)) {
        const std::uint32_t length = le32(chunk + 4);
        const std::uint64_t end = pos + 8 + length;
        if (end > size)
            return Damaged; // a chunk announces more than the file holds
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 16)
                return Damaged;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            haveData = true;
        }
        pos = end + (length & 1); // chunks are padded to an even length
    }
    return haveFormat && haveData ? Ok : Damaged;
}

bool looksLikeXm(const ByteSource& src) {
    char id[17];
    return readExact(src, 0, id, sizeof id) && std::memcmp(id, "Extended Module: ", sizeof id) == 0;
}

int checkXm(const ByteSource& src, bool* whole) {
    if (whole)
        *whole = false;
    // Fixed part: id text, name, 0x1A, tracker name, version; then the
    // header proper, whose size counts from its own size field at 60.
    constexpr std::uint64_t HeaderStart = 60;
    std::uint8_t fixed[HeaderStart + 20];
    if (!readExact(src, 0, fixed, sizeof fixed))
        return Damaged;
    if (le16(fixed + 58) != 0x0104)
        return Ok; // older layouts: left to the loader

    const std::uint32_t headerSize = le32(fixed + 60);
    const unsigned patterns = le16(fixed + 70);
    const unsigned instruments = le16(fixed + 72);
    if (headerSize < 20)
        return Damaged;
    if (patterns > 256 || instruments > 128)
        return Ok; // out of range: the loader says no

    const std::uint64_t size = src.size();
    std::uint64_t pos = HeaderStart + headerSize;
    if (pos > size)
        return Damaged;

    for (unsigned p = 0; p < patterns; ++p) {
        std::uint8_t head[9];
        if (!readExact(src, pos, head, sizeof head))
            return Damaged;
        pos += le32(head) + le16(head + 7); // header length, then packed pattern data
        if (pos > size)
            return Damaged;
    }

    for (unsigned i = 0; i < instruments; ++i) {
        std::uint8_t head[33];
        if (!readExact(src, pos, head, 29))
            return Damaged;
        const std::uint32_t instrumentSize = le32(head);
        const unsigned samples = le16(head + 27);
        if (instrumentSize < 29)
            return Ok; // unusual writer: left to the loader
        if (samples == 0) {
            pos += instrumentSize;
            if (pos > size)
                return Damaged;
            continue;
        }
        if (!readExact(src, pos, head, 33))
            return Damaged;
        const std::uint32_t sampleHeaderSize = le32(head + 29);
        if (instrumentSize < 33 || sampleHeaderSize < 18)
            return Ok;
        pos += instrumentSize;
        std::uint64_t sampleBytes = 0;
        for (unsigned s = 0; s < samples; ++s) {
            std::uint8_t sample[18];
            if (!readExact(src, pos, sample, sizeof sample))
                return Damaged;
            if (sample[17] == 0xAD)
                return Ok;               // packed sample data: size not known here
            sampleBytes += le32(sample); // length in bytes, whatever the bit depth
            pos += sampleHeaderSize;
            if (pos > size)
                return Damaged;
        }
        pos += sampleBytes;
        if (pos > size)
            return Damaged;
    }
    if (whole)
        *whole = true;
    return Ok;
}

} // namespace vexlo::soundfiles
