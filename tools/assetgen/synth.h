// Integer building blocks for the generator's sounds: a sine table, phase
// oscillators, decays, noise and simple filters. Whole-number arithmetic
// only, so the sounds come out bit for bit the same on every build.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen {

// Sine of a phase given in 1/65536 of a turn, scaled to ±32767.
int sine16(std::uint32_t phase);

// Phase step per sample, in 1/2^32 of a turn, for a frequency given in
// thousandths of a hertz.
std::uint32_t phaseStep(std::int64_t milliHz, int sampleRate);

// An exponential fall: each step the value loses value / tau of itself.
class Decay {
public:
    // start in 0..65536 (1.0 = 65536), tau in samples.
    Decay(int start, int tauSamples);
    // The current level in 0..65536; moves on by one sample.
    int next();
    int level() const { return static_cast<int>(value_ >> 14); }

private:
    std::int64_t value_; // Q30
    std::int64_t k_;     // Q24 loss per sample
};

// One-pole low-pass; coefficient in 0..65536 (65536 lets everything pass).
class LowPass {
public:
    int process(int x, int coeff) {
        state_ += (static_cast<std::int64_t>(x) * 65536 - state_) * coeff / 65536;
        return static_cast<int>(state_ / 65536);
    }

private:
    std::int64_t state_ = 0;
};

// One-pole high-pass built from the low-pass: x minus its low part.
class HighPass {
public:
    int process(int x, int coeff) { return x - low_.process(x, coeff); }

private:
    LowPass low_;
};

// x × level / 65536 without overflow: applies a 0..65536 gain.
inline int gain(std::int64_t x, int level) { return static_cast<int>(x * level / 65536); }

// Scales samples so that the loudest one reaches peak (of 32767).
void normalise(std::vector<int>& samples, int peak);
// Clamps to the 16-bit range.
std::vector<std::int16_t> toPcm16(const std::vector<int>& samples);

} // namespace assetgen
