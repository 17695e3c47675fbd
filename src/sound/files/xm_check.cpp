// Extended Modules: every pattern, instrument and sample the header
// announces, inside the file.
#include "sound/files/file_bytes.h"
#include "sound/files/sound_files.h"

#include <cstring>

namespace vexlo::soundfiles {

bool looksLikeXm(const ByteSource& src) {
    char id[17];
    return readExact(src, 0, id, sizeof id) && std::memcmp(id, "Extended Module: ", sizeof id) == 0;
}

namespace {

// Where a walk over the module's structures stands: everything so far is
// inside the file, something runs past its end, or a structure the walk
// does not know (left to the loader).
enum class Walk { Inside, Cut, Unknown };

// Steps pos over a pattern: its header, then its packed data.
Walk skipPattern(const ByteSource& src, std::uint64_t& pos) {
    std::uint8_t head[9];
    if (!readExact(src, pos, head, sizeof head))
        return Walk::Cut;
    pos += le32(head) + le16(head + 7); // header length, then packed pattern data
    return pos > src.size() ? Walk::Cut : Walk::Inside;
}

// Steps pos over an instrument: its header, its samples' headers, then
// their data.
Walk skipInstrument(const ByteSource& src, std::uint64_t& pos) {
    const std::uint64_t size = src.size();
    std::uint8_t head[33];
    if (!readExact(src, pos, head, 29))
        return Walk::Cut;
    const std::uint32_t instrumentSize = le32(head);
    const unsigned samples = le16(head + 27);
    if (instrumentSize < 29)
        return Walk::Unknown; // unusual writer
    if (samples == 0) {
        pos += instrumentSize;
        return pos > size ? Walk::Cut : Walk::Inside;
    }
    if (!readExact(src, pos, head, 33))
        return Walk::Cut;
    const std::uint32_t sampleHeaderSize = le32(head + 29);
    if (instrumentSize < 33 || sampleHeaderSize < 18)
        return Walk::Unknown;
    pos += instrumentSize;
    std::uint64_t sampleBytes = 0;
    for (unsigned s = 0; s < samples; ++s) {
        std::uint8_t sample[18];
        if (!readExact(src, pos, sample, sizeof sample))
            return Walk::Cut;
        if (sample[17] == 0xAD)
            return Walk::Unknown;    // packed sample data: size not known here
        sampleBytes += le32(sample); // length in bytes, whatever the bit depth
        pos += sampleHeaderSize;
        if (pos > size)
            return Walk::Cut;
    }
    pos += sampleBytes;
    return pos > size ? Walk::Cut : Walk::Inside;
}

} // namespace

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

    std::uint64_t pos = HeaderStart + headerSize;
    if (pos > src.size())
        return Damaged;
    Walk walk = Walk::Inside;
    for (unsigned p = 0; p < patterns && walk == Walk::Inside; ++p)
        walk = skipPattern(src, pos);
    for (unsigned i = 0; i < instruments && walk == Walk::Inside; ++i)
        walk = skipInstrument(src, pos);
    if (walk == Walk::Cut)
        return Damaged;
    if (whole)
        *whole = walk == Walk::Inside;
    return Ok;
}

} // namespace vexlo::soundfiles
