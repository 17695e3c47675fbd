// What an operator sends to the admin routes, checked before anything is
// done: the path (which action, which run), the JSON body ({"reason"},
// {"name", "reason"}, {"name"}) and the bearer token.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace board::api {

struct AdminPath {
    enum Kind { Unknown, Hide, Unhide, Ban, Unban, Log } kind = Unknown;
    long long run = 0; // for Hide and Unhide
};

// path: the target before '?', still percent-encoded, starting /api/admin/.
AdminPath parseAdminPath(const std::string& path);

constexpr std::size_t MaxReasonCharacters = 200;

struct AdminBody {
    std::string name, reason; // trimmed
    std::string error;        // why it is refused; empty when taken
};

// A reason (or a token's note), trimmed: 1 to 200 characters without
// control characters; the error says why not.
AdminBody checkReason(std::string_view reason);

// The fields the action takes, each required.
AdminBody parseAdminBody(std::string_view body, bool takesName, bool takesReason);

// The token of "Authorization: Bearer TOKEN"; nothing for anything else.
std::optional<std::string> bearerToken(std::string_view header);

} // namespace board::api
