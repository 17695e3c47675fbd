// Runs the real game on the headless platform with keys from a script, and
// writes down every frame it shows, every sound call and every message, so
// that whole games can be checked exactly.
//
//   replay --keys FILE --out DIR [--max-updates N] [--dump LIST] [--start-score N]
//
// FILE: lines "U CODE [shift] [alt] [ctrl]" and # comments; the key is
// waiting right after the U-th update. A first line "race daily
// YYYY-MM-DD" plays that day's race instead of the classic one. --dump 71,300 also writes
// DIR/frame-71.raw and DIR/frame-300.raw. --start-score is for tests: it
// starts the game with that score, to reach long-run figures quickly.
#include "display/headless/headless.h"
#include "game/run_game.h"
#include "ptc/ptc.h"
#include "replay/frame_hash.h"
#include "replay/key_script.h"
#include "sound/fsound.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <system_error>

namespace {

static_assert(vexlo::GameStart{}.randomState == replay::ClassicRandomState, "the classic race is a new process's");

[[noreturn]] void usage(const std::string& problem) {
    std::cerr << "replay: " << problem << "\n"
              << "usage: replay --keys FILE --out DIR [--max-updates N] [--dump LIST] [--start-score N]\n";
    std::exit(2);
}

long parseNumber(const std::string& text, const std::string& what) {
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used);
        if (used == text.size())
            return value;
    } catch (const std::exception&) {
    }
    usage("not a number for " + what + ": " + text);
}

replay::KeyScript readKeyScript(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        usage("cannot read key script " + path);
    try {
        return replay::readKeyScript(in, path);
    } catch (const replay::KeyScriptError& error) {
        usage(error.what());
    }
}

std::set<long> parseDumpList(const std::string& list) {
    std::set<long> numbers;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty())
            numbers.insert(parseNumber(item, "--dump"));
    return numbers;
}

// A score the game can hold: from 0 up to its wrap (a larger one would
// overflow in the first frame).
int parseStartScore(const std::string& text) {
    const long value = parseNumber(text, "--start-score");
    if (value < 0 || value > vexlo::HighestStartScore)
        usage("--start-score must be from 0 to " + std::to_string(vexlo::HighestStartScore) + ": " + text);
    return static_cast<int>(value);
}

// The output folder, made with its parents when missing.
void makeOutputFolder(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        usage("cannot create " + dir + ": " + error.message());
}

std::ofstream openOutput(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    if (!out)
        usage("cannot write " + path);
    return out;
}

std::ofstream soundLog;

void logSoundCall(const char* call) { soundLog << ptc::headless::updates() << ' ' << call << '\n'; }

} // namespace

int main(int argc, char** argv) {
    std::string keysPath, outDir;
    long maxUpdates = 100000;
    std::set<long> dumps;
    vexlo::GameStart start;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            usage("missing value after " + arg);
        const std::string value = argv[++i];
        if (arg == "--keys")
            keysPath = value;
        else if (arg == "--out")
            outDir = value;
        else if (arg == "--max-updates")
            maxUpdates = parseNumber(value, arg);
        else if (arg == "--dump")
            dumps = parseDumpList(value);
        else if (arg == "--start-score")
            start.score = parseStartScore(value);
        else
            usage("unknown option " + arg);
    }
    if (keysPath.empty() || outDir.empty())
        usage("--keys and --out are required");

    // The real sound layer runs, but never aloud.
    if (std::getenv("SDL_AUDIODRIVER") == nullptr)
        putenv(const_cast<char*>("SDL_AUDIODRIVER=dummy"));

    ptc::headless::Script script;
    replay::KeyScript keys = readKeyScript(keysPath);
    script.keys = std::move(keys.keys);
    start.randomState = keys.race.randomState();
    makeOutputFolder(outDir);
    std::ofstream frames = openOutput(outDir + "/frames.txt");
    soundLog = openOutput(outDir + "/sound.txt");
    soundLayerSetTrace(logSoundCall);

    script.maxUpdates = maxUpdates;
    script.onUpdate = [&](long n, const std::uint32_t* shown) {
        frames << replay::frameLine(n, shown) << '\n';
        if (dumps.count(n)) {
            std::ofstream raw = openOutput(outDir + "/frame-" + std::to_string(n) + ".raw");
            for (std::size_t i = 0; i < static_cast<std::size_t>(ptc::DisplayWidth) * ptc::DisplayHeight; ++i) {
                const char bytes[4] = {
                    static_cast<char>(shown[i] & 0xFF), static_cast<char>((shown[i] >> 8) & 0xFF),
                    static_cast<char>((shown[i] >> 16) & 0xFF), static_cast<char>((shown[i] >> 24) & 0xFF)};
                raw.write(bytes, 4);
            }
        }
    };
    ptc::headless::start(std::move(script));
    vexlo::resetGame(start);

    const int status = vexlo::runGame();

    std::ofstream messages = openOutput(outDir + "/messages.txt");
    for (const std::string& m : ptc::headless::messages())
        messages << m << '\n';
    soundLayerSetTrace(nullptr);
    frames.close();
    soundLog.close();
    std::cout << "exit " << status << std::endl;
    return status;
}
