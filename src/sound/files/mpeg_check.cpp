// MPEG audio: an optional ID3v2 tag, then frame headers that follow each
// other.
#include "sound/files/file_bytes.h"
#include "sound/files/sound_files.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vexlo::soundfiles {

namespace {

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

} // namespace vexlo::soundfiles
