// How the game window tests read the sound the game wrote through SDL's
// disk output: its level over time, and where a sound file plays in it.
#include "window_check.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace window_check {

int levels(const std::string& path, int ms) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        die("cannot read " + path);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t samples = bytes.size() / 2;
    const std::size_t window = static_cast<std::size_t>(44100LL * ms / 1000) * 2; // both channels
    for (std::size_t start = 0; start + window <= samples; start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) {
            const auto lo = static_cast<unsigned char>(bytes[2 * i]);
            const auto hi = static_cast<unsigned char>(bytes[2 * i + 1]);
            const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
            sum += static_cast<double>(value) * value;
        }
        std::printf("%lld %.5f\n", static_cast<long long>(start / 2 * 1000 / 44100),
                    std::sqrt(sum / static_cast<double>(window)) / 32768.0);
    }
    return 0;
}

namespace {

// Mono at a quarter of 44.1 kHz: the explosion's weight is in its low
// notes, and a quarter of the samples makes the search quick.
constexpr int Decimation = 4;
constexpr int ReducedRate = 44100 / Decimation;

std::vector<float> reduce(const std::int16_t* stereo, std::size_t frames) {
    std::vector<float> out(frames / Decimation);
    for (std::size_t i = 0; i < out.size(); ++i) {
        float sum = 0;
        for (std::size_t j = 0; j < Decimation; ++j) {
            const std::size_t f = i * Decimation + j;
            sum += static_cast<float>(stereo[2 * f]) + static_cast<float>(stereo[2 * f + 1]);
        }
        out[i] = sum / (2.0f * Decimation * 32768.0f);
    }
    return out;
}

// The sound file decoded by SDL_mixer into 16-bit stereo at 44.1 kHz, the
// form the game's sound layer plays it in.
std::vector<float> decodeSound(const std::string& path) {
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudioDevice(44100, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0)
        die(std::string("cannot start the sound: ") + SDL_GetError());
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (chunk == nullptr)
        die("cannot decode " + path + ": " + Mix_GetError());
    const std::vector<float> samples = reduce(reinterpret_cast<const std::int16_t*>(chunk->abuf), chunk->alen / 4);
    Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    SDL_Quit();
    return samples;
}

} // namespace

int find(const std::string& soundPath, const std::string& capturePath) {
    std::vector<float> sound = decodeSound(soundPath);
    // The first 0.8 s: the loud part, which the music does not cover.
    sound.resize(std::min<std::size_t>(sound.size(), ReducedRate * 8 / 10));
    std::ifstream in(capturePath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> stereo(bytes.size() / 2);
    std::memcpy(stereo.data(), bytes.data(), stereo.size() * 2);
    const std::vector<float> capture = reduce(stereo.data(), stereo.size() / 2);
    const std::size_t n = sound.size();
    if (n == 0 || capture.size() < n)
        die("the capture is shorter than the sound");

    double soundEnergy = 0;
    for (const float v : sound)
        soundEnergy += static_cast<double>(v) * v;
    std::vector<double> energy(capture.size() + 1, 0.0); // prefix sums of squares
    for (std::size_t i = 0; i < capture.size(); ++i)
        energy[i + 1] = energy[i] + static_cast<double>(capture[i]) * capture[i];
    std::vector<float> correlation(capture.size() - n + 1, 0.0f);
    for (std::size_t at = 0; at < correlation.size(); ++at) {
        float dot = 0;
        for (std::size_t i = 0; i < n; ++i)
            dot += sound[i] * capture[at + i];
        const double window = energy[at + n] - energy[at];
        if (window > 1e-12)
            correlation[at] = static_cast<float>(dot / std::sqrt(soundEnergy * window));
    }
    const auto best =
        static_cast<std::size_t>(std::max_element(correlation.begin(), correlation.end()) - correlation.begin());
    std::size_t next = best;
    for (std::size_t at = 0; at < correlation.size(); ++at) {
        const std::size_t apart = at > best ? at - best : best - at;
        if (apart >= ReducedRate && (next == best || correlation[at] > correlation[next]))
            next = at;
    }
    std::printf("best %zu %.3f\nnext %zu %.3f\n", best * 1000 / ReducedRate, correlation[best],
                next * 1000 / ReducedRate, next == best ? 0.0f : correlation[next]);
    return 0;
}

} // namespace window_check
