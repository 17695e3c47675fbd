// The queue of runs to verify, which is the runs table itself: a worker
// claims a waiting run with SELECT ... FOR UPDATE SKIP LOCKED and holds it
// under a lease it renews; a run whose lease ran out (its worker died) is
// claimed again. Waiting runs are taken in turns by sender: each sender's
// oldest run first, then each one's second, and so on, so that one sender's
// runs never hold the others back. Every change of status is one
// transaction, and only the holder of the current claim can finish a run.
// The first run verified under a name with a player's key claims the name
// for that key.
#pragma once

#include "board/db/connection.h"

#include <optional>
#include <string>
#include <vector>

namespace board::db {

// Failures on our side in a row after which a run is marked stuck for the
// operators (it still waits, and is tried again every MaxRetryDelaySeconds).
constexpr int StuckAfter = 10;
constexpr int MaxRetryDelaySeconds = 300;

struct Claim {
    long long id = 0;
    int token = 0; // the run's claim count when claimed
    std::string keys;
    std::string submitter;
    int failures = 0;         // in a row on our side so far
    bool leaseRanOut = false; // claimed again because its worker stopped answering (a failure)
};

// except: senders whose runs are not to be claimed now.
std::optional<Claim> claimRun(Connection& db, int leaseSeconds, const std::vector<std::string>& except = {});
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
// Back to the queue at once (the worker is stopping or yields the run).
void releaseRun(Connection& db, const Claim& claim);

// Back to the queue after a failure on our side, not to be claimed again
// for 1 s, 2 s, 4 s, ... up to MaxRetryDelaySeconds.
struct PutBack {
    Finish finish = Finish::Lost;
    int failures = 0;     // in a row, this one included
    int delaySeconds = 0; // until it may be claimed again
};
PutBack putBack(Connection& db, const Claim& claim, const std::string& failure);

// Runs marked stuck: still waiting after StuckAfter failures in a row.
long long stuckRuns(Connection& db);

} // namespace board::db
