// The real sound layer, and the player over it, on files the tests make:
// an XM written byte by byte, MP3s encoded with LAME, WAVs. What comes out
// is heard through SDL's disk driver, which writes each mixed buffer of
// 16-bit stereo to a file at a sound card's pace; the file's size, read
// between calls, tells which stretch each call can have shaped, give or
// take the few buffers already mixed (Margin).
#include "sound/fsound.h"
#include "sound/sound_player.h"

#include "display/headless/headless.h"

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Appends each value little-endian in its width of bytes.
void put(Bytes& b, std::initializer_list<std::pair<std::uint32_t, int>> fields) {
    for (auto [value, width] : fields)
        for (int i = 0; i < width; ++i)
            b.push_back(std::uint8_t(i < 4 ? value >> (8 * i) : 0));
}
void put(Bytes& b, const char* text, std::size_t width) {
    b.insert(b.end(), text, text + std::strlen(text));
    b.resize(b.size() + width - std::strlen(text));
}

std::vector<std::int16_t> sine(double seconds, double amplitude, double hz) {
    std::vector<std::int16_t> pcm(std::size_t(seconds * 44100) * 2);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = std::int16_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * double(i / 2) / 44100)));
    return pcm;
}

// Two channels, one pattern of `rows` rows at one 20 ms tick a row, and a
// looping sine sample struck on row 0 at `volume` (0..64).
Bytes makeXm(int rows, int volume) {
    Bytes b;
    put(b, "Extended Module: ", 17);
    put(b, "test song", 20);
    put(b, {{0x1A, 1}});
    put(b, "vexlo tests", 20);
    // Version, header size, orders, restart, channels, patterns, instruments,
    // linear table, ticks a row, BPM; the order table plays pattern 0.
    put(b, {{0x0104, 2}, {276, 4}, {1, 2}, {0, 2}, {2, 2}, {1, 2}, {1, 2}, {1, 2}, {1, 2}, {125, 2}});
    b.resize(b.size() + 256);
    Bytes cells = {0x83, 49, 1, 0x80}; // C-4 with instrument 1; an empty cell
    cells.resize(cells.size() + 2 * std::size_t(rows - 1), 0x80);
    put(b, {{9, 4}, {0, 1}, {std::uint32_t(rows), 2}, {std::uint32_t(cells.size()), 2}});
    b.insert(b.end(), cells.begin(), cells.end());
    // A 263-byte instrument header with one sample of 40-byte header; then a
    // 32-byte forward loop, centred, its sine delta-coded.
    put(b, {{263, 4}, {0, 23}, {1, 2}, {40, 4}, {0, 230}, {32, 4}, {0, 4}, {32, 4}});
    put(b, {{std::uint32_t(volume), 1}, {0, 1}, {1, 1}, {128, 1}, {0, 24}});
    for (int i = 0, previous = 0; i < 32; ++i) {
        const int v = int(std::lround(100 * std::sin(2 * M_PI * i / 32)));
        put(b, {{std::uint32_t(v - previous), 1}});
        previous = v;
    }
    return b;
}

Bytes makeMp3(double seconds, double amplitude, double hz) {
    std::vector<std::int16_t> pcm = sine(seconds, amplitude, hz);
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, 44100);
    lame_set_brate(lame, 128);
    lame_init_params(lame);
    Bytes out(pcm.size() + 8192);
    int n = lame_encode_buffer_interleaved(lame, pcm.data(), int(pcm.size() / 2), out.data(), int(out.size()));
    n += lame_encode_flush(lame, out.data() + n, int(out.size()) - n);
    lame_close(lame);
    out.resize(std::size_t(n));
    return out;
}

Bytes makeWav(double seconds, double amplitude, double hz) {
    const std::vector<std::int16_t> pcm = sine(seconds, amplitude, hz);
    const auto size = std::uint32_t(pcm.size() * 2);
    Bytes b;
    put(b, "RIFF", 4);
    put(b, {{36 + size, 4}});
    put(b, "WAVEfmt ", 8);
    put(b, {{16, 4}, {1, 2}, {2, 2}, {44100, 4}, {176400, 4}, {4, 2}, {16, 2}}); // PCM, stereo, 16-bit
    put(b, "data", 4);
    put(b, {{size, 4}});
    for (std::int16_t sample : pcm)
        put(b, {{std::uint16_t(sample), 2}});
    return b;
}

void write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

constexpr std::size_t Buffer = 1024 * 4, Margin = 3 * Buffer, BytesPerSecond = 44100 * 4;

// The loudest sample of each buffer-sized block of the capture in [from, to).
std::vector<int> peaks(const std::string& capture, std::size_t from, std::size_t to) {
    std::ifstream in(capture, std::ios::binary);
    in.seekg(std::streamoff(from - from % 4));
    std::vector<int> result;
    std::int16_t block[Buffer / 2];
    for (std::size_t at = from; at + Buffer <= to && in.read(reinterpret_cast<char*>(block), Buffer); at += Buffer)
        result.push_back(std::abs(int(*std::max_element(block, block + Buffer / 2,
                                                        [](int a, int b) { return std::abs(a) < std::abs(b); }))));
    return result;
}
int lowest(const std::vector<int>& p) { return p.empty() ? -1 : *std::min_element(p.begin(), p.end()); }
int highest(const std::vector<int>& p) { return p.empty() ? -1 : *std::max_element(p.begin(), p.end()); }
void wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits for the capture to hold at least bytes, however slowly a busy
// machine writes it; false after a generous bound.
bool growsTo(const std::string& capture, std::size_t bytes) {
    for (int tries = 0; tries < 2000; ++tries) {
        std::error_code absent;
        const std::uintmax_t held = fs::file_size(capture, absent);
        if (!absent && held >= bytes)
            return true;
        wait(5);
    }
    return false;
}

// Each test runs in a fresh folder with data/ in it, silent unless it
// asks for the disk output, and the layer is shut down after it.
class SoundLayer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string dir = (fs::temp_directory_path() / "vexlo-sound-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(dir.data()));
        dir_ = dir;
        fs::create_directory(dir_ / "data");
        fs::current_path(dir_);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ptc::headless::start({});
    }
    void TearDown() override {
        FSOUND_Close();
        soundLayerSetTrace(nullptr);
        fs::current_path(home_);
        fs::remove_all(dir_);
    }
    std::string captureToDisk(const std::string& name) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir_ / name).c_str(), 1);
        return (dir_ / name).string();
    }
    static std::size_t size(const std::string& path) { return fs::file_size(path); }
    fs::path home_ = fs::current_path(), dir_;
};

std::vector<std::string> traced;

} // namespace

TEST_F(SoundLayer, LoadersTellMissingForeignAndCutFilesApart) {
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    const Bytes xm = makeXm(4, 32), mp3 = makeMp3(0.5, 0.5, 440), wav = makeWav(0.5, 0.5, 440);
    const auto cut = [](const Bytes& b, std::size_t size) { return Bytes(b.begin(), b.begin() + long(size)); };
    Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20}, longTag = {'I', 'D', '3', 3, 0, 0, 0, 8, 0, 0};
    tagged.resize(30);
    Bytes unwalked = xm; // more patterns than an XM holds: the check leaves it to the loader, which says no
    unwalked[70] = 0x2C, unwalked[71] = 0x01;
    tagged.insert(tagged.end(), mp3.begin(), mp3.end());   // a 20-byte tag, then audio
    longTag.insert(longTag.end(), mp3.begin(), mp3.end()); // a tag longer than the file
    const std::pair<const char*, Bytes> files[] = {{"good.xm", xm},
                                                   {"good.mp3", mp3},
                                                   {"tagged.mp3", tagged},
                                                   {"good.wav", wav},
                                                   {"empty", {}},
                                                   {"garbage", Bytes(5000, 'x')},
                                                   {"cut-sample.xm", cut(xm, xm.size() - 10)},
                                                   {"cut-pattern.xm", cut(xm, 350)},
                                                   {"cut-header.xm", cut(xm, 50)},
                                                   {"cut.mp3", cut(mp3, 200)},
                                                   {"long-tag.mp3", longTag},
                                                   {"cut.wav", cut(wav, wav.size() - 1000)},
                                                   {"riff-only.wav", cut(wav, 12)},
                                                   {"unwalked.xm", unwalked}};
    for (const auto& [name, bytes] : files)
        write(std::string("data/") + name, bytes);

    using Load = bool (*)(const char*);
    const Load module = [](const char* f) { return FMUSIC_LoadSong(f) != nullptr; };
    const Load mpeg = [](const char* f) { return FSOUND_Stream_OpenMpeg(f, 41) != nullptr; };
    const Load wave = [](const char* f) { return FSOUND_Stream_OpenWav(f, 43) != nullptr; };
    const Load sample = [](const char* f) { return FSOUND_Sample_LoadMpeg(-1, f, 8192) != nullptr; };
    const std::tuple<Load, const char*, int> cases[] = {// loader, file, error code (0: loads)
                                                        {module, "data\\good.xm", 0},
                                                        {module, "data/none.xm", 9},
                                                        {module, "data", 9},
                                                        {module, "data/garbage", 10},
                                                        {module, "data/empty", 10},
                                                        {module, "data/good.wav", 10},
                                                        {module, "data/cut-sample.xm", 11},
                                                        {module, "data/cut-pattern.xm", 11},
                                                        {module, "data/cut-header.xm", 11},
                                                        {module, "data/unwalked.xm", 11},
                                                        {mpeg, "data\\good.mp3", 0},
                                                        {mpeg, "data/tagged.mp3", 0},
                                                        {mpeg, "data/none.mp3", 9},
                                                        {mpeg, "data/garbage", 10},
                                                        {mpeg, "data/good.wav", 10},
                                                        {mpeg, "data/cut.mp3", 11},
                                                        {mpeg, "data/long-tag.mp3", 11},
                                                        {wave, "data\\good.wav", 0},
                                                        {wave, "data/none.wav", 9},
                                                        {wave, "data/garbage", 10},
                                                        {wave, "data/good.mp3", 10},
                                                        {wave, "data/cut.wav", 11},
                                                        {wave, "data/riff-only.wav", 11},
                                                        {sample, "data/tagged.mp3", 0},
                                                        {sample, "data/none.mp3", 9},
                                                        {sample, "data/garbage", 10},
                                                        {sample, "data/cut.mp3", 11}};
    for (const auto& [load, file, code] : cases) {
        EXPECT_EQ(load(file), code == 0) << file;
        if (code) {
            EXPECT_EQ(FSOUND_GetError(), code) << file;
        }
    }
    ASSERT_TRUE(module("data/good.xm"));
    EXPECT_EQ(FSOUND_GetError(), 11) << "a success leaves the last failure's code";

    // Through the player, each gives its box, and the music cannot start.
    FSOUND_Close();
    for (const auto& [file, box] : {std::pair{"data\\none.xm", "File not found"},
                                    {"data\\garbage", "Unknown file format"},
                                    {"data\\cut-sample.xm", "Error loading file"}}) {
        ptc::headless::start({});
        vexlo::SoundPlayer player;
        player.open(file, vexlo::SoundKind::Module);
        EXPECT_EQ(ptc::headless::messages(), std::vector<std::string>{box});
        EXPECT_EQ(player.play(), 0);
        player.stop();
        player.close();
    }
}

TEST_F(SoundLayer, StaleHandlesAndWrongOrderAreRefusedAndEveryCallIsTraced) {
    write("data/song.xm", makeXm(4, 32));
    write("data/song.mp3", makeMp3(0.2, 0.5, 440));
    traced.clear();
    soundLayerSetTrace([](const char* call) { traced.emplace_back(call); });

    EXPECT_EQ(FMUSIC_LoadSong("data/song.xm"), nullptr);
    EXPECT_EQ(FSOUND_GetError(), 2);
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    FMUSIC_MODULE* song = FMUSIC_LoadSong("data/song.xm");
    FSOUND_STREAM* stream = FSOUND_Stream_OpenMpeg("data/song.mp3", 41);
    FSOUND_SAMPLE* effect = FSOUND_Sample_LoadMpeg(-1, "data/song.mp3", 8192);
    EXPECT_EQ(FSOUND_Stream_OpenWav("data/song.mp3", 43), nullptr);
    EXPECT_EQ(FMUSIC_PlaySong(song), 1);
    EXPECT_EQ(FSOUND_Stream_Play(-1, stream), 32) << "streams play on the line after the 32 channels";
    EXPECT_GE(FSOUND_PlaySound(-1, effect), 0);
    EXPECT_EQ(FMUSIC_StopSong(song), 1);
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
    EXPECT_EQ(FMUSIC_FreeSong(song), 0) << "a freed handle is refused, not freed again";
    EXPECT_EQ(FSOUND_GetError(), 15);
    EXPECT_EQ(FSOUND_Stream_Close(stream), 1);
    FSOUND_Close();
    EXPECT_EQ(FSOUND_PlaySound(-1, effect), -1) << "close frees the samples too";

    std::sort(traced.begin(), traced.end());
    traced.erase(std::unique(traced.begin(), traced.end()), traced.end());
    EXPECT_EQ(traced.size(), 13u);
}

TEST_F(SoundLayer, WithoutAnAudioDeviceTheGamePlaysSilently) {
    write("data/song.xm", makeXm(4, 32));
    write("data/explode.mp3", makeMp3(0.2, 0.5, 1000));
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    vexlo::SoundPlayer player;
    player.open("data\\song.xm", vexlo::SoundKind::Module);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("no audio device"), std::string::npos) << err;
    EXPECT_TRUE(ptc::headless::messages().empty());
    EXPECT_TRUE(player.song && player.explosionSample);
    EXPECT_EQ(player.play(), 1);
    player.close();

    // With SDL left to choose, the layer starts whatever this machine has
    // and says at most one line, however much the sound back ends complain.
    unsetenv("SDL_AUDIODRIVER");
    testing::internal::CaptureStderr();
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    const std::string chosen = testing::internal::GetCapturedStderr();
    EXPECT_LE(std::count(chosen.begin(), chosen.end(), '\n'), 1) << chosen;
}

TEST_F(SoundLayer, ModuleRepeatsUnderTheExplosionAndFallsSilentAtTheEnd) {
    write("data/vexlo.xm", makeXm(4, 16)); // an 80 ms song, quiet on purpose
    write("data/explode.mp3", makeMp3(0.3, 0.9, 1000));
    const std::string capture = captureToDisk("module.raw");
    vexlo::SoundPlayer player;
    player.open("data\\vexlo.xm", vexlo::SoundKind::Module);
    ASSERT_TRUE(ptc::headless::messages().empty());
    // Each call stands between the capture's size just before it and just
    // after it, however long a busy machine held it up; what comes between
    // is not looked at. The waits are for buffers written, not for time.
    const std::size_t Burst = BytesPerSecond * 3 / 10;
    ASSERT_TRUE(growsTo(capture, Buffer));
    const std::size_t beforePlay = size(capture);
    ASSERT_EQ(player.play(), 1);
    const std::size_t started = size(capture);
    ASSERT_TRUE(growsTo(capture, started + Margin + 12 * Buffer));
    const std::size_t beforeExplosion = size(capture);
    player.playExplosion();
    const std::size_t exploded = size(capture);
    ASSERT_TRUE(growsTo(capture, exploded + Burst + 2 * Margin + 6 * Buffer));
    const std::size_t beforeStop = size(capture);
    player.stop();
    const std::size_t stopped = size(capture);
    ASSERT_TRUE(growsTo(capture, stopped + Margin + 5 * Buffer));
    const std::size_t closed = size(capture);
    player.close();
    const std::size_t final = size(capture);
    wait(100);

    EXPECT_EQ(highest(peaks(capture, 0, beforePlay)), 0);
    // Five times the song's length and sounding in every buffer: it repeats.
    const std::vector<int> music = peaks(capture, started + Margin, beforeExplosion);
    EXPECT_GE(music.size(), 10u);
    EXPECT_GT(lowest(music), 300);
    EXPECT_LT(highest(music), 9000);
    // The explosion, near full scale, lasts 0.3 s and a little encoder padding.
    EXPECT_GT(lowest(peaks(capture, exploded + Margin, beforeExplosion + Burst - Margin)), 20000);
    const std::vector<int> after = peaks(capture, exploded + Burst + 2 * Margin, beforeStop);
    EXPECT_GT(lowest(after), 300);
    EXPECT_LT(highest(after), 9000);
    EXPECT_EQ(highest(peaks(capture, stopped + Margin, closed)), 0);
    EXPECT_EQ(size(capture), final) << "nothing is written after close";
}

TEST_F(SoundLayer, StreamKindsPlayTheirFile) {
    write("data/song.mp3", makeMp3(1.0, 0.3, 440));
    write("data/song.wav", makeWav(1.0, 0.3, 440));
    for (const auto& [kind, file] : {std::pair{vexlo::SoundKind::MpegStream, "data\\song.mp3"},
                                     {vexlo::SoundKind::WavStream, "data\\song.wav"}}) {
        const std::string capture = captureToDisk("stream" + std::to_string(kind) + ".raw");
        vexlo::SoundPlayer player;
        player.open(file, kind);
        ASSERT_TRUE(growsTo(capture, Buffer)) << "the device writes";
        ASSERT_EQ(player.play(), 1);
        // Whatever was mixed before the start lies within Margin of what
        // the file held after it (give one buffer more for a busy machine);
        // then eight buffers, well inside the one-second file.
        const std::size_t from = size(capture) + Margin + Buffer, to = from + 8 * Buffer;
        ASSERT_TRUE(growsTo(capture, to)) << file;
        const std::vector<int> sound = peaks(capture, from, to);
        player.close();
        EXPECT_GE(sound.size(), 5u) << file;
        EXPECT_GT(lowest(sound), 8000) << file; // a 0.3 sine peaks near 9800
        EXPECT_LT(highest(sound), 11000) << file;
    }
}
