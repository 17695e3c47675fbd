// A recorded game sent to a score server (POST /api/runs) with the player's
// key, and its verdict waited for (GET /api/runs/N) and told in one line:
// "verified: rank R of T, score S", the server's reason for rejecting it
// (or the operators' for hiding it), or why no verdict came.
#pragma once

#include "launch/desktop/http_client.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace vexlo {

// The server takes names of 1 to 24 characters (after trimming) of valid
// UTF-8 without control characters; why name is not one, or empty.
std::string nameProblem(std::string_view name);

struct SubmitPacing {
    // The wait between two looks at the run grows from the first to the
    // longest; the verdict is given up on after the limit.
    std::chrono::milliseconds firstPoll{250};
    std::chrono::milliseconds longestPoll{2000};
    std::chrono::milliseconds verdictLimit{std::chrono::minutes(5)};
    std::function<void(std::chrono::milliseconds)> sleep; // the real one when empty
    std::function<void(long id)> queued;                  // told once the run is queued
};

struct SubmitOutcome {
    int status = 1;       // 0 when verified
    bool verdict = false; // the line is the server's verdict (for stdout), not a problem
    std::string line;
};

// playerKey may be empty: the run claims no name.
SubmitOutcome submitRun(HttpClient& http, const std::string& server, const std::string& name,
                        const std::string& keys, const std::string& playerKey, const SubmitPacing& pacing);

} // namespace vexlo
