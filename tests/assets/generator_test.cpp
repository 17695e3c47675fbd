// The generator's building blocks: the integer sine, the drawing kit, the
// module writer, and the tune's notes.
#include "canvas.h"
#include "font.h"
#include "music.h"
#include "synth.h"
#include "xm.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <cstdlib>
#include <set>
#include <stdexcept>

namespace {

using namespace assetgen;

TEST(Synth, SineFollowsTheRealOne) {
    int worst = 0;
    for (std::uint32_t phase = 0; phase < 65536; phase += 7) {
        const double exact = 32767.0 * std::sin(phase * 2.0 * 3.14159265358979323846 / 65536.0);
        worst = std::max(worst, std::abs(sine16(phase) - static_cast<int>(std::lround(exact))));
    }
    EXPECT_LE(worst, 1);
    EXPECT_EQ(sine16(16384), 32767);
    EXPECT_EQ(sine16(49152), -32767);
}

TEST(Synth, GainAndDecayDoNotOverflow) {
    EXPECT_EQ(gain(60000, 65536), 60000);
    EXPECT_EQ(gain(-65536, 32768), -32768);
    Decay d(65536, 100);
    int previous = d.next();
    for (int i = 0; i < 1000; ++i) {
        const int now = d.next();
        ASSERT_LE(now, previous);
        previous = now;
    }
    EXPECT_LT(previous, 65536 / 100); // about e^-10 of the start
}

TEST(Canvas, ShapesStayInsideTheirBoxes) {
    Image img(20, 20);
    img.fillEllipse(3, 4, 12, 9, 0x123456);
    int minX = 99, maxX = -1, minY = 99, maxY = -1, count = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (img.get(x, y) != Key) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
                ++count;
            }
    EXPECT_EQ(minX, 3);
    EXPECT_EQ(maxX, 12);
    EXPECT_EQ(minY, 4);
    EXPECT_EQ(maxY, 9);

    // A polygon on pixel corners covers exactly the pixels inside.
    Image poly(20, 20);
    poly.fillPolygon({2, 3, 9, 3, 9, 7, 2, 7}, 0x654321);
    int inside = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            inside += poly.get(x, y) != Key;
    EXPECT_EQ(inside, 7 * 4);
    EXPECT_NE(poly.get(2, 3), Key);
    EXPECT_EQ(poly.get(9, 3), Key);
}

TEST(Canvas, OutlineWrapsTheShapeOnly) {
    Image img(7, 7);
    img.set(3, 3, 0x111111);
    Image four = img, eight = img;
    four.outline(0x222222);
    eight.outline8(0x222222);
    int fourCount = 0, eightCount = 0;
    for (std::size_t i = 0; i < four.pixels().size(); ++i) {
        fourCount += four.pixels()[i] == 0x222222;
        eightCount += eight.pixels()[i] == 0x222222;
    }
    EXPECT_EQ(fourCount, 4);
    EXPECT_EQ(eightCount, 8);
    EXPECT_EQ(eight.get(3, 3), 0x111111u);
}

TEST(Font, MeasuresAndRefusesUnknownCharacters) {
    const Image mask = textMask("by Tamsel 2001");
    EXPECT_EQ(mask.width(), textWidth("by Tamsel 2001"));
    EXPECT_EQ(mask.width(), 14 * 6 - 1);
    Image img(10, 10);
    EXPECT_THROW(drawText(img, 0, 0, "~", 0xFFFFFF), std::invalid_argument);
    EXPECT_THROW(logoMask("VEXLO Z", 1), std::invalid_argument);
    for (char c : std::string("VEXLO RACE GAME OVER"))
        EXPECT_TRUE(c == ' ' || hasLogoGlyph(c)) << c;
}

// A small module through the writer and back through the module player:
// the packed cells come back where they were put.
TEST(XmWriter, CellsSurviveTheRoundTrip) {
    xm::Module m;
    m.name = "round trip";
    m.channels = 3;
    m.order = {0, 0};
    m.patterns.emplace_back(4, 3);
    xm::Cell& full = m.patterns[0].at(1, 2);
    full = {49, 1, 0x30, xm::PositionJump, 0x01};
    m.patterns[0].at(2, 0).note = xm::KeyOff;
    m.patterns[0].at(3, 1) = {58, 1, 0, 0, 0};
    xm::Instrument ins;
    ins.name = "blip";
    for (int i = 0; i < 64; ++i)
        ins.data.push_back(static_cast<std::int16_t>(i % 16 < 8 ? 12000 : -12000));
    ins.loopLength = 64;
    ins.envelope = {{0, 64}, {10, 0}};
    m.instruments.push_back(ins);

    const std::vector<std::uint8_t> bytes = xm::write(m);
    openmpt::module mod(bytes);
    EXPECT_EQ(mod.get_num_channels(), 3);
    EXPECT_EQ(mod.get_num_orders(), 2);
    ASSERT_EQ(mod.get_num_instruments(), 1);
    EXPECT_EQ(mod.get_instrument_names()[0], "blip");
    auto cell = [&](int row, int ch, int what) {
        return mod.format_pattern_row_channel_command(0, row, ch, what);
    };
    // The player names notes one octave above the format's own count, in
    // which note 49 is C-4.
    EXPECT_EQ(cell(1, 2, openmpt::module::command_note), "C-5");
    EXPECT_EQ(cell(1, 2, openmpt::module::command_instrument), "01");
    EXPECT_EQ(cell(1, 2, openmpt::module::command_effect), "B");
    EXPECT_EQ(cell(1, 2, openmpt::module::command_parameter), "01");
    EXPECT_EQ(cell(2, 0, openmpt::module::command_note), "===");
    EXPECT_EQ(cell(3, 1, openmpt::module::command_note), "A-5");
    EXPECT_EQ(cell(0, 0, openmpt::module::command_note), "...");
}

// The tune stays in A minor (with the raised seventh, G#, over E major),
// and the lead stays within the range its samples were made for.
TEST(Music, NotesStayInKeyAndRange) {
    const xm::Module m = composeMusic();
    const std::set<int> scale = {9, 11, 0, 2, 4, 5, 7, 8}; // A B C D E F G G#
    int notes = 0;
    for (const xm::Pattern& p : m.patterns) {
        EXPECT_EQ(p.rows, 64);
        for (int row = 0; row < p.rows; ++row)
            for (int ch = 0; ch < p.channels; ++ch) {
                const xm::Cell& c = p.at(row, ch);
                if (c.note == 0 || c.note == xm::KeyOff)
                    continue;
                ASSERT_GE(c.instrument, 1);
                ASSERT_LE(c.instrument, static_cast<int>(m.instruments.size()));
                if (m.instruments[c.instrument - 1].loopLength == 0)
                    continue; // drums
                ++notes;
                EXPECT_TRUE(scale.count((c.note - 1) % 12)) << "note " << int(c.note) << " row " << row;
                if (c.instrument == 1) {
                    EXPECT_GE(c.note, 1 + 12 * 4) << "lead below C-4";
                    EXPECT_LE(c.note, 1 + 12 * 6) << "lead above C-6";
                }
            }
    }
    EXPECT_GT(notes, 500);
    for (int o : m.order)
        EXPECT_LT(o, static_cast<int>(m.patterns.size()));
}

} // namespace
