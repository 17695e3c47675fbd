// A worker's part of the metrics, written to the database as the worker
// ticks it between its other work (while it waits, and while a game plays
// in its child): a heartbeat every few seconds, and the verdicts it
// recorded, counted in memory and added to verdict_counts within a second
// (and kept while the database is away).
//
// No thread of its own: the worker forks a child for every game, and a
// child forked beside another thread inherits whatever lock that thread
// held at that moment (an allocator's, say) and may wait on it for ever.
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
    // Writes what is due, trying at most once a second; never throws.
    void tick();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// This machine's name and this process's number: "host:pid".
std::string workerName();

} // namespace board::ops
