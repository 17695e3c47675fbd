// How fast the drawing and the frame loop are, each as a ratio to the cost
// of copying one frame with memcpy, measured in the same run.
//
// Every benchmark runs several times (12 unless --benchmark_repetitions says
// otherwise) with the repetitions of all of them shuffled together, so the
// floor is measured all through the run rather than once at its start; the
// table at the end compares medians. The ratios use processor time, which
// leaves out the time the process spends waiting for the processor on a
// busy machine; the wall-clock ratio is shown beside it.
#include "display/headless/headless.h"
#include "ptc/ptc.h"
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/traffic.h"
#include "render/frame_buffer.h"
#include "render/image_assets.h"
#include "render/scene.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace vexlo;

namespace {

// Pictures with a realistic share of colour-key pixels: a car shape on a
// keyed background, a game-over picture keyed in its upper half.
struct Pictures {
    std::vector<Pixel> road = std::vector<Pixel>(RoadCapacity, 0x00406080u);
    std::vector<Pixel> sprite = std::vector<Pixel>(900, TransparentColor);
    std::vector<Pixel> full = std::vector<Pixel>(FramePixels, 0x00112233u);
    std::vector<Pixel> digit = std::vector<Pixel>(128, 0x00FFFFFFu);
    std::vector<Pixel> label = std::vector<Pixel>(810, 0x00FFFF00u);

    Pictures() {
        for (int y = 4; y < 26; ++y)
            for (int x = 2; x < 28; ++x)
                sprite[y * 30 + x] = 0x00E02020u;
        std::fill(full.begin(), full.begin() + FramePixels / 2, TransparentColor);
        ImageAssets& a = imageAssets;
        a.road = road.data();
        a.car = a.enemy = a.explosion1 = a.explosion2 = a.explosion3 = sprite.data();
        a.title = a.gameOver = full.data();
        a.scoreLabel = label.data();
        for (auto& d : a.digits)
            d = digit.data();
    }
};

Pictures& pictures() {
    static Pictures p;
    return p;
}

// Allocated the way the game's surface is (a vector of 64000 pixels), so
// the frame has the same alignment as in the game.
std::vector<Pixel> frame(FramePixels, 0u);
std::vector<Pixel> source(FramePixels, 0x00102030u);

// The traffic benchmarks move their cars, so they put them back every so
// many frames, without pausing the clock: pausing costs two reads of the
// process clock (system calls) per frame, far more than the few hundred
// stores of putting the cars back once in 64 frames.
constexpr int ReplaceEvery = 64;

void Floor_memcpy(benchmark::State& state) {
    for (auto _ : state) {
        std::memcpy(frame.data(), source.data(), FramePixels * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
}
void Floor_memset(benchmark::State& state) {
    for (auto _ : state) {
        std::memset(frame.data(), 0, FramePixels * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
}
void DrawRoad(benchmark::State& state) {
    pictures();
    int distance = 0;
    for (auto _ : state) {
        drawRoad(frame.data(), distance++);
        benchmark::ClobberMemory();
    }
}
void DarkenFrame(benchmark::State& state) {
    for (auto _ : state) {
        darkenFrame(frame.data());
        benchmark::ClobberMemory();
    }
}
void BlitSprite(benchmark::State& state, int x, int y) {
    const Pixel* sprite = pictures().sprite.data();
    for (auto _ : state) {
        blitSprite(frame.data(), sprite, x, y, 30, 30);
        benchmark::ClobberMemory();
    }
}
void BlitFullScreen(benchmark::State& state) {
    const Pixel* full = pictures().full.data();
    for (auto _ : state) {
        blitSprite(frame.data(), full, 0, 0, ScreenWidth, ScreenHeight);
        benchmark::ClobberMemory();
    }
}
void DrawScore(benchmark::State& state) {
    pictures();
    int value = 123456;
    for (auto _ : state) {
        drawScore(frame.data(), value++, 0);
        benchmark::ClobberMemory();
    }
}

// 300 cars spread over the road, clear of the player on row 0 (every car
// is on row 30 or below): 64 moves at speed 1 take them 32 pixels left,
// so all 300 stay on the road between refills.
void fillTraffic() {
    for (int i = 0; i < MaxEnemies; ++i) {
        trafficTable.enemyX[i] = 60.0f + static_cast<float>(i % 26) * 10.0f;
        trafficTable.enemyY[i] = 30 + (i * 7) % (SpawnRows - 30);
    }
}
void UpdateTraffic300(benchmark::State& state) {
    gameState = GameState{};
    gameState.playerY = 0;
    gameState.speed = 1;
    int frames = 0;
    for (auto _ : state) {
        if (frames++ % ReplaceEvery == 0)
            fillTraffic();
        updateTraffic();
        benchmark::ClobberMemory();
    }
    if (gameState.crashed != 0)
        state.SkipWithError("a car hit the player");
}
void DrawTraffic300(benchmark::State& state) {
    pictures();
    fillTraffic();
    for (auto _ : state) {
        drawTraffic(frame.data());
        benchmark::ClobberMemory();
    }
}

// A whole frame of play on the headless platform, with ten cars on the
// road: keys, drawing, copy, clear, update, scroll and score, traffic,
// spawning. Every 64 frames the ten cars go back to their places, the cars
// spawned meanwhile are removed (none gets near the player in 64 frames)
// and the headless platform's record of calls, which grows by two names a
// frame, starts afresh.
void placeTenCars() {
    clearTraffic();
    for (int i = 0; i < 10; ++i) {
        trafficTable.enemyX[i] = 60.0f + static_cast<float>(i) * 25.0f;
        trafficTable.enemyY[i] = 40 + i * 12;
    }
}
ptc::headless::Script endlessScript() {
    ptc::headless::Script script;
    script.maxUpdates = 1L << 60;
    return script;
}
void WholeFrame(benchmark::State& state) {
    pictures();
    ptc::headless::start(endlessScript());
    ptc::Display display;
    ptc::PixelFormat format(32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0u);
    display.open("bench", format, 0);
    ptc::Surface surface(320, 200, format);
    gameState = GameState{};
    gameState.playerY = 0;
    int running = 1;
    int frames = 0;
    for (auto _ : state) {
        if (frames++ % ReplaceEvery == 0) {
            placeTenCars();
            ptc::headless::start(endlessScript());
        }
        playFrame(surface, display, running);
    }
    if (gameState.crashed != 0)
        state.SkipWithError("a car hit the player");
    display.close();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The value below which the given share of the values lie (by rank).
double quantile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[rank];
}

// Prints the run's context, then, instead of a line per repetition, one
// table at the end: each benchmark's median time and its median as a ratio
// to the memcpy floor's median.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.benchmark_name();
            Times& t = times_[name];
            t.order = {run.family_index, run.per_family_instance_index};
            if (run.error_occurred) {
                t.error = run.error_message;
                continue;
            }
            t.cpu.push_back(run.GetAdjustedCPUTime());
            t.real.push_back(run.GetAdjustedRealTime());
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto floor = times_.find("Floor_memcpy");
        if (floor == times_.end() || floor->second.cpu.empty()) {
            std::printf("no memcpy floor in this run: no ratios\n");
            return;
        }
        constexpr double NoisySpread = 15;
        bool noisy = false;
        const double floorCpu = median(floor->second.cpu);
        const double floorReal = median(floor->second.real);
        const std::map<std::string, double> targets = {
            {"DrawRoad", 1.2}, {"DarkenFrame", 1.5}, {"BlitFullScreen", 2.5}, {"WholeFrame", 4.0}};
        std::printf("\nmedians of %zu repetitions; spread: middle half of the repetitions around the median\n",
                    floor->second.cpu.size());
        std::printf("%-24s %10s %8s %10s %11s %8s\n", "benchmark", "cpu ns", "spread", "x memcpy", "x (wall)",
                    "target");
        // In the order the benchmarks are declared, whatever order they ran in.
        std::vector<std::pair<std::string, Times>> rows(times_.begin(), times_.end());
        std::sort(rows.begin(), rows.end(),
                  [](const auto& a, const auto& b) { return a.second.order < b.second.order; });
        for (const auto& [name, t] : rows) {
            if (!t.error.empty() || t.cpu.empty()) {
                std::printf("%-24s failed: %s\n", name.c_str(), t.error.c_str());
                continue;
            }
            const double cpu = median(t.cpu);
            const double spread = (quantile(t.cpu, 0.75) - quantile(t.cpu, 0.25)) / cpu * 100;
            const double ratio = cpu / floorCpu;
            const auto target = targets.find(name);
            char verdict[32] = "";
            if (target != targets.end())
                std::snprintf(verdict, sizeof verdict, "%s %.1f", ratio <= target->second ? "met" : "MISSED",
                              target->second);
            std::printf("%-24s %10.0f %7.1f%% %10.2f %11.2f %8s\n", name.c_str(), cpu, spread, ratio,
                        median(t.real) / floorReal, verdict);
            // The tiny ones vary more by nature; the floor and the targets count.
            if (target != targets.end() || name == "Floor_memcpy")
                noisy = noisy || spread > NoisySpread;
        }
        if (noisy)
            std::printf(
                "the floor or a target spread over %.0f%%: the machine was busy; run again when it is quiet\n",
                NoisySpread);
    }

private:
    struct Times {
        std::pair<std::int64_t, std::int64_t> order;
        std::vector<double> cpu, real;
        std::string error;
    };
    std::map<std::string, Times> times_;
};

} // namespace

BENCHMARK(Floor_memcpy);
BENCHMARK(Floor_memset);
BENCHMARK(DrawRoad);
BENCHMARK(DarkenFrame);
BENCHMARK_CAPTURE(BlitSprite, inside, 100, 80);
BENCHMARK_CAPTURE(BlitSprite, half_outside, 305, 80);
BENCHMARK_CAPTURE(BlitSprite, outside, 400, 80);
BENCHMARK(BlitFullScreen);
BENCHMARK(DrawScore);
BENCHMARK(UpdateTraffic300);
BENCHMARK(DrawTraffic300);
BENCHMARK(WholeFrame);

int main(int argc, char** argv) {
    // Defaults for a robust run, each one overridden by the same flag given
    // on the command line (a later flag wins).
    std::vector<char*> args{argv[0]};
    std::string defaults[] = {"--benchmark_repetitions=12", "--benchmark_enable_random_interleaving=true",
                              "--benchmark_min_time=0.1"};
    for (std::string& flag : defaults)
        args.push_back(flag.data());
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
