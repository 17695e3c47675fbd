// The key-script reader on any bytes: it takes a script or refuses it with
// a KeyScriptError naming the line, and what it takes is in range, in
// order, and reads back the same from its own lines.
#include "replay/key_script.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    std::vector<replay::ScriptedKey> keys;
    try {
        keys = replay::readKeyScript(in, "fuzz");
    } catch (const replay::KeyScriptError& error) {
        if (std::string(error.what()).rfind("fuzz:", 0) != 0)
            std::abort();
        return 0;
    }
    std::string lines;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const replay::ScriptedKey& k = keys[i];
        if (k.update < 0 || k.update > 1000000000000L || k.code < 1 || k.code > 255)
            std::abort();
        if (i > 0 && keys[i - 1].update > k.update)
            std::abort();
        lines += replay::keyScriptLine(k) + "\n";
    }
    std::istringstream again(lines);
    if (replay::readKeyScript(again, "again") != keys)
        std::abort();
    return 0;
}
