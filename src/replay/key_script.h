// A game's keys, each with the update after which it arrives. The game
// draws the same random numbers every run, so its keys and their times
// describe a whole game: the replay tool plays such a script, and the
// window records and plays back games in the same form.
//
// One key a line: "UPDATE CODE [shift] [alt] [ctrl]", where the key is
// waiting right after the UPDATE-th Display::update and CODE is its
// KeyEvent code; '#' starts a comment; blank lines are skipped. UPDATE is
// from 0 to 10^12 and CODE from 1 to 255: anything else is refused.
#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace replay {

struct ScriptedKey {
    long update = 0; // the key is waiting right after this many updates
    int code = 0;
    bool shift = false, alt = false, control = false;
    bool operator==(const ScriptedKey&) const = default;
};

// A malformed line; the message starts with "NAME:LINE: ".
class KeyScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The keys of a script in the order they arrive: by update, and keys of the
// same update in the script's order. name is used in error messages.
std::vector<ScriptedKey> readKeyScript(std::istream& in, const std::string& name);

// The script line for one key, without its newline.
std::string keyScriptLine(const ScriptedKey& key);

} // namespace replay
