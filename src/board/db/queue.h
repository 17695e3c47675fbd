// The queue of runs to verify, which is the runs table itself: a worker
// claims the oldest waiting run with SELECT ... FOR UPDATE SKIP LOCKED and
// holds it under a lease it renews; a run whose lease ran out (its worker
// died) is claimed again. Every change of status is one transaction, and
// only the holder of the current claim can finish a run. The first run
// verified under a name with a player's key claims the name for that key.
#pragma once

#include "board/db/connection.h"

#include <optional>
#include <string>

namespace board::db {

struct Claim {
    long long id = 0;
    int token = 0; // the run's claim count when claimed
    std::string keys;
};

std::optional<Claim> claimRun(Connection& db, int leaseSeconds);
// False when the claim is no longer ours.
bool renewLease(Connection& db, const Claim& claim, int leaseSeconds);
// True while an earlier run with the very same keys is still waiting or
// being verified: the copy waits, so that the original is the one kept.
bool earlierCopyWaiting(Connection& db, const Claim& claim);

enum class Finish {
    Done,
    Duplicate, // the same game as a run already kept: rejected instead
    Refused,   // its name belongs to another player: rejected instead (NameTaken)
    Lost,      // the claim was no longer ours; nothing changed
};

// Said when a name is claimed by another player's key, at submission and
// again at verification (two submissions may race).
constexpr const char* NameTaken = "this name belongs to another player";

Finish finishVerified(Connection& db, const Claim& claim, int score, long updates, const std::string& game);
Finish finishRejected(Connection& db, const Claim& claim, const std::string& reason);
// Back to the queue at once (the worker is stopping or could not play it).
void releaseRun(Connection& db, const Claim& claim);

} // namespace board::db
