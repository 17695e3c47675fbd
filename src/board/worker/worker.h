// A worker: claims queued runs, plays each with the game in a child process
// and records the verdict, until it is asked to stop. A long game yields:
// once its child has used a second of processor time, a run of another
// sender that waits is claimed and verified while that child is stopped.
// A failure on our side puts the run back for later, never rejects it.
#pragma once

#include "board/db/connection.h"
#include "board/verify/verifier.h"

#include <atomic>
#include <string>
#include <vector>

namespace board {

struct ClaimedRun;

struct WorkerOptions {
    std::string databaseUrl;
    int leaseSeconds = 30; // renewed while a run is played
    VerifyLimits limits;
    std::chrono::milliseconds yieldAfter{1000}; // of a child's processor time
    int maxStopped = 3;                         // children stopped at once, each for the run after it
};

class Worker {
public:
    Worker(WorkerOptions options, const std::atomic<bool>& stop);
    // Checks that the game can be played here (its data/), says it is
    // ready, then works until stop is set. 0, or 1 when the game cannot be
    // played.
    int run();

private:
    // False when no run was waiting.
    bool workOne(db::Connection& db);
    void verifyClaimed(ClaimedRun& run);
    // While the child of the innermost run plays: whether it is still
    // wanted (every claim held is kept alive), and a run to verify first.
    bool stillWanted();
    std::function<void()> yieldTo(db::Connection& db);
    void recordFailure(ClaimedRun& run, const std::string& why);

    WorkerOptions options_;
    const std::atomic<bool>& stop_;
    std::vector<ClaimedRun*> held_; // the runs being verified, the stopped ones first
};

} // namespace board
