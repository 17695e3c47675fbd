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
    std::string race;                              // "classic" or "daily YYYY-MM-DD"
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

// race: the one the keys name, as RunView names it.
long long submitRun(Connection& db, const std::string& name, const std::string& keys,
                    const std::string& race = "classic");
std::optional<RunView> findRun(Connection& db, long long id);
std::optional<std::string> runKeys(Connection& db, long long id);
// Verified runs of a race, the highest score first and equal scores in
// submission order.
BoardPage boardPage(Connection& db, long long limit, long long offset, const std::string& race = "classic");
// Throws Unavailable when the database cannot be reached.
void ping(Connection& db);

} // namespace board::db
