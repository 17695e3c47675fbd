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

struct FetchedRun {
    std::string keys;  // its key script, as the server holds it
    std::string about; // whose run it is, for the window's title: "Ann: 1200 points, rank 3, classic race"
};

// The run, through its link; empty keys, with `problem` set in a player's
// words, when it cannot be had (an unknown or hidden run, a server that
// does not answer).
FetchedRun fetchRun(HttpClient& http, const RunLink& link, std::string& problem);

} // namespace vexlo
