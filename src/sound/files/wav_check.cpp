// RIFF WAVE: its chunks, and none past the end of the file.
#include "sound/files/file_bytes.h"
#include "sound/files/sound_files.h"

#include <cstring>

namespace vexlo::soundfiles {

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

} // namespace vexlo::soundfiles
