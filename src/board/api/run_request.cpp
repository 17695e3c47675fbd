#include "board/api/run_request.h"

#include "board/names/player_name.h"
#include "board/names/secret.h"
#include "replay/key_script.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <sstream>
#include <vector>

namespace board::api {

namespace {

using json = nlohmann::json;

constexpr std::uint32_t Invalid = 0xFFFFFFFF;

// The code points of text, or Invalid at the first byte that is not UTF-8
// (overlong forms, surrogates and values past U+10FFFF included).
std::vector<std::uint32_t> decode(std::string_view text) {
    std::vector<std::uint32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80                    ? 0
                          : lead >= 0xC2 && lead <= 0xDF ? 1
                          : lead >= 0xE0 && lead <= 0xEF ? 2
                          : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                         : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size())
            return {Invalid};
        std::uint32_t point = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return {Invalid};
            point = (point << 6) | (next & 0x3Fu);
        }
        const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (point < least[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return {Invalid};
        points.push_back(point);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return points;
}

bool isSpace(std::uint32_t c) {
    return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
           c == 0x3000 || c == 0xFEFF;
}

// C0, DEL and C1, and the line and paragraph separators. (The marks and
// overrides that reorder text are refused with the name's other rules.)
bool isControl(std::uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

// Takes the top-level object's "name", "keys" and "player_key" as they
// stream past; other fields are skipped, however deep, up to a limit.
struct RunSax : nlohmann::json_sax<json> {
    static constexpr int MaxDepth = 32;
    int depth = 0;
    std::string field;
    bool haveName = false, haveKeys = false, haveKey = false;
    RunRequest run;

    bool ours() const { return depth == 1 && (field == "name" || field == "keys" || field == "player_key"); }

    bool refuse(std::string why) {
        if (run.error.empty())
            run.error = std::move(why);
        return false;
    }
    bool value(const char* kind) {
        if (depth == 0)
            return refuse("the body must be a JSON object");
        if (ours())
            return refuse(field + " must be a string, not " + kind);
        return true;
    }
    bool null() override { return depth == 1 && field == "player_key" ? true : value("null"); }
    bool boolean(bool) override { return value("a boolean"); }
    bool number_integer(number_integer_t) override { return value("a number"); }
    bool number_unsigned(number_unsigned_t) override { return value("a number"); }
    bool number_float(number_float_t, const string_t&) override { return value("a number"); }
    bool binary(binary_t&) override { return value("binary data"); }
    bool string(string_t& text) override {
        if (!ours())
            return value("a string");
        if (field == "player_key")
            run.playerKey = std::move(text);
        else
            (field == "name" ? run.name : run.keys) = std::move(text);
        return true;
    }
    bool open(const char* kind) {
        if (depth == 0 && std::string(kind) == "an array")
            return refuse("the body must be a JSON object");
        if (depth >= 1 && !value(kind))
            return false;
        if (++depth > MaxDepth)
            return refuse("the body is nested too deeply");
        return true;
    }
    bool start_object(std::size_t) override { return open("an object"); }
    bool start_array(std::size_t) override { return open("an array"); }
    bool end_object() override { return --depth, true; }
    bool end_array() override { return --depth, true; }
    bool key(string_t& name) override {
        if (depth != 1)
            return true;
        field = name;
        if (!ours())
            return true;
        bool& seen = name == "name" ? haveName : name == "keys" ? haveKeys : haveKey;
        if (seen)
            return refuse("the field " + name + " is given twice");
        seen = true;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override {
        return refuse("the body is not valid JSON (at byte " + std::to_string(position) + ")");
    }
};

std::string checkKeys(const std::string& keys, replay::Race& race) {
    if (keys.find('\0') != std::string::npos)
        return "keys may not contain the character NUL";
    std::istringstream in(keys);
    try {
        race = replay::readKeyScript(in, "keys").race;
    } catch (const replay::KeyScriptError& error) {
        return std::string("keys are not a key script: ") + error.what();
    }
    return "";
}

} // namespace

CheckedName checkName(std::string_view name, bool strict) {
    std::vector<std::uint32_t> points = decode(name);
    if (!points.empty() && points.front() == Invalid)
        return {"", "name must be UTF-8"};
    for (std::uint32_t c : points) {
        if (isControl(c))
            return {"", "name may not contain control characters"};
        if (c == '<' || c == '>')
            return {"", "name may not contain markup (< or >)"};
    }
    std::size_t first = 0, last = points.size();
    while (first < last && isSpace(points[first]))
        ++first;
    while (last > first && isSpace(points[last - 1]))
        --last;
    if (last == first || last - first > MaxNameCharacters)
        return {"", "name must be 1 to 24 characters long, not counting spaces at its ends"};
    // Cut the bytes at the same places: count the bytes of the points dropped.
    std::size_t begin = 0, end = name.size(), seen = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((static_cast<unsigned char>(name[i]) & 0xC0) == 0x80)
            continue; // a continuation byte
        if (seen == first)
            begin = i;
        if (seen == last) {
            end = i;
            break;
        }
        ++seen;
    }
    const std::string trimmed(name.substr(begin, end - begin));
    if (std::string why = strict ? names::nameRefusal(trimmed) : ""; !why.empty())
        return {"", why};
    return {trimmed, ""};
}

RunRequest parseRunRequest(std::string_view body) {
    RunSax sax;
    const bool parsed = json::sax_parse(body.begin(), body.end(), &sax);
    RunRequest& run = sax.run;
    if (!parsed || !run.error.empty()) {
        if (run.error.empty())
            run.error = "the body is not valid JSON";
        return run;
    }
    if (!sax.haveName)
        run.error = "the field name is missing";
    else if (!sax.haveKeys)
        run.error = "the field keys is missing";
    if (!run.error.empty())
        return run;
    const CheckedName name = checkName(run.name);
    run.name = name.name;
    run.error = name.error.empty() ? checkKeys(run.keys, run.race) : name.error;
    if (run.error.empty() && run.playerKey && !names::isSecret(*run.playerKey))
        run.error = "player_key must be 32 bytes in base64url: 43 characters of A-Z, a-z, 0-9, - and _";
    return run;
}

std::string raceClosed(const replay::Race& race, std::chrono::system_clock::time_point now) {
    if (!race.daily)
        return "";
    using namespace std::chrono;
    const replay::Day& day = *race.daily;
    const sys_days opens{year_month_day{year(day.year), month(static_cast<unsigned>(day.month)),
                                        std::chrono::day(static_cast<unsigned>(day.day))}};
    const auto closes = opens + days(2);
    if (now >= opens && now < closes)
        return "";
    return "the daily race of " + replay::dayText(day) + " is not open";
}

} // namespace board::api
