// The crash sound: a low thump under a burst of noise that dies away and
// darkens, encoded as MPEG audio layer III.
#pragma once

#include <cstdint>
#include <vector>

namespace assetgen {

constexpr int ExplosionRate = 44100;

// The explosion as 16-bit mono samples at ExplosionRate.
std::vector<std::int16_t> explosionSamples();
// Encodes mono 16-bit samples at ExplosionRate; the stream starts straight
// with its first frame (no tag), and carries nothing that depends on the
// time or on the encoder's version.
std::vector<std::uint8_t> encodeMp3(const std::vector<std::int16_t>& samples);
std::vector<std::uint8_t> makeExplosionSound();

} // namespace assetgen
