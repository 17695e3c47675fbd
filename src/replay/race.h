// Which race a game is: the traffic it meets, set by where the game's
// random numbers start. The classic race starts them where a new process
// does, so every classic game meets the same cars; the daily race of a day
// starts them from that day written as the number YYYYMMDD (the race of
// 10 December 2026 from 20261210), so each day's traffic is new. A key
// script names its race in a first line "race daily YYYY-MM-DD"
// (key_script.h); without one it is the classic race.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace replay {

// A calendar day, UTC.
struct Day {
    int year = 0;
    int month = 0; // 1 to 12
    int day = 0;   // 1 to 31
    auto operator<=>(const Day&) const = default;
};

// Where the game's numbers start in a new process: the classic race.
constexpr std::uint32_t ClassicRandomState = 1;

// The first day with a daily race.
constexpr Day FirstDailyRace{2026, 1, 1};

// "YYYY-MM-DD" as a day of the calendar, or none.
std::optional<Day> parseDay(std::string_view text);
// The day as "YYYY-MM-DD".
std::string dayText(const Day& day);
// Today, in UTC.
Day today();
// The day before or after, in UTC.
Day dayAfter(const Day& day, int days);

struct Race {
    std::optional<Day> daily; // none: the classic race

    // Where the game's random numbers start (the game's GameStart).
    std::uint32_t randomState() const;
    // "classic" or "daily 2026-12-10", as the score server names it.
    std::string name() const;
    // "classic race" or "daily race 2026-12-10", in words.
    std::string words() const;
    // The key script's line for it, "race daily 2026-12-10"; empty for
    // the classic race, which needs none.
    std::string scriptLine() const;
    bool operator==(const Race&) const = default;
};

// A race by its name as name() gives it, or none.
std::optional<Race> raceNamed(std::string_view name);

} // namespace replay
