#include "board/api/query.h"

#include "board/api/static_files.h"

#include <charconv>
#include <sstream>

namespace board::api {

namespace {

// Run numbers and offsets stay far below what a bigint holds.
constexpr std::size_t MaxDigits = 15;

bool digitsOnly(const std::string& text) {
    return !text.empty() && text.size() <= MaxDigits && text.find_first_not_of("0123456789") == std::string::npos;
}

bool wholeNumber(const std::string& text, long long& value) {
    return digitsOnly(text) && std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc();
}

} // namespace

ApiPath parseApiPath(const std::string& path) {
    const std::string prefix = "/api/";
    if (path.rfind(prefix, 0) != 0 && path != "/api")
        return {};
    const std::string rest = path.size() > prefix.size() ? path.substr(prefix.size()) : "";
    if (rest == "runs")
        return {ApiPath::Runs, ""};
    if (rest == "board")
        return {ApiPath::Board, ""};
    if (rest == "health")
        return {ApiPath::Health, ""};
    if (rest.rfind("runs/", 0) == 0) {
        std::string id = rest.substr(5);
        ApiPath::Kind kind = ApiPath::Run;
        const std::string keys = "/keys";
        if (id.size() > keys.size() && id.compare(id.size() - keys.size(), keys.size(), keys) == 0) {
            id.erase(id.size() - keys.size());
            kind = ApiPath::RunKeys;
        }
        // One spelling a run: no leading zero (/api/runs/01 is no run).
        if (digitsOnly(id) && id.front() != '0')
            return {kind, id};
    }
    return {ApiPath::Unknown, ""};
}

BoardQuery parseBoardQuery(const std::string& query) {
    BoardQuery result;
    bool seenLimit = false, seenOffset = false, seenRace = false, seenDate = false;
    std::string race = "classic", date;
    std::istringstream parts(query);
    for (std::string part; std::getline(parts, part, '&');) {
        const std::size_t equals = part.find('=');
        const auto name = percentDecode(part.substr(0, equals), true);
        const auto value = percentDecode(equals == std::string::npos ? "" : part.substr(equals + 1), true);
        if (!name || !value) {
            result.error = "the query has a bad %-escape";
            return result;
        }
        if (*name != "limit" && *name != "offset" && *name != "race" && *name != "date")
            continue; // not ours
        bool& seen = *name == "limit"    ? seenLimit
                     : *name == "offset" ? seenOffset
                     : *name == "race"   ? seenRace
                                         : seenDate;
        if (seen) {
            result.error = *name + " is given twice";
            return result;
        }
        seen = true;
        if (*name == "limit" && (!wholeNumber(*value, result.limit) || result.limit < 1 || result.limit > 100)) {
            result.error = "limit must be a whole number from 1 to 100";
            return result;
        }
        if (*name == "offset" && !wholeNumber(*value, result.offset)) {
            result.error = "offset must be a whole number from 0 (at most 15 digits)";
            return result;
        }
        if (*name == "race")
            race = *value;
        if (*name == "date")
            date = *value;
    }
    if (race == "classic") {
        if (seenDate)
            result.error = "date goes with race=daily";
        return result;
    }
    if (race != "daily") {
        result.error = "race must be classic or daily";
        return result;
    }
    if (!seenDate) {
        result.error = "date is required with race=daily";
        return result;
    }
    const std::optional<replay::Race> daily = replay::raceNamed("daily " + date);
    if (!daily)
        result.error = "date must be a day YYYY-MM-DD from " + replay::dayText(replay::FirstDailyRace);
    else
        result.race = *daily;
    return result;
}

} // namespace board::api
