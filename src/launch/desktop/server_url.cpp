#include "launch/desktop/server_url.h"

namespace vexlo {

namespace {

constexpr std::size_t MaxUrlLength = 200;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

} // namespace

std::string serverUrlProblem(std::string_view url) {
    if (url.size() > MaxUrlLength)
        return "an address of at most " + std::to_string(MaxUrlLength) + " characters";
    // Only printable ASCII: anything else would have to be encoded first.
    for (const char c : url)
        if (c <= ' ' || c > '~' || c == '"' || c == '\\')
            return "not an address: '" + std::string(url.substr(0, 60)) + "'";
    std::string_view rest;
    if (startsWith(url, "http://"))
        rest = url.substr(7);
    else if (startsWith(url, "https://"))
        rest = url.substr(8);
    else
        return "not an http:// or https:// address: '" + std::string(url.substr(0, 60)) + "'";
    if (rest.empty() || rest[0] == '/' || rest[0] == ':' || rest.find_first_of("?#@") != std::string_view::npos)
        return "no host in '" + std::string(url) + "'";
    return {};
}

std::string withScheme(std::string_view url) {
    if (url.empty() || url.find("://") != std::string_view::npos)
        return std::string(url);
    return "http://" + std::string(url);
}

std::string serverAddress(std::string_view base, std::string_view path) {
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    return std::string(base) + std::string(path);
}

} // namespace vexlo
