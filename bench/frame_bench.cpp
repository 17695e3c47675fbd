// How fast the drawing and the frame loop are, each as a ratio to the cost
// of copying one frame with memcpy, measured in the same run.
#include "display/headless/headless.h"
#include "display/ptc.h"
#include "game/frame_loop.h"
#include "game/game_state.h"
#include "game/traffic.h"
#include "render/frame_buffer.h"
#include "render/image_assets.h"
#include "render/scene.h"

#include <benchmark/benchmark.h>

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

std::vector<Pixel> frame(FramePixels, 0u);
std::vector<Pixel> source(FramePixels, 0x00102030u);

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
// 300 cars spread over the road, none touching the player.
void fillTraffic() {
    for (int i = 0; i < MaxEnemies; ++i) {
        trafficTable.enemyX[i] = 60.0f + static_cast<float>(i % 26) * 10.0f;
        trafficTable.enemyY[i] = (i * 7) % SpawnRows;
    }
}
void UpdateTraffic300(benchmark::State& state) {
    gameState = GameState{};
    gameState.playerY = 0;
    gameState.speed = 1;
    for (auto _ : state) {
        state.PauseTiming();
        fillTraffic();
        state.ResumeTiming();
        updateTraffic();
        benchmark::ClobberMemory();
    }
}
void DrawTraffic300(benchmark::State& state) {
    pictures();
    fillTraffic();
    for (auto _ : state) {
        drawTraffic(frame.data());
        benchmark::ClobberMemory();
    }
}
// A whole frame of play on the headless platform with ten cars on the road.
void WholeFrame(benchmark::State& state) {
    pictures();
    ptc::headless::Script script;
    script.maxUpdates = 1L << 60;
    ptc::headless::start(std::move(script));
    ptc::Display display;
    ptc::PixelFormat format(32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0u);
    display.open("bench", format, 0);
    ptc::Surface surface(320, 200, format);
    gameState = GameState{};
    gameState.playerY = 0;
    clearTraffic();
    int running = 1;
    for (auto _ : state) {
        state.PauseTiming();
        clearTraffic();
        for (int i = 0; i < 10; ++i) {
            trafficTable.enemyX[i] = 60.0f + static_cast<float>(i) * 25.0f;
            trafficTable.enemyY[i] = 40 + i * 12;
        }
        state.ResumeTiming();
        playFrame(surface, display, running);
    }
    display.close();
}

// Collects each benchmark's time per iteration and prints, after the usual
// table, each one as a ratio to the memcpy floor.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                order_.emplace_back(run.benchmark_name(), run.GetAdjustedRealTime());
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        double floor = 0;
        for (const auto& [name, time] : order_)
            if (name == "Floor_memcpy")
                floor = time;
        if (floor <= 0)
            return;
        const std::map<std::string, double> targets = {
            {"DrawRoad", 1.2}, {"DarkenFrame", 1.5}, {"BlitFullScreen", 2.5}, {"WholeFrame", 4.0}};
        std::printf("\n%-28s %12s %10s %8s\n", "benchmark", "ns", "x memcpy", "target");
        for (const auto& [name, time] : order_) {
            const auto t = targets.find(name);
            std::printf("%-28s %12.0f %10.2f %8s\n", name.c_str(), time, time / floor,
                        t == targets.end() ? "" : (time / floor <= t->second ? "met" : "MISSED"));
        }
    }

private:
    std::vector<std::pair<std::string, double>> order_;
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
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
