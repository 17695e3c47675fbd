// The statements behind the API: submitting a run, reading one, its keys
// and the board.
#pragma once

#include "board/db/connection.h"

#include <optional>
#include <string>
#include <vector>

namespace board::db {

struct RunView {
    long long id = 0;
    std::string name, status;
    std::optional<long long> score, updates, rank; // only when verified
    std::optional<std::string> reason;             // only when rejected
};

struct BoardEntry {
    long long rank = 0, id = 0;
    std::string name;
    long long score = 0, updates = 0;
};

struct BoardPage {
    long long total = 0;
    std::vector<BoardEntry> runs;
};

struct Submission {
    std::string name, keys;
    std::string submitter;                // who sent it (api/submitter.h)
    std::optional<std::string> playerKey; // as sent, if it was
};

struct Submitted {
    enum Kind {
        Queued,
        OnBoard,           // the same key script is on the board already: id is that run's
        TooManyFromSender, // maxWaiting runs of this sender wait already
        TooManyForKey,     // maxWaiting runs under this player key wait already
    } kind = Queued;
    long long id = 0;
};

// Stores a run as queued and wakes the workers, unless its key script is on
// the board already or too many runs of its sender or its player key wait
// (maxWaiting each; 0 for no limit). Nothing is stored when it is refused.
Submitted submitRun(Connection& db, const Submission& run, int maxWaiting);
// A run from no one in particular, without limits, for tests and tools.
long long submitRun(Connection& db, const std::string& name, const std::string& keys);
std::optional<RunView> findRun(Connection& db, long long id);
std::optional<std::string> runKeys(Connection& db, long long id);
// Verified runs, the highest score first and equal scores in submission order.
BoardPage boardPage(Connection& db, long long limit, long long offset);
// Throws Unavailable when the database cannot be reached.
void ping(Connection& db);

} // namespace board::db
