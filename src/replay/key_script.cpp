#include "replay/key_script.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <sstream>

namespace replay {

namespace {

// The whole word as a number of type T, or false.
template <typename T>
bool parseWhole(const std::string& word, T& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end;
}

// Past any game: a million updates at 70 a second are four hours, and the
// largest long would overflow the headless platform's comparisons with it.
// Read as a long long: in the browser a long has 32 bits.
constexpr long long MaxUpdate = 1000000000000LL;
constexpr int MinCode = 1, MaxCode = 255;

} // namespace

std::vector<ScriptedKey> readKeyScript(std::istream& in, const std::string& name) {
    std::vector<ScriptedKey> keys;
    std::string line;
    for (long lineNumber = 1; std::getline(in, line); ++lineNumber) {
        line.erase(std::min(line.find('#'), line.size()));
        std::istringstream words(line);
        std::string update, code;
        if (!(words >> update))
            continue;
        const std::string where = name + ":" + std::to_string(lineNumber) + ": ";
        if (!(words >> code))
            throw KeyScriptError(where + "a key needs an update number and a code");
        ScriptedKey key;
        long long at = 0;
        if (!parseWhole(update, at))
            throw KeyScriptError(where + "not an update number: " + update);
        if (at < 0 || at > MaxUpdate)
            throw KeyScriptError(where + "the update number must be from 0 to 10^12: " + update);
        // Where a long is narrower, an update it cannot hold is one no game
        // reaches either.
        key.update = static_cast<long>(std::min<long long>(at, std::numeric_limits<long>::max()));
        if (!parseWhole(code, key.code))
            throw KeyScriptError(where + "not a key code: " + code);
        if (key.code < MinCode || key.code > MaxCode)
            throw KeyScriptError(where + "the key code must be from 1 to 255: " + code);
        for (std::string flag; words >> flag;) {
            if (flag == "shift")
                key.shift = true;
            else if (flag == "alt")
                key.alt = true;
            else if (flag == "ctrl")
                key.control = true;
            else
                throw KeyScriptError(where + "unknown flag " + flag);
        }
        keys.push_back(key);
    }
    if (in.bad())
        throw KeyScriptError(name + ": cannot be read");
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.update < b.update; });
    return keys;
}

std::string keyScriptLine(const ScriptedKey& key) {
    std::string line = std::to_string(key.update) + " " + std::to_string(key.code);
    if (key.shift)
        line += " shift";
    if (key.alt)
        line += " alt";
    if (key.control)
        line += " ctrl";
    return line;
}

} // namespace replay
