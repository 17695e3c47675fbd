// A writer for extended tracker modules (the .xm format): 16-bit samples,
// one sample per instrument, volume envelopes and packed patterns.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace assetgen::xm {

constexpr std::uint8_t KeyOff = 97; // note value that releases a note

// Effect numbers used by the music.
enum Effect : std::uint8_t {
    Arpeggio = 0x0,
    PortaUp = 0x1,
    Vibrato = 0x4,
    SetPanning = 0x8,
    VolumeSlide = 0xA,
    PositionJump = 0xB,
    SetVolume = 0xC,
    PatternBreak = 0xD,
    Extended = 0xE,
    SetSpeed = 0xF,
    SetGlobalVolume = 0x10,
};

struct Cell {
    std::uint8_t note = 0;       // 1..96 (1 is C-0), KeyOff, or 0 for none
    std::uint8_t instrument = 0; // 1-based, 0 for none
    std::uint8_t volume = 0;     // volume column byte: 0x10..0x50 sets 0..64
    std::uint8_t effect = 0;
    std::uint8_t param = 0;
    bool empty() const { return !note && !instrument && !volume && !effect && !param; }
};

struct Pattern {
    Pattern(int rowCount, int channelCount)
        : rows(rowCount), channels(channelCount), cells(static_cast<std::size_t>(rowCount * channelCount)) {}
    Cell& at(int row, int channel) { return cells[static_cast<std::size_t>(row * channels + channel)]; }
    const Cell& at(int row, int channel) const {
        return cells[static_cast<std::size_t>(row * channels + channel)];
    }
    int rows;
    int channels;
    std::vector<Cell> cells;
};

struct Instrument {
    std::string name;
    std::vector<std::int16_t> data;
    int loopStart = 0;  // in samples
    int loopLength = 0; // 0: no loop
    int volume = 64;    // 0..64
    int finetune = 0;   // -128..127
    int panning = 128;  // 0..255
    int relativeNote = 0;
    // Volume envelope: (tick, level 0..64) points; empty for none.
    std::vector<std::pair<int, int>> envelope;
    int sustainPoint = -1; // index of the point held until key off, or -1
    int fadeout = 0;       // volume lost per tick after key off, of 65536
    // Automatic vibrato: type (0 sine), sweep, depth, rate.
    int vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
};

struct Module {
    std::string name;
    int channels = 8;
    int speed = 6;   // ticks per row
    int tempo = 125; // beats per minute
    int restart = 0;
    std::vector<int> order;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// Serialises the module in the format's version 1.04 layout.
std::vector<std::uint8_t> write(const Module& m);

} // namespace assetgen::xm
