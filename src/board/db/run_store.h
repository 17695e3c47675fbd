// The statements behind the API: submitting a run, reading one, its keys
// and the board. The board holds the verified runs that are not hidden.
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
    std::optional<std::string> hidden;             // the operators' reason, when they hid it
};

struct Submission {
    std::string name, keys;
    std::string skeleton, look;           // names::nameKeys
    std::optional<std::string> playerKey; // the SHA-256 of the player's key, if one was sent
    std::string submitter;                // who sent it (api/submitter.h)
    std::string race = "classic";         // the one its keys name, as RunView names it
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

// Whom a name belongs to: the names under either of its keys.
struct NameStanding {
    std::optional<std::string> banned;   // the reason
    std::vector<std::string> playerKeys; // the SHA-256s of the keys that claimed it
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

// Stores a run as queued and wakes the workers, unless its key script is on
// the board already or too many runs of its sender or its player key wait
// (maxWaiting each; 0 for no limit). Nothing is stored when it is refused.
// Whether its name may be used is the caller's to ask first (nameStanding).
Submitted submitRun(Connection& db, const Submission& run, int maxWaiting = 0);
// A run from no one in particular without a player's key, its name's keys
// made here, without limits, for tests and tools. race: the one the keys
// name, as RunView names it.
long long submitRun(Connection& db, const std::string& name, const std::string& keys,
                    const std::string& race = "classic");
NameStanding nameStanding(Connection& db, const std::string& skeleton, const std::string& look);
std::optional<RunView> findRun(Connection& db, long long id);
std::optional<std::string> runKeys(Connection& db, long long id);
// Verified runs of a race, the highest score first and equal scores in
// submission order.
BoardPage boardPage(Connection& db, long long limit, long long offset, const std::string& race = "classic");
// Throws Unavailable when the database cannot be reached.
void ping(Connection& db);

} // namespace board::db
