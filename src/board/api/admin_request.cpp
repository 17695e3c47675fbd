#include "board/api/admin_request.h"

#include "board/api/run_request.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <charconv>

namespace board::api {

namespace {

// A run's number as the API writes it: digits, no leading zero.
std::optional<long long> runNumber(std::string_view text) {
    long long value = 0;
    if (text.empty() || text.size() > 15 || text[0] == '0' ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return "";
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

} // namespace

// A reason is read by players and printed in terminals: text without
// control characters, of a sensible length.
AdminBody checkReason(std::string_view text) {
    AdminBody result;
    result.reason = trimmed(text);
    const std::string& reason = result.reason;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < reason.size(); ++i) {
        const auto c = static_cast<unsigned char>(reason[i]);
        if (c < 0x20 || c == 0x7F ||
            (c == 0xC2 && i + 1 < reason.size() && static_cast<unsigned char>(reason[i + 1]) < 0xA0)) {
            result.error = "reason may not contain control characters";
            return result;
        }
        characters += (c & 0xC0) != 0x80;
    }
    if (characters == 0 || characters > MaxReasonCharacters)
        result.error = "reason must be 1 to " + std::to_string(MaxReasonCharacters) + " characters long";
    return result;
}

AdminPath parseAdminPath(const std::string& path) {
    const std::string_view prefix = "/api/admin/";
    if (path.rfind(prefix, 0) != 0)
        return {};
    const std::string_view rest = std::string_view(path).substr(prefix.size());
    if (rest == "names/ban")
        return {AdminPath::Ban};
    if (rest == "names/unban")
        return {AdminPath::Unban};
    if (rest == "log")
        return {AdminPath::Log};
    const std::string_view runs = "runs/";
    if (rest.substr(0, runs.size()) != runs)
        return {};
    const std::string_view tail = rest.substr(runs.size());
    const std::size_t slash = tail.find('/');
    if (slash == std::string_view::npos)
        return {};
    const auto run = runNumber(tail.substr(0, slash));
    const std::string_view action = tail.substr(slash + 1);
    if (!run || (action != "hide" && action != "unhide"))
        return {};
    return {action == "hide" ? AdminPath::Hide : AdminPath::Unhide, *run};
}

AdminBody parseAdminBody(std::string_view body, bool takesName, bool takesReason) {
    AdminBody result;
    const nlohmann::json value = nlohmann::json::parse(body, nullptr, false);
    if (!value.is_object()) {
        result.error = value.is_discarded() ? "the body is not valid JSON" : "the body must be a JSON object";
        return result;
    }
    for (const auto& [field, wanted] : {std::pair{"name", takesName}, {"reason", takesReason}}) {
        if (!wanted)
            continue;
        const auto found = value.find(field);
        if (found == value.end() || !found->is_string()) {
            result.error = std::string("the field ") + field + " must be given as a string";
            return result;
        }
        (std::string(field) == "name" ? result.name : result.reason) = found->get<std::string>();
    }
    if (takesReason) {
        const AdminBody reason = checkReason(result.reason);
        result.reason = reason.reason;
        result.error = reason.error;
    }
    if (takesName && result.error.empty()) {
        // A name from before today's rules may still be banned: the loose check.
        const CheckedName name = checkName(result.name, false);
        result.name = name.name;
        result.error = name.error;
    }
    return result;
}

std::optional<std::string> bearerToken(std::string_view header) {
    const std::string_view scheme = "bearer ";
    if (header.size() <= scheme.size())
        return std::nullopt;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(header[i])) != scheme[i])
            return std::nullopt;
    std::string_view token = header.substr(scheme.size());
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ')
        token.remove_suffix(1);
    if (token.empty())
        return std::nullopt;
    return std::string(token);
}

} // namespace board::api
