// A worker: claims queued runs one at a time, plays each with the game in a
// child process and records the verdict, until it is asked to stop.
#pragma once

#include "board/db/connection.h"
#include "board/verify/verifier.h"

#include <atomic>
#include <functional>
#include <string>

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
    int maxClaims = 5;     // a run whose verification was cut short this often is rejected
    VerifyLimits limits;
    std::function<void(const VerdictReport&)> onVerdict; // each verdict recorded; none: a line on stdout
};

class Worker {
public:
    Worker(WorkerOptions options, const std::atomic<bool>& stop);
    // Checks that the game can be played here (its data/), then works until
    // stop is set. 0, or 1 when the game cannot be played.
    int run();

private:
    // False when no run was waiting.
    bool workOne(db::Connection& db);
    void verifyClaimed(ClaimedRun& run);
    void report(const ClaimedRun& run, bool verified, const std::string& reason, int score = 0, long updates = 0);

    WorkerOptions options_;
    const std::atomic<bool>& stop_;
};

} // namespace board
