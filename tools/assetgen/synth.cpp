#include "synth.h"

#include <algorithm>
#include <cstdlib>

namespace assetgen {
namespace {

// sin(x) for x in [0, pi/2], both in Q30, by its Taylor series.
std::int64_t sinQ30(std::int64_t x) {
    const std::int64_t x2 = (x * x) >> 30;
    std::int64_t term = x;
    std::int64_t sum = x;
    for (std::int64_t n = 1; n <= 7; ++n) {
        term = -((term * x2) >> 30) / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr int Quarter = 16384;

const std::vector<int>& quarterTable() {
    static const std::vector<int> table = [] {
        constexpr std::int64_t HalfPiQ30 = 1686629713; // pi/2 * 2^30
        std::vector<int> t(Quarter + 1);
        for (int i = 0; i <= Quarter; ++i) {
            const std::int64_t s = sinQ30(HalfPiQ30 * i / Quarter);
            t[static_cast<std::size_t>(i)] = static_cast<int>((s * 32767 + (1 << 29)) >> 30);
        }
        return t;
    }();
    return table;
}

} // namespace

int sine16(std::uint32_t phase) {
    const std::vector<int>& t = quarterTable();
    const std::uint32_t p = phase & 0xFFFF;
    const std::uint32_t r = p & (Quarter - 1);
    switch (p >> 14) {
    case 0:
        return t[r];
    case 1:
        return t[Quarter - r];
    case 2:
        return -t[r];
    default:
        return -t[Quarter - r];
    }
}

std::uint32_t phaseStep(std::int64_t milliHz, int sampleRate) {
    return static_cast<std::uint32_t>((milliHz << 32) / (static_cast<std::int64_t>(sampleRate) * 1000));
}

Decay::Decay(int start, int tauSamples)
    : value_(static_cast<std::int64_t>(start) << 14), k_((std::int64_t{1} << 24) / std::max(1, tauSamples)) {}

int Decay::next() {
    const int out = level();
    value_ -= (value_ * k_) >> 24;
    return out;
}

void normalise(std::vector<int>& samples, int peak) {
    int top = 1;
    for (int s : samples)
        top = std::max(top, std::abs(s));
    for (int& s : samples)
        s = static_cast<int>(static_cast<std::int64_t>(s) * peak / top);
}

std::vector<std::int16_t> toPcm16(const std::vector<int>& samples) {
    std::vector<std::int16_t> out(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::clamp(samples[i], -32768, 32767));
    return out;
}

} // namespace assetgen
