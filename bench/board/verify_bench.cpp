// How fast a worker verifies a game in play, against the replay tool (which
// hashes every frame) measured in the same run.
//
//   verify_bench --replay BUILD/replay [--rounds N]      (run from the game's folder)
//
// Both play two scripts many times: a game at speed 1 to its game-over
// screen, and one that ends on the title. The difference of their updates
// over the difference of their processor times is the rate of play alone,
// without start-up, picture loading and intro.
#include "board/verify/verifier.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

replay::KeyScript script(const std::string& text) {
    std::istringstream in(text);
    return replay::readKeyScript(in, "bench");
}

// Processor seconds of one verification and the updates it made.
std::pair<double, long> timeVerify(const std::string& keys) {
    const double before = childCpuSeconds();
    const board::Verdict verdict = board::verify(script(keys), {});
    if (verdict.outcome == board::Outcome::Failed) {
        std::fprintf(stderr, "verify_bench: %s\n", verdict.reason.c_str());
        std::exit(1);
    }
    return {childCpuSeconds() - before, verdict.updates};
}

double timeReplay(const std::string& replay, const std::string& keysFile, const std::string& out) {
    const double before = childCpuSeconds();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execl(replay.c_str(), replay.c_str(), "--keys", keysFile.c_str(), "--out", out.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
        std::fprintf(stderr, "verify_bench: %s failed\n", replay.c_str());
        std::exit(1);
    }
    return childCpuSeconds() - before;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string replay;
    int rounds = 15;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--replay")
            replay = argv[i + 1];
        else if (arg == "--rounds")
            rounds = std::max(3, std::atoi(argv[i + 1]));
    }
    if (replay.empty()) {
        std::fprintf(stderr, "usage: verify_bench --replay PATH [--rounds N]\n");
        return 2;
    }
    const std::string game = "272 13\n", title = "";
    char folder[] = "/tmp/verify-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string dir = folder;
    std::ofstream(dir + "/game.keys") << game;
    std::ofstream(dir + "/title.keys") << title;

    std::vector<double> verifyGame, verifyTitle, replayGame, replayTitle;
    long gameUpdates = 0, titleUpdates = 0;
    for (int r = 0; r < rounds; ++r) {
        const auto [g, gu] = timeVerify(game);
        const auto [t, tu] = timeVerify(title);
        verifyGame.push_back(g);
        verifyTitle.push_back(t);
        gameUpdates = gu;
        titleUpdates = tu;
        replayGame.push_back(timeReplay(replay, dir + "/game.keys", dir + "/out"));
        replayTitle.push_back(timeReplay(replay, dir + "/title.keys", dir + "/out"));
    }
    std::system(("rm -rf " + dir).c_str());

    const double played = static_cast<double>(gameUpdates - titleUpdates);
    const double verifyRate = played / (median(verifyGame) - median(verifyTitle));
    const double replayRate = played / (median(replayGame) - median(replayTitle));
    std::printf(
        "game in play: %ld updates (the whole game %ld, intro and title %ld), %d rounds, medians of processor "
        "time\n",
        gameUpdates - titleUpdates, gameUpdates, titleUpdates, rounds);
    std::printf("verification: %.0f updates/s on one core (whole game %.1f ms)\n", verifyRate,
                1000 * median(verifyGame));
    std::printf("replay tool:  %.0f updates/s on one core (whole game %.1f ms)\n", replayRate,
                1000 * median(replayGame));
    std::printf("ratio verification / replay tool: %.1f\n", verifyRate / replayRate);
    std::printf("target >= 30000 updates/s: %s\n", verifyRate >= 30000 ? "met" : "NOT met");
    return 0;
}
