// What a client sends to submit a run, checked before anything is stored:
// a JSON object {"name": "...", "keys": "..."}.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace board::api {

constexpr std::size_t MaxNameCharacters = 24;

struct RunRequest {
    std::string name;                     // trimmed
    std::string keys;                     // exactly as sent
    std::optional<std::string> playerKey; // "player_key", when sent as a string
    std::string error;                    // why it is refused, in words a client reads; empty when taken
};

RunRequest parseRunRequest(std::string_view body);

struct CheckedName {
    std::string name; // trimmed of white space at both ends
    std::string error;
};

// 1 to 24 characters of UTF-8 after trimming, without control characters
// or markup.
CheckedName checkName(std::string_view name);

} // namespace board::api
