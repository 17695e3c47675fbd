#include "music.h"

#include "canvas.h"
#include "synth.h"

#include <algorithm>
#include <array>
#include <sstream>
#include <stdexcept>
#include <string>

namespace assetgen {
namespace {

// Every sample is made at this rate and tuned up two octaves, so that the
// note C-4 plays it back at exactly this rate.
constexpr int Rate = 33452;
constexpr int RelativeNote = 24;
// One cycle of a pitched sample is 128 samples long: C-4 at 261 Hz.
constexpr int Cycle = 128;

// ------------------------------------------------------------ instruments --

// A waveform as a sum of harmonics over `length` samples holding `cycles`
// whole cycles, so that it loops without a click. amp(k) gives the level of
// harmonic k in 1/32768; the series is tapered to keep the top smooth.
template <class Amp>
std::vector<int> additive(int length, int cycles, int harmonics, Amp amp) {
    std::vector<int> out(static_cast<std::size_t>(length));
    for (int n = 0; n < length; ++n) {
        std::int64_t sum = 0;
        for (int k = 1; k <= harmonics; ++k) {
            const std::int64_t taper = harmonics + 1 - k;
            const auto phase =
                static_cast<std::uint32_t>(static_cast<std::int64_t>(k) * cycles * n * 65536 / length);
            sum += amp(k) * taper * sine16(phase) / (harmonics + 1);
        }
        out[static_cast<std::size_t>(n)] = static_cast<int>(sum / 32768);
    }
    return out;
}

xm::Instrument pitched(const char* name, std::vector<int> wave, int peak) {
    normalise(wave, peak);
    xm::Instrument ins;
    ins.name = name;
    ins.data = toPcm16(wave);
    ins.loopStart = 0;
    ins.loopLength = static_cast<int>(ins.data.size());
    ins.relativeNote = RelativeNote;
    return ins;
}

xm::Instrument oneShot(const char* name, std::vector<int> wave, int peak) {
    normalise(wave, peak);
    xm::Instrument ins;
    ins.name = name;
    ins.data = toPcm16(wave);
    ins.relativeNote = RelativeNote;
    return ins;
}

// Lead: a pulse whose width sweeps slowly, the classic chiptune chorus.
xm::Instrument leadInstrument() {
    constexpr int Cycles = 64;
    constexpr int Length = Cycle * Cycles;
    // The pulse is centred on the cycle start, so harmonic k of a pulse of
    // width d has level sin(pi k d) / k and sits in cosine phase.
    std::vector<int> wave(Length);
    for (int n = 0; n < Length; ++n) {
        // Width between 0.25 and 0.45 of a cycle, one sweep per loop.
        const int width = 22938 + sine16(static_cast<std::uint32_t>(n * 65536 / Length)) * 6554 / 32767;
        std::int64_t sum = 0;
        constexpr int Harmonics = 20;
        for (int k = 1; k <= Harmonics; ++k) {
            const std::int64_t level = sine16(static_cast<std::uint32_t>(k * width / 2)) * 20861 / 32767 / k;
            const auto phase = static_cast<std::uint32_t>(k * n * (65536 / Cycle) + 16384);
            sum += level * (Harmonics + 1 - k) * sine16(phase) / (Harmonics + 1);
        }
        wave[static_cast<std::size_t>(n)] = static_cast<int>(sum / 32768);
    }
    xm::Instrument ins = pitched("pulse lead", wave, 24000);
    ins.envelope = {{0, 36}, {2, 64}, {8, 54}, {40, 46}, {120, 40}};
    ins.fadeout = 1200;
    ins.vibratoType = 0;
    ins.vibratoSweep = 40;
    ins.vibratoDepth = 3;
    ins.vibratoRate = 18;
    return ins;
}

// Bass: a saw with a strong fundamental, plucked by its envelope.
xm::Instrument bassInstrument() {
    auto amp = [](int k) { return (k == 1 ? 40000 : 26000) / k; };
    xm::Instrument ins = pitched("saw bass", additive(Cycle, 1, 48, amp), 26000);
    ins.envelope = {{0, 64}, {2, 56}, {10, 42}, {30, 34}, {80, 28}};
    ins.fadeout = 4096;
    return ins;
}

// Arpeggio voice: a hollow square that decays quickly.
xm::Instrument arpInstrument() {
    auto amp = [](int k) { return k % 2 ? 32768 / k : 0; };
    xm::Instrument ins = pitched("square arp", additive(Cycle, 1, 15, amp), 22000);
    ins.envelope = {{0, 64}, {3, 46}, {10, 30}, {24, 18}, {48, 10}};
    ins.fadeout = 4096;
    return ins;
}

// Pad: root, fifth and a slightly detuned root of soft saws; the three
// drift against each other over the loop, which makes the pad swirl.
xm::Instrument padInstrument() {
    constexpr int Cycles = 128;
    constexpr int Length = Cycle * Cycles;
    auto saw = [](int k) { return 24000 / k; };
    const std::vector<int> root = additive(Length, Cycles, 10, saw);
    const std::vector<int> fifth = additive(Length, Cycles * 3 / 2, 8, saw);
    const std::vector<int> detuned = additive(Length, Cycles + 1, 10, saw);
    std::vector<int> wave(Length);
    for (std::size_t n = 0; n < wave.size(); ++n)
        wave[n] = root[n] + fifth[n] * 3 / 4 + detuned[n];
    xm::Instrument ins = pitched("fifth pad", wave, 22000);
    ins.envelope = {{0, 0}, {10, 40}, {24, 52}, {96, 44}, {200, 36}};
    ins.fadeout = 2048;
    return ins;
}

std::vector<int> kickWave() {
    const int length = Rate * 35 / 100;
    std::vector<int> out(static_cast<std::size_t>(length));
    Decay pitch(65536, Rate / 40);
    Decay amp(65536, Rate / 7);
    std::uint32_t phase = 0;
    Rng noise(77);
    for (int n = 0; n < length; ++n) {
        const std::int64_t milliHz = 44000 + std::int64_t{130000} * pitch.next() / 65536;
        phase += phaseStep(milliHz, Rate);
        int s = gain(sine16(phase >> 16), amp.next());
        if (n < Rate / 400) // a short click for attack
            s += static_cast<int>(noise.next() % 16000) - 8000;
        // Gentle saturation, 1.5 x - 0.5 x^3, thickens the body.
        s = std::clamp(s, -32767, 32767);
        s = s * 3 / 2 - static_cast<int>(static_cast<std::int64_t>(s) * s / 32768 * s / 32768 / 2);
        out[static_cast<std::size_t>(n)] = s;
    }
    return out;
}

std::vector<int> snareWave() {
    const int length = Rate * 3 / 10;
    std::vector<int> out(static_cast<std::size_t>(length));
    Decay toneAmp(65536, Rate / 28);
    Decay noiseAmp(65536, Rate / 11);
    std::uint32_t phase = 0;
    Rng noise(1234);
    HighPass hp;
    LowPass lp;
    for (int n = 0; n < length; ++n) {
        phase += phaseStep(185000, Rate);
        const int tone = gain(sine16(phase >> 16), toneAmp.next());
        const int white = static_cast<int>(noise.next() % 65536) - 32768;
        const int hiss = lp.process(hp.process(white, 6000), 40000);
        out[static_cast<std::size_t>(n)] = tone * 3 / 4 + gain(hiss, noiseAmp.next());
    }
    return out;
}

// Cymbal sound: six detuned square waves, the metallic part, mixed with
// noise and pushed through a high-pass.
std::vector<int> metalWave(int lengthMs, int tauMs, std::uint32_t seed) {
    const int length = Rate * lengthMs / 1000;
    std::vector<int> out(static_cast<std::size_t>(length));
    constexpr std::array<std::int64_t, 6> Partials = {205300, 304400, 369600, 522700, 540000, 800000};
    std::array<std::uint32_t, 6> phases{};
    Decay amp(65536, Rate * tauMs / 1000);
    Rng noise(seed);
    HighPass hp1, hp2;
    for (int n = 0; n < length; ++n) {
        int metal = 0;
        for (std::size_t i = 0; i < Partials.size(); ++i) {
            phases[i] += phaseStep(Partials[i] * 8, Rate);
            metal += (phases[i] >> 31) ? 3000 : -3000;
        }
        const int white = static_cast<int>(noise.next() % 32768) - 16384;
        const int s = hp2.process(hp1.process(metal + white, 30000), 30000);
        out[static_cast<std::size_t>(n)] = gain(s, amp.next());
    }
    // A short fade keeps the tail from ending in a click.
    const int fade = std::min(length, Rate / 50);
    for (int i = 0; i < fade; ++i)
        out[static_cast<std::size_t>(length - 1 - i)] = out[static_cast<std::size_t>(length - 1 - i)] * i / fade;
    return out;
}

std::vector<xm::Instrument> instruments() {
    std::vector<xm::Instrument> list;
    list.push_back(leadInstrument());
    list.push_back(bassInstrument());
    list.push_back(arpInstrument());
    list.push_back(padInstrument());
    list.push_back(oneShot("kick", kickWave(), 30000));
    list.push_back(oneShot("snare", snareWave(), 28000));
    list.push_back(oneShot("closed hat", metalWave(70, 18, 5), 20000));
    list.push_back(oneShot("open hat", metalWave(380, 110, 6), 20000));
    list.push_back(oneShot("crash", metalWave(1600, 520, 7), 24000));
    list[1].panning = 128;
    list[2].panning = 84;
    list[3].panning = 172;
    list[6].panning = 160;
    list[7].panning = 160;
    list[8].panning = 100;
    return list;
}

// ---------------------------------------------------------------- writing --

enum Channel { Lead, Echo, Bass, Arp, Pad, Kick, Snare, Hat, ChannelCount };
enum InstrumentId { ILead = 1, IBass, IArp, IPad, IKick, ISnare, IClosedHat, IOpenHat, ICrash };

constexpr int Rows = 64;
constexpr int RowsPerBar = 16;

std::uint8_t vol(int v) { return static_cast<std::uint8_t>(0x10 + v); }

// "C-4", "F#5": tracker note names, C-0 being note 1.
std::uint8_t noteNumber(const std::string& name) {
    static const std::string letters = "C-D-EF-G-A-B";
    const std::size_t pc = letters.find(name.at(0));
    if (name.size() != 3 || pc == std::string::npos)
        throw std::invalid_argument("bad note " + name);
    const int sharp = name[1] == '#' ? 1 : 0;
    const int octave = name[2] - '0';
    return static_cast<std::uint8_t>(1 + 12 * octave + static_cast<int>(pc) + sharp);
}

struct Chord {
    int pitchClass; // 0 = C
    bool minor;
};

Chord chord(const std::string& name) {
    static const std::string letters = "C-D-EF-G-A-B";
    Chord c{static_cast<int>(letters.find(name.at(0))), false};
    std::size_t i = 1;
    if (i < name.size() && name[i] == '#') {
        ++c.pitchClass;
        ++i;
    }
    c.minor = i < name.size() && name[i] == 'm';
    return c;
}

// The chord's root in the octave that suits each part.
int bassRoot(const Chord& c) { return 1 + 12 * (c.pitchClass >= 9 ? 1 : 2) + c.pitchClass; }
int midRoot(const Chord& c) { return 1 + 12 * (c.pitchClass >= 7 ? 3 : 4) + c.pitchClass; }

class Builder {
public:
    explicit Builder(std::vector<std::string> chords) : pattern_(Rows, ChannelCount), chords_(std::move(chords)) {}

    xm::Cell& at(int row, Channel ch) { return pattern_.at(row, ch); }
    Chord chordOf(int bar) const { return chord(chords_.at(static_cast<std::size_t>(bar))); }

    // Sixteen steps per bar: each character picks an instrument and volume.
    template <class Pick>
    void steps(Channel ch, int bar, const std::string& s, Pick pick) {
        for (int i = 0; i < RowsPerBar && i < static_cast<int>(s.size()); ++i) {
            int instrument = 0, volume = 0;
            if (!pick(s[static_cast<std::size_t>(i)], instrument, volume))
                continue;
            xm::Cell& c = at(bar * RowsPerBar + i, ch);
            c.note = noteNumber("C-4");
            c.instrument = static_cast<std::uint8_t>(instrument);
            c.volume = vol(volume);
        }
    }

    void kick(int bar, const std::string& s) {
        steps(Kick, bar, s, [](char c, int& i, int& v) {
            i = IKick;
            v = c == 'x' ? 64 : 44;
            return c == 'x' || c == 'y';
        });
    }
    // x: hit, g: ghost, 1..9: hits of rising strength for rolls.
    void snare(int bar, const std::string& s) {
        steps(Snare, bar, s, [](char c, int& i, int& v) {
            i = ISnare;
            v = c == 'x' ? 60 : (c == 'g' ? 22 : (c - '0') * 7);
            return c == 'x' || c == 'g' || (c >= '1' && c <= '9');
        });
    }
    // c: closed, C: accented closed, o: open, X: crash.
    void hats(int bar, const std::string& s) {
        steps(Hat, bar, s, [](char c, int& i, int& v) {
            switch (c) {
            case 'c':
                i = IClosedHat;
                v = 40;
                return true;
            case 'C':
                i = IClosedHat;
                v = 56;
                return true;
            case 'o':
                i = IOpenHat;
                v = 46;
                return true;
            case 'X':
                i = ICrash;
                v = 56;
                return true;
            default:
                return false;
            }
        });
    }

    // R: root, O: root an octave up, F: fifth, =: release.
    void bass(int bar, const std::string& s) {
        const int root = bassRoot(chordOf(bar));
        for (int i = 0; i < RowsPerBar; ++i) {
            const char c = s.at(static_cast<std::size_t>(i));
            xm::Cell& cell = at(bar * RowsPerBar + i, Bass);
            if (c == '=') {
                cell.note = xm::KeyOff;
                continue;
            }
            const int offset = c == 'R' ? 0 : (c == 'O' ? 12 : (c == 'F' ? 7 : -1));
            if (offset < 0)
                continue;
            cell.note = static_cast<std::uint8_t>(root + offset);
            cell.instrument = IBass;
            cell.volume = vol(c == 'R' ? 44 : 38);
        }
    }

    // Chord arpeggio: notes struck where s has 'x', the 0xy effect on every
    // row so the chord keeps cycling.
    void arp(int bar, const std::string& s, int volume = 34) {
        const Chord c = chordOf(bar);
        const std::uint8_t param = c.minor ? 0x37 : 0x47;
        for (int i = 0; i < RowsPerBar; ++i) {
            xm::Cell& cell = at(bar * RowsPerBar + i, Arp);
            cell.effect = xm::Arpeggio;
            cell.param = param;
            if (s.at(static_cast<std::size_t>(i)) == 'x') {
                cell.note = static_cast<std::uint8_t>(midRoot(c));
                cell.instrument = IArp;
                cell.volume = vol(volume);
            }
        }
    }

    void pad(int bar, int volume = 30) {
        xm::Cell& cell = at(bar * RowsPerBar, Pad);
        cell.note = static_cast<std::uint8_t>(midRoot(chordOf(bar)));
        cell.instrument = IPad;
        cell.volume = vol(volume);
    }

    // One bar of melody in tracker notation: sixteen space-separated
    // tokens, a note name, "---" to hold, "===" to release.
    void melody(int bar, const std::string& line, int volume = 58) {
        std::istringstream in(line);
        std::string token;
        for (int i = 0; i < RowsPerBar; ++i) {
            if (!(in >> token))
                throw std::invalid_argument("melody bar too short: " + line);
            xm::Cell& cell = at(bar * RowsPerBar + i, Lead);
            if (token == "===")
                cell.note = xm::KeyOff;
            else if (token != "---") {
                cell.note = noteNumber(token);
                cell.instrument = ILead;
                cell.volume = vol(volume);
            }
        }
        if (in >> token)
            throw std::invalid_argument("melody bar too long: " + line);
    }

    // The echo channel repeats the lead three rows (a dotted eighth) later,
    // quieter and off to the right.
    void echo(int volume = 26) {
        for (int r = 0; r + 3 < Rows; ++r) {
            const xm::Cell& src = at(r, Lead);
            if (!src.note)
                continue;
            xm::Cell& dst = at(r + 3, Echo);
            dst.note = src.note;
            if (src.note != xm::KeyOff) {
                dst.instrument = ILead;
                dst.volume = vol(volume);
                dst.effect = xm::SetPanning;
                dst.param = 0xC8;
            }
        }
    }

    xm::Pattern done() { return pattern_; }

private:
    xm::Pattern pattern_;
    std::vector<std::string> chords_;
};

// Drum grooves, one bar each.
const std::string FourFloor = "x...x...x...x...";
const std::string DriveKick = "x...x...x...x.y.";
const std::string BackBeat = "....x.......x...";
const std::string Fill = "....x.....g.x234";
const std::string EighthHats = "c.C.c.C.c.C.c.C.";
const std::string DiscoHats = "C.o.C.o.C.o.C.o.";
const std::string BassDrive = "R.R.O.R.R.R.O.R.";
const std::string BassPump = "R.O.R.O.R.O.R.OF";
const std::string Eighths = "x.x.x.x.x.x.x.x.";

void groove(Builder& b, int bar, bool chorus, bool fill) {
    b.kick(bar, chorus ? DriveKick : FourFloor);
    b.snare(bar, fill ? Fill : BackBeat);
    b.hats(bar, chorus ? DiscoHats : EighthHats);
}

xm::Pattern introA() {
    Builder b({"Am", "F", "C", "G"});
    for (int bar = 0; bar < 4; ++bar) {
        b.kick(bar, FourFloor);
        b.hats(bar, bar < 2 ? "c...c...c...c..." : EighthHats);
        b.bass(bar, BassDrive);
        b.pad(bar, 30);
    }
    b.hats(0, "X...c...c...c...");
    return b.done();
}

xm::Pattern introB() {
    Builder b({"Am", "F", "C", "G"});
    for (int bar = 0; bar < 4; ++bar) {
        groove(b, bar, false, bar == 3);
        b.bass(bar, BassDrive);
        b.arp(bar, Eighths, 28);
        b.pad(bar, 30);
    }
    return b.done();
}

const std::array<std::string, 4> VerseA = {
    "A-4 --- A-4 --- C-5 --- A-4 --- E-5 --- --- D-5 --- --- C-5 ---",
    "C-5 --- --- --- A-4 --- --- --- F-4 --- --- G-4 --- --- A-4 ---",
    "G-4 --- G-4 --- C-5 --- G-4 --- E-5 --- --- D-5 --- --- C-5 ---",
    "D-5 --- --- --- --- --- --- --- B-4 --- --- --- G-4 --- === ---",
};
const std::array<std::string, 4> VerseB = {
    VerseA[0],
    "C-5 --- --- --- A-4 --- --- --- F-5 --- --- E-5 --- --- C-5 ---",
    VerseA[2],
    "D-5 --- --- --- G-5 --- --- --- F-5 --- E-5 --- D-5 --- B-4 ---",
};

xm::Pattern verse(const std::array<std::string, 4>& tune, bool endFill) {
    Builder b({"Am", "F", "C", "G"});
    for (int bar = 0; bar < 4; ++bar) {
        groove(b, bar, false, endFill && bar == 3);
        b.bass(bar, BassDrive);
        b.arp(bar, "x...x...x...x...", 26);
        b.melody(bar, tune[static_cast<std::size_t>(bar)]);
    }
    b.hats(0, "X.C.c.C.c.C.c.C.");
    b.echo();
    return b.done();
}

xm::Pattern preChorus() {
    Builder b({"Dm", "Em", "F", "G"});
    const std::array<std::string, 4> tune = {
        "D-5 --- --- --- F-5 --- --- --- A-5 --- --- --- F-5 --- --- ---",
        "E-5 --- --- --- G-5 --- --- --- B-5 --- --- --- G-5 --- --- ---",
        "F-5 --- --- --- A-5 --- --- --- C-6 --- --- --- A-5 --- --- ---",
        "G-5 --- --- --- F-5 --- --- --- E-5 --- --- --- D-5 --- --- ---",
    };
    for (int bar = 0; bar < 4; ++bar) {
        b.kick(bar, FourFloor);
        b.hats(bar, "cCcCcCcCcCcCcCcC");
        b.bass(bar, "R.RRR.RRR.RRR.RR");
        b.arp(bar, Eighths, 30);
        b.pad(bar, 34);
        b.melody(bar, tune[static_cast<std::size_t>(bar)], 60);
    }
    b.snare(0, BackBeat);
    b.snare(1, BackBeat);
    b.snare(2, "....x.......x.g.");
    b.snare(3, "2.3.4.5.66778899");
    b.echo();
    return b.done();
}

const std::array<std::string, 2> HookStart = {
    "E-5 --- --- --- E-5 --- G-5 --- --- --- E-5 --- D-5 --- C-5 ---",
    "D-5 --- --- --- --- --- B-4 --- D-5 --- --- --- G-5 --- --- ---",
};

xm::Pattern chorus(std::vector<std::string> chords, const std::string& bar3, const std::string& bar4, bool fill,
                   bool loopBack) {
    Builder b(std::move(chords));
    const std::array<std::string, 4> tune = {HookStart[0], HookStart[1], bar3, bar4};
    for (int bar = 0; bar < 4; ++bar) {
        groove(b, bar, true, fill && bar == 3);
        b.bass(bar, BassPump);
        b.arp(bar, Eighths, 30);
        b.pad(bar, 36);
        b.melody(bar, tune[static_cast<std::size_t>(bar)], 62);
    }
    b.hats(0, "X.o.C.o.C.o.C.o.");
    b.echo();
    if (loopBack) {
        // Back to the top: the intro follows as if the song went on.
        xm::Cell& last = b.at(Rows - 1, Pad);
        last.effect = xm::PositionJump;
        last.param = 0;
    }
    return b.done();
}

xm::Pattern bridge(bool second) {
    Builder b(second ? std::vector<std::string>{"Dm", "Em", "F", "E"}
                     : std::vector<std::string>{"F", "G", "Em", "Am"});
    const std::array<std::string, 4> tune =
        second ? std::array<std::string, 4>{"F-5 --- --- --- --- --- --- --- E-5 --- --- --- D-5 --- --- ---",
                                            "E-5 --- --- --- --- --- --- --- D-5 --- --- --- B-4 --- --- ---",
                                            "C-5 --- --- --- --- --- --- --- A-4 --- --- --- C-5 --- --- ---",
                                            "B-4 --- --- --- --- --- --- --- G#4 --- --- --- B-4 --- D-5 ---"}
               : std::array<std::string, 4>{"C-5 --- --- --- --- --- --- --- --- --- --- --- A-4 --- C-5 ---",
                                            "D-5 --- --- --- --- --- --- --- --- --- --- --- B-4 --- D-5 ---",
                                            "E-5 --- --- --- --- --- --- --- --- --- --- --- G-5 --- E-5 ---",
                                            "A-5 --- --- --- --- --- --- --- --- --- --- --- === --- --- ---"};
    for (int bar = 0; bar < 4; ++bar) {
        b.kick(bar, "x.........x.....");
        b.hats(bar, "c...C...c...C...");
        b.snare(bar, "........x.......");
        b.bass(bar, "R.......R...F...");
        b.pad(bar, 40);
        b.arp(bar, "x.......x.......", 24);
        b.melody(bar, tune[static_cast<std::size_t>(bar)], 56);
    }
    if (second) {
        // Build back up into the verse.
        b.kick(2, FourFloor);
        b.kick(3, FourFloor);
        b.snare(2, "x...x...x...x...");
        b.snare(3, "x.x.x.x.33445566");
        b.hats(3, "cCcCcCcCcCcCcCcC");
    } else {
        b.hats(0, "X...C...c...C...");
    }
    b.echo(28);
    return b.done();
}

} // namespace

xm::Module composeMusic() {
    xm::Module m;
    m.name = "Vexlo Race";
    m.channels = ChannelCount;
    m.speed = 6;
    m.tempo = 150;
    m.instruments = instruments();

    const std::string hookEnd = "A-4 --- --- --- C-5 --- --- --- F-5 --- E-5 --- C-5 --- --- ---";
    const std::string hookHigh = "A-5 --- --- --- G-5 --- F-5 --- --- --- E-5 --- C-5 --- --- ---";
    m.patterns.push_back(introA());                    // 0
    m.patterns.push_back(introB());                    // 1
    m.patterns.push_back(verse(VerseA, false));        // 2
    m.patterns.push_back(verse(VerseB, true));         // 3
    m.patterns.push_back(preChorus());                 // 4
    m.patterns.push_back(chorus({"C", "G", "Am", "F"}, // 5
                                "C-5 --- --- --- C-5 --- E-5 --- --- --- C-5 --- B-4 --- A-4 ---", hookEnd, false,
                                false));
    m.patterns.push_back(chorus({"C", "G", "F", "G"}, hookHigh, // 6
                                "D-5 --- --- --- --- --- --- --- B-4 --- --- --- D-5 --- G-4 ---", true, false));
    m.patterns.push_back(bridge(false));                        // 7
    m.patterns.push_back(bridge(true));                         // 8
    m.patterns.push_back(chorus({"C", "G", "F", "E"}, hookHigh, // 9: last, loops to the top
                                "B-4 --- --- --- --- --- --- --- G#4 --- --- --- === --- --- ---", true, true));
    m.order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 2, 3, 4, 5, 9};
    return m;
}

std::vector<std::uint8_t> makeMusic() { return xm::write(composeMusic()); }

} // namespace assetgen
