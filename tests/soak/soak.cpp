// Whole games of random keys on the headless platform, back to back in one
// process, until they add up to the frames asked for. The game's records are
// put back to their starting values between games, as a new process would
// have them. Prints the figures; fails when memory keeps growing.
//   soak SOURCE_DIR [FRAMES]
#include "display/headless/headless.h"
#include "game/game_state.h"
#include "game/random.h"
#include "game/run_game.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Resident memory of this process in kB.
long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// A small generator of the test's own, apart from the game's.
struct Dice {
    unsigned state;
    unsigned next(unsigned n) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % n;
    }
};

ptc::headless::Script randomGame(Dice& dice) {
    ptc::headless::Script script;
    const int codes[] = {37, 38, 39, 40, 38, 40, 32, 65};
    script.keys.push_back({272, 13, false, false, false});
    long update = 272;
    // Keys every few frames; rarely an Escape that ends the game early.
    while (update < 40000) {
        update += 1 + dice.next(25);
        const int code = dice.next(300) == 0 ? 27 : codes[dice.next(8)];
        script.keys.push_back({update, code, dice.next(5) == 0, false, false});
    }
    script.keys.push_back({1000000000L, 32, false, false, false}); // ends the game-over screen
    script.maxUpdates = 60000;
    return script;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: soak SOURCE_DIR [FRAMES]\n");
        return 2;
    }
    std::filesystem::current_path(argv[1]);
    const long target = argc > 2 ? std::atol(argv[2]) : 1000000;
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    Dice dice{2024};
    long frames = 0, games = 0, crashes = 0, escapes = 0, baseline = -1, peak = 0;
    while (frames < target) {
        vexlo::gameState = vexlo::GameState{};
        vexlo::setRandomState(1 + static_cast<unsigned>(games) * 7919u);
        ptc::headless::start(randomGame(dice));
        const int status = vexlo::runGame();
        if (status != 0) {
            std::fprintf(stderr, "game %ld ended with status %d\n", games, status);
            return 1;
        }
        frames += ptc::headless::updates();
        ++games;
        crashes += vexlo::gameState.crashed;
        escapes += vexlo::gameState.crashed == 0;
        const long rss = residentKb();
        if (baseline < 0 && frames >= target / 10)
            baseline = rss; // after the first tenth, once every buffer has its size
        if (rss > peak)
            peak = rss;
    }
    const long final = residentKb();
    const long growth = final - baseline;
    std::printf("soak: %ld games, %ld frames, %ld crashes, %ld ended by Escape\n", games, frames, crashes,
                escapes);
    std::printf(
        "soak: resident memory %ld kB after the first tenth, %ld kB at the end (peak %ld kB, growth %ld kB)\n",
        baseline, final, peak, growth);
    // A leak of even a few bytes a frame would show as megabytes here.
    if (growth > 4096) {
        std::fprintf(stderr, "soak: memory grew by %ld kB\n", growth);
        return 1;
    }
    return 0;
}
