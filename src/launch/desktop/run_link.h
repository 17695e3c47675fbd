// A link to a run of a score server, as the page shares it
// (http://HOST/index.html#run=N, with &board=URL where the page is hosted
// away from its server), and the run's key script fetched through it for
// --watch.
#pragma once

#include "launch/desktop/http_client.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexlo {

// Whether the argument of --watch is a link rather than a file.
bool isLink(std::string_view text);

struct RunLink {
    std::string board; // the server's address, ending in '/'
    long id = 0;
};

// The link's run and server; nothing, with `problem` set, when it names none.
std::optional<RunLink> parseRunLink(std::string_view url, std::string& problem);

// The run's key script, as the server holds it; empty, with `problem` set
// in a player's words, when it cannot be had (an unknown or hidden run, a
// server that does not answer).
std::string fetchRunKeys(HttpClient& http, const RunLink& link, std::string& problem);

} // namespace vexlo
