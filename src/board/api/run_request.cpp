#include "board/api/run_request.h"

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

// C0, DEL and C1, the line and paragraph separators, and the marks and
// overrides that reorder text around them.
bool isControl(std::uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Takes the top-level object's "name" and "keys" as they stream past;
// other fields are skipped, however deep, up to a limit.
struct RunSax : nlohmann::json_sax<json> {
    static constexpr int MaxDepth = 32;
    int depth = 0;
    std::string field;
    bool haveName = false, haveKeys = false;
    RunRequest run;

    bool refuse(std::string why) {
        if (run.error.empty())
            run.error = std::move(why);
        return false;
    }
    bool value(const char* kind) {
        if (depth == 0)
            return refuse("the body must be a JSON object");
        if (depth == 1 && (field == "name" || field == "keys"))
            return refuse(field + " must be a string, not " + kind);
        return true;
    }
    bool null() override { return value("null"); }
    bool boolean(bool) override { return value("a boolean"); }
    bool number_integer(number_integer_t) override { return value("a number"); }
    bool number_unsigned(number_unsigned_t) override { return value("a number"); }
    bool number_float(number_float_t, const string_t&) override { return value("a number"); }
    bool binary(binary_t&) override { return value("binary data"); }
    bool string(string_t& text) override {
        if (depth == 1 && field == "player_key")
            return run.playerKey = std::move(text), true;
        if (depth != 1 || (field != "name" && field != "keys"))
            return value("a string");
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
        bool& seen = name == "name" ? haveName : haveKeys;
        if ((name == "name" || name == "keys") && seen)
            return refuse("the field " + name + " is given twice");
        if (name == "name" || name == "keys")
            seen = true;
        field = name;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override {
        return refuse("the body is not valid JSON (at byte " + std::to_string(position) + ")");
    }
};

std::string checkKeys(const std::string& keys) {
    if (keys.find('\0') != std::string::npos)
        return "keys may not contain the character NUL";
    std::istringstream in(keys);
    try {
        replay::readKeyScript(in, "keys");
    } catch (const replay::KeyScriptError& error) {
        return std::string("keys are not a key script: ") + error.what();
    }
    return "";
}

} // namespace

CheckedName checkName(std::string_view name) {
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
    return {std::string(name.substr(begin, end - begin)), ""};
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
    run.error = name.error.empty() ? checkKeys(run.keys) : name.error;
    return run;
}

} // namespace board::api
