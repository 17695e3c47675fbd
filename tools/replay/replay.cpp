// Runs the real game on the headless platform with keys from a script, and
// writes down every frame it shows, every sound call and every message, so
// that whole games can be checked exactly.
//
//   replay --keys FILE --out DIR [--max-updates N] [--dump LIST] [--start-score N]
//
// FILE: lines "U CODE [shift] [alt] [ctrl]" and # comments; the key is
// waiting right after the U-th update. --dump 71,300 also writes
// DIR/frame-71.raw and DIR/frame-300.raw. --start-score is for tests: it
// starts the game with that score, to reach long-run figures quickly.
#include "display/headless/headless.h"
#include "game/game_state.h"
#include "game/run_game.h"
#include "sound/fsound.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

namespace {

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

std::vector<ptc::headless::ScriptedKey> readKeyScript(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        usage("cannot read key script " + path);
    std::vector<ptc::headless::ScriptedKey> keys;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string update, code;
        if (!(words >> update))
            continue;
        const std::string where = path + ":" + std::to_string(lineNumber);
        if (!(words >> code))
            usage(where + ": a key needs an update number and a code");
        ptc::headless::ScriptedKey key;
        key.update = parseNumber(update, where);
        key.code = static_cast<int>(parseNumber(code, where));
        for (std::string flag; words >> flag;) {
            if (flag == "shift")
                key.shift = true;
            else if (flag == "alt")
                key.alt = true;
            else if (flag == "ctrl")
                key.control = true;
            else
                usage(where + ": unknown flag " + flag);
        }
        keys.push_back(key);
    }
    // Keys arrive by update number; keys of the same update keep the file's order.
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.update < b.update; });
    return keys;
}

std::set<long> parseDumpList(const std::string& list) {
    std::set<long> numbers;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty())
            numbers.insert(parseNumber(item, "--dump"));
    return numbers;
}

// 64-bit FNV-1a of the pixels, each taken as 4 bytes little-endian.
std::uint64_t frameHash(const std::uint32_t* pixels, std::size_t count) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b) {
            hash ^= (pixels[i] >> (8 * b)) & 0xFFu;
            hash *= 0x100000001b3ull;
        }
    return hash;
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
    bool startScoreGiven = false;
    long startScore = 0;
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
        else if (arg == "--start-score") {
            startScore = parseNumber(value, arg);
            startScoreGiven = true;
        } else
            usage("unknown option " + arg);
    }
    if (keysPath.empty() || outDir.empty())
        usage("--keys and --out are required");

    // The real sound layer runs, but never aloud.
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    std::ofstream frames = openOutput(outDir + "/frames.txt");
    soundLog = openOutput(outDir + "/sound.txt");
    soundLayerSetTrace(logSoundCall);

    ptc::headless::Script script;
    script.keys = readKeyScript(keysPath);
    script.maxUpdates = maxUpdates;
    script.onUpdate = [&](long n, const std::uint32_t* shown) {
        char line[64];
        std::snprintf(line, sizeof line, "%ld %016llx\n", n,
                      static_cast<unsigned long long>(frameHash(shown, 320 * 200)));
        frames << line;
        if (dumps.count(n)) {
            std::ofstream raw = openOutput(outDir + "/frame-" + std::to_string(n) + ".raw");
            for (std::size_t i = 0; i < 320 * 200; ++i) {
                const char bytes[4] = {static_cast<char>(shown[i] & 0xFF), static_cast<char>((shown[i] >> 8) & 0xFF),
                                       static_cast<char>((shown[i] >> 16) & 0xFF),
                                       static_cast<char>((shown[i] >> 24) & 0xFF)};
                raw.write(bytes, 4);
            }
        }
    };
    ptc::headless::start(std::move(script));
    if (startScoreGiven)
        vexlo::gameState.score = static_cast<int>(startScore);

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
