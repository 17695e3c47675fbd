// The board's figures as the database holds them, for the metrics: the
// workers run in processes of their own (on other machines, perhaps), so
// what they did reaches a server's /metrics through tables: verdicts
// counted by outcome, kind of reason and time taken (verdict_counts), and
// each worker's last sign of life (worker_heartbeats).
#pragma once

#include "board/db/connection.h"

#include <optional>
#include <string>
#include <vector>

namespace board::ops {

// The buckets, in seconds, of the verification time's histogram: a worker
// counts each verdict in the first that holds it (or above them all).
const std::vector<double>& verificationBuckets();

struct VerdictCount {
    std::string outcome, kind; // kind "" for verified runs
    double bucket = 0;         // the bucket's upper bound; infinity above the last
    long long runs = 0;
    double seconds = 0;
};

struct WorkerBeat {
    std::string worker; // host:pid
    double unixSeconds = 0;
};

struct BoardFigures {
    long long submitted = 0; // the highest run number given
    long long queued = 0, verifying = 0;
    double oldestWaitingSeconds = 0; // since the oldest run not yet finished was submitted
    long long stuck = 0;             // waiting after ten failures in a row on our side
    long long hidden = 0;            // taken off the board by its operators
    std::vector<VerdictCount> verdicts;
    std::vector<WorkerBeat> beats;
};

BoardFigures readBoardFigures(db::Connection& db);

// Adds runs verdicts of one outcome, kind and bucket, taking seconds in all.
void addVerdicts(db::Connection& db, const VerdictCount& count);
// This worker is alive; forgets workers silent for a day.
void beat(db::Connection& db, const std::string& worker);
void forgetWorker(db::Connection& db, const std::string& worker);

} // namespace board::ops
