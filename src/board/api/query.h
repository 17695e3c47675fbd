// The parts of a request's address the API reads: which path, and the
// board's race (race=classic, the default, or race=daily&date=YYYY-MM-DD),
// limit and offset.
#pragma once

#include "replay/race.h"

#include <string>

namespace board::api {

struct ApiPath {
    enum Kind { NotApi, Unknown, Runs, Run, RunKeys, Board, Health } kind = NotApi;
    std::string id; // the run's number, digits only, for Run and RunKeys
};

// path: the target before '?', still percent-encoded.
ApiPath parseApiPath(const std::string& path);

struct BoardQuery {
    replay::Race race;
    long long limit = 20, offset = 0;
    std::string error; // why the query is refused
};

BoardQuery parseBoardQuery(const std::string& query);

} // namespace board::api
