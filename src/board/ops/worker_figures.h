// A worker's part of the metrics, written to the database by a thread of
// its own so that the worker never waits for it: a heartbeat every few
// seconds, and the verdicts it recorded, counted in memory and added to
// verdict_counts within a second (and kept while the database is away).
#pragma once

#include <memory>
#include <string>

namespace board::ops {

class WorkerFigures {
public:
    // worker: how this worker is named in the metrics (host:pid).
    WorkerFigures(const std::string& databaseUrl, std::string worker);
    // Writes what is still counted, then says this worker is gone.
    ~WorkerFigures();
    // kind: verdictKind() of a rejected run's reason, "" for a verified one.
    void verdict(const std::string& outcome, const std::string& kind, double seconds);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// This machine's name and this process's number: "host:pid".
std::string workerName();

} // namespace board::ops
