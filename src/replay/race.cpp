#include "replay/race.h"

#include <chrono>
#include <cstdio>

namespace replay {

namespace {

std::chrono::year_month_day calendar(const Day& day) {
    return {std::chrono::year(day.year), std::chrono::month(static_cast<unsigned>(day.month)),
            std::chrono::day(static_cast<unsigned>(day.day))};
}

Day fromCalendar(const std::chrono::year_month_day& date) {
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
}

// Exactly `count` ASCII digits from `at`, as a number; -1 otherwise.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::optional<Day> parseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const Day day{digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2)};
    if (day.year < 0 || day.month < 0 || day.day < 0 || !calendar(day).ok())
        return std::nullopt;
    return day;
}

std::string dayText(const Day& day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
    return text;
}

Day today() { return fromCalendar(std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())); }

Day dayAfter(const Day& day, int days) {
    return fromCalendar(std::chrono::sys_days(calendar(day)) + std::chrono::days(days));
}

std::uint32_t Race::randomState() const {
    if (!daily)
        return ClassicRandomState;
    return static_cast<std::uint32_t>(daily->year * 10000 + daily->month * 100 + daily->day);
}

std::string Race::name() const { return daily ? "daily " + dayText(*daily) : "classic"; }

std::string Race::words() const { return daily ? "daily race " + dayText(*daily) : "classic race"; }

std::string Race::scriptLine() const { return daily ? "race " + name() : ""; }

std::optional<Race> raceNamed(std::string_view name) {
    if (name == "classic")
        return Race{};
    constexpr std::string_view Daily = "daily ";
    if (name.substr(0, Daily.size()) != Daily)
        return std::nullopt;
    const std::optional<Day> day = parseDay(name.substr(Daily.size()));
    if (!day || *day < FirstDailyRace)
        return std::nullopt;
    return Race{day};
}

} // namespace replay
