#include "xm.h"

#include <algorithm>
#include <stdexcept>

namespace assetgen::xm {
namespace {

class Writer {
public:
    void u8(int v) { out.push_back(static_cast<std::uint8_t>(v & 0xFF)); }
    void u16(int v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    }
    // Fixed-size text field, padded with blanks or zeros.
    void text(const std::string& s, std::size_t size, char pad = '\0') {
        for (std::size_t i = 0; i < size; ++i)
            out.push_back(static_cast<std::uint8_t>(i < s.size() ? s[i] : pad));
    }
    void zeros(std::size_t n) { out.insert(out.end(), n, 0); }

    std::vector<std::uint8_t> out;
};

// One row of one channel in the packed form: a flag byte saying which of
// the five fields follow, unless all five do.
void packCell(std::vector<std::uint8_t>& out, const Cell& c) {
    const std::uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
    std::uint8_t flags = 0x80;
    for (int i = 0; i < 5; ++i)
        if (fields[i])
            flags = static_cast<std::uint8_t>(flags | (1 << i));
    if (flags == 0x9F) {
        out.insert(out.end(), fields, fields + 5);
        return;
    }
    out.push_back(flags);
    for (int i = 0; i < 5; ++i)
        if (fields[i])
            out.push_back(fields[i]);
}

constexpr int InstrumentHeaderSize = 263;
constexpr int SampleHeaderSize = 40;

void writeInstrument(Writer& w, const Instrument& ins) {
    if (ins.envelope.size() > 12)
        throw std::invalid_argument("envelope with more than 12 points: " + ins.name);
    w.u32(InstrumentHeaderSize);
    w.text(ins.name, 22);
    w.u8(0);  // type
    w.u16(1); // one sample
    w.u32(SampleHeaderSize);
    w.zeros(96); // every note plays sample 0
    for (std::size_t i = 0; i < 12; ++i) {
        const auto p = i < ins.envelope.size() ? ins.envelope[i] : std::pair<int, int>{0, 0};
        w.u16(p.first);
        w.u16(p.second);
    }
    w.zeros(48); // no panning envelope
    w.u8(static_cast<int>(ins.envelope.size()));
    w.u8(0);
    w.u8(std::max(ins.sustainPoint, 0));
    w.u8(0); // volume loop start, end
    w.u8(0);
    w.u8(0); // panning sustain, loop start, end
    w.u8(0);
    w.u8(0);
    int volType = 0;
    if (!ins.envelope.empty())
        volType |= 1;
    if (ins.sustainPoint >= 0)
        volType |= 2;
    w.u8(volType);
    w.u8(0); // panning envelope off
    w.u8(ins.vibratoType);
    w.u8(ins.vibratoSweep);
    w.u8(ins.vibratoDepth);
    w.u8(ins.vibratoRate);
    w.u16(ins.fadeout);
    w.zeros(InstrumentHeaderSize - 241); // reserved

    const std::uint32_t bytes = static_cast<std::uint32_t>(ins.data.size() * 2);
    w.u32(bytes);
    w.u32(static_cast<std::uint32_t>(ins.loopStart * 2));
    w.u32(static_cast<std::uint32_t>(ins.loopLength * 2));
    w.u8(ins.volume);
    w.u8(ins.finetune);
    w.u8((ins.loopLength > 0 ? 1 : 0) | 0x10); // forward loop, 16-bit
    w.u8(ins.panning);
    w.u8(ins.relativeNote);
    w.u8(0);
    w.text(ins.name, 22);
    // Sample data is stored as differences between neighbours.
    std::int16_t previous = 0;
    for (std::int16_t s : ins.data) {
        w.u16(static_cast<std::uint16_t>(s - previous));
        previous = s;
    }
}

} // namespace

std::vector<std::uint8_t> write(const Module& m) {
    if (m.order.empty() || m.order.size() > 256 || m.channels < 1 || m.channels > 32)
        throw std::invalid_argument("module layout out of range");
    Writer w;
    w.text("Extended Module: ", 17);
    w.text(m.name, 20);
    w.u8(0x1A);
    w.text("assetgen", 20);
    w.u16(0x0104);
    w.u32(276); // header size from here on
    w.u16(static_cast<int>(m.order.size()));
    w.u16(m.restart);
    w.u16(m.channels);
    w.u16(static_cast<int>(m.patterns.size()));
    w.u16(static_cast<int>(m.instruments.size()));
    w.u16(1); // linear frequency table
    w.u16(m.speed);
    w.u16(m.tempo);
    for (std::size_t i = 0; i < 256; ++i)
        w.u8(i < m.order.size() ? m.order[i] : 0);

    for (const Pattern& p : m.patterns) {
        if (p.channels != m.channels)
            throw std::invalid_argument("pattern with the wrong channel count");
        std::vector<std::uint8_t> packed;
        for (const Cell& c : p.cells)
            packCell(packed, c);
        w.u32(9);
        w.u8(0);
        w.u16(p.rows);
        w.u16(static_cast<int>(packed.size()));
        w.out.insert(w.out.end(), packed.begin(), packed.end());
    }
    for (const Instrument& ins : m.instruments)
        writeInstrument(w, ins);
    return w.out;
}

} // namespace assetgen::xm
