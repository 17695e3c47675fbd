// A worker: claims queued runs, plays each with the game in a child process
// and records the verdict, until it is asked to stop. A long game yields:
// once its child has used a second of processor time, a run of another
// sender that waits is claimed and verified while that child is stopped.
// A failure on our side puts the run back for later, never rejects it.
#pragma once

#include "board/db/connection.h"
#include "board/verify/verifier.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace board {

struct ClaimedRun;

// A verdict as the worker recorded it, for the logs and the metrics.
struct VerdictReport {
    long long run = 0;
    bool verified = false;
    std::string reason; // a rejected run's
    int score = 0;
    long updates = 0;
    double seconds = 0; // from its claim to its verdict
};

struct WorkerOptions {
    std::string databaseUrl;
    int leaseSeconds = 30; // renewed while a run is played
    VerifyLimits limits;
    std::function<void(const VerdictReport&)> onVerdict; // each verdict recorded; none: a line on stdout
    // What else befell a run (put back, stuck, stopped for another, claimed
    // again); none: a line on stdout.
    std::function<void(long long run, const std::string& what)> onEvent;
    // Called several times a second while the worker waits or a child plays
    // (less often while the database is away): for the process's own
    // upkeep, such as its figures. Nothing else may run beside the worker in
    // a thread of its own, since each game is played in a forked child.
    std::function<void()> onTick;
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
    void report(const ClaimedRun& run, bool verified, const std::string& reason, int score = 0, long updates = 0);
    void tell(long long run, const std::string& what);
    void tick();
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
