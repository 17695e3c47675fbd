#include "explosion_sound.h"

#include "canvas.h"
#include "synth.h"

#include <lame/lame.h>

#include <stdexcept>

namespace assetgen {

std::vector<std::int16_t> explosionSamples() {
    constexpr int Rate = ExplosionRate;
    const int length = Rate * 16 / 10;
    std::vector<int> out(static_cast<std::size_t>(length));

    // The thump: a sine falling from 85 Hz to 32 Hz.
    Decay thumpPitch(65536, Rate * 12 / 100);
    Decay thumpAmp(65536, Rate * 28 / 100);
    std::uint32_t phase = 0;

    // The blast: noise through a low-pass that closes as it fades.
    Rng noise(0xB00Au);
    LowPass blastFilter, rumbleFilter, rumbleFilter2;
    Decay brightness(65536, Rate * 25 / 100);
    Decay blastAmp(65536, Rate * 22 / 100);
    Decay rumbleAmp(65536, Rate * 55 / 100);

    // Crackles: short clicks of debris, thinning out.
    Decay crackleRate(65536, Rate * 35 / 100);
    Rng crackleDice(0xC0FFEEu);
    int crackleLeft = 0, crackleLevel = 0;
    HighPass crackleFilter;
    LowPass crackleTone;

    const int attack = Rate / 250;
    for (int n = 0; n < length; ++n) {
        const int rise = n < attack ? n * 65536 / attack : 65536;

        phase += phaseStep(32000 + gain(53000, thumpPitch.next()), Rate);
        const std::int64_t thump = gain(sine16(phase >> 16), thumpAmp.next());

        const int white = static_cast<int>(noise.next() % 65536) - 32768;
        const int coeff = 1200 + gain(50000, brightness.next());
        const std::int64_t blast = gain(blastFilter.process(white, coeff), blastAmp.next());
        const int low = rumbleFilter2.process(rumbleFilter.process(white, 1400), 1400);
        const std::int64_t rumble = gain(std::int64_t{low} * 5, rumbleAmp.next());

        const int crackleOdds = crackleRate.next();
        if (crackleLeft == 0 &&
            static_cast<int>(crackleDice.next() % 65536) < gain(crackleOdds, crackleOdds) / 80) {
            crackleLeft = 40 + static_cast<int>(crackleDice.next() % 120);
            crackleLevel = gain(4000 + static_cast<int>(crackleDice.next() % 9000), crackleOdds);
        }
        int crackle = 0;
        if (crackleLeft > 0) {
            crackle = crackleTone.process(crackleFilter.process(white, 20000), 30000) * crackleLevel / 32768;
            --crackleLeft;
        }

        const std::int64_t mixed = (thump * 30 + blast * 22 + rumble * 12 + crackle * 10) / 32;
        out[static_cast<std::size_t>(n)] = gain(mixed, rise);
    }
    // Fade the last 150 ms to silence.
    const int fade = Rate * 15 / 100;
    for (int i = 0; i < fade; ++i) {
        int& s = out[static_cast<std::size_t>(length - 1 - i)];
        s = static_cast<int>(std::int64_t{s} * i / fade);
    }
    // Leave headroom for the encoder's ringing.
    normalise(out, 23000);
    return toPcm16(out);
}

std::vector<std::uint8_t> encodeMp3(const std::vector<std::int16_t>& samples) {
    lame_global_flags* gf = lame_init();
    if (!gf)
        throw std::runtime_error("lame_init failed");
    lame_set_num_channels(gf, 1);
    lame_set_in_samplerate(gf, ExplosionRate);
    lame_set_out_samplerate(gf, ExplosionRate);
    lame_set_mode(gf, MONO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, 128);
    lame_set_quality(gf, 2);
    // No Xing/Info frame (it names the encoder's version) and no tags.
    lame_set_bWriteVbrTag(gf, 0);
    lame_set_write_id3tag_automatic(gf, 0);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_init_params failed");
    }
    std::vector<std::uint8_t> out(samples.size() * 5 / 4 + 7200 + 8192);
    std::vector<short> pcm(samples.begin(), samples.end());
    const int n = lame_encode_buffer(gf, pcm.data(), pcm.data(), static_cast<int>(pcm.size()), out.data(),
                                     static_cast<int>(out.size()));
    if (n < 0) {
        lame_close(gf);
        throw std::runtime_error("lame_encode_buffer failed");
    }
    const int tail = lame_encode_flush(gf, out.data() + n, static_cast<int>(out.size()) - n);
    lame_close(gf);
    if (tail < 0)
        throw std::runtime_error("lame_encode_flush failed");
    out.resize(static_cast<std::size_t>(n + tail));
    return out;
}

std::vector<std::uint8_t> makeExplosionSound() { return encodeMp3(explosionSamples()); }

} // namespace assetgen
