// What a client sends to submit a run, checked before anything is stored:
// a JSON object {"name": "...", "keys": "...", "player_key": "..."}, the
// player's key optional.
#pragma once

#include "replay/race.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace board::api {

constexpr std::size_t MaxNameCharacters = 24;

struct RunRequest {
    std::string name;  // trimmed
    std::string keys;  // exactly as sent
    replay::Race race; // the one its keys name
    std::optional<std::string> playerKey;
    std::string error; // why it is refused, in words a client reads; empty when taken
};

RunRequest parseRunRequest(std::string_view body);

struct CheckedName {
    std::string name; // trimmed of white space at both ends
    std::string error;
};

// 1 to 24 characters of UTF-8 after trimming, without control characters
// or markup, and (when strict) none of what names::nameRefusal refuses.
CheckedName checkName(std::string_view name, bool strict = true);

// Why a run of that race is not taken at `now`, or empty: a daily race is
// open from the start of its day (UTC) until 24 hours after its end, so
// that a game begun late in the day can still be sent.
std::string raceClosed(const replay::Race& race, std::chrono::system_clock::time_point now);

} // namespace board::api
