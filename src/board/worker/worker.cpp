#include "board/worker/worker.h"

#include "board/db/connection.h"
#include "board/db/migrate.h"
#include "board/db/queue.h"

#include <chrono>
#include <iostream>
#include <sstream>
#include <thread>

namespace board {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

} // namespace

struct ClaimedRun {
    db::Connection& db;
    db::Claim claim;
    Clock::time_point renewed = Clock::now();
    bool lost = false;
    Clock::time_point claimed = Clock::now();
};

Worker::Worker(WorkerOptions options, const std::atomic<bool>& stop) : options_(std::move(options)), stop_(stop) {}

namespace {

void pause(const std::atomic<bool>& stop, milliseconds time) {
    for (auto end = Clock::now() + time; !stop && Clock::now() < end;)
        std::this_thread::sleep_for(std::min(milliseconds(50), time));
}

// Keeps the claim alive; false once it is someone else's.
bool keepClaim(ClaimedRun& run, int leaseSeconds) {
    if (run.lost || Clock::now() - run.renewed < std::chrono::seconds(leaseSeconds) / 3)
        return !run.lost;
    try {
        run.lost = !db::renewLease(run.db, run.claim, leaseSeconds);
        run.renewed = Clock::now();
    } catch (const db::Unavailable&) {
        // The lease may still hold when the database is back: play on.
    }
    return !run.lost;
}

// A finishing statement, tried again while the database is briefly away, so
// that a verdict is not thrown away for a restart.
template <typename F>
auto retrying(const std::atomic<bool>& stop, F finish) {
    for (int attempt = 0;; ++attempt) {
        try {
            return finish();
        } catch (const db::Unavailable&) {
            if (attempt >= 20 || stop)
                throw;
            pause(stop, milliseconds(500));
        }
    }
}

} // namespace

void Worker::report(const ClaimedRun& run, bool verified, const std::string& reason, int score, long updates) {
    const double seconds = std::chrono::duration<double>(Clock::now() - run.claimed).count();
    if (options_.onVerdict)
        return options_.onVerdict({run.claim.id, verified, reason, score, updates, seconds});
    std::cout << "run " << run.claim.id << ": "
              << (verified ? "verified, score " + std::to_string(score) + " after " + std::to_string(updates) +
                                 " updates"
                           : "rejected: " + reason)
              << std::endl;
}

int Worker::run() {
    const Verdict check = verify({}, options_.limits, [] { return true; });
    if (check.outcome == Outcome::Failed) {
        std::cerr << "vexlo-board worker: " << check.reason << " (the game's data/ must be in the game folder)\n";
        return 1;
    }
    bool away = false, migrated = false;
    // A worker's commits need not wait for the disk: a claim or a verdict
    // lost in a crash of the database leaves the run to be verified again,
    // with the same verdict, since the game is the same every time.
    db::Connection db(options_.databaseUrl, std::chrono::seconds(10), "-c synchronous_commit=off");
    milliseconds idle(50);
    while (!stop_) {
        try {
            if (!migrated) {
                db::migrate(db);
                migrated = true;
            }
            const bool worked = workOne(db);
            if (away)
                std::cerr << "vexlo-board worker: the database is back" << std::endl;
            away = false;
            idle = worked ? milliseconds(50) : std::min(idle * 2, milliseconds(400));
            if (!worked)
                pause(stop_, idle);
        } catch (const db::Unavailable& error) {
            if (!away)
                std::cerr << "vexlo-board worker: " << error.what() << "; trying again" << std::endl;
            away = true;
            pause(stop_, milliseconds(1000));
        } catch (const db::Error& error) {
            std::cerr << "vexlo-board worker: " << error.what() << std::endl;
            pause(stop_, milliseconds(1000));
        }
    }
    return 0;
}

bool Worker::workOne(db::Connection& db) {
    const auto claim = db::claimRun(db, options_.leaseSeconds);
    if (!claim)
        return false;
    ClaimedRun run{db, *claim};
    if (claim->token > options_.maxClaims) {
        const std::string reason = "verification was cut short " + std::to_string(options_.maxClaims) + " times";
        if (retrying(stop_, [&] { return db::finishRejected(db, run.claim, reason); }) == db::Finish::Done)
            report(run, false, reason);
        return true;
    }
    verifyClaimed(run);
    return true;
}

void Worker::verifyClaimed(ClaimedRun& run) {
    const db::Claim& claim = run.claim;
    std::vector<replay::ScriptedKey> keys;
    std::istringstream in(claim.keys);
    try {
        keys = replay::readKeyScript(in, "keys");
    } catch (const replay::KeyScriptError& error) {
        const std::string reason = std::string("not a key script: ") + error.what();
        if (retrying(stop_, [&] { return db::finishRejected(run.db, claim, reason); }) == db::Finish::Done)
            report(run, false, reason);
        return;
    }
    const Verdict verdict =
        verify(keys, options_.limits, [&] { return !stop_ && keepClaim(run, options_.leaseSeconds); });
    if (stop_ || run.lost || verdict.outcome == Outcome::Failed) {
        if (verdict.outcome == Outcome::Failed && !stop_)
            std::cerr << "vexlo-board worker: run " << claim.id << ": " << verdict.reason << std::endl;
        if (!run.lost)
            db::releaseRun(run.db, claim);
        return;
    }
    if (verdict.outcome == Outcome::Rejected) {
        if (retrying(stop_, [&] { return db::finishRejected(run.db, claim, verdict.reason); }) == db::Finish::Done)
            report(run, false, verdict.reason, 0, verdict.updates);
        return;
    }
    // A copy submitted just after its original waits for it, so that the
    // original is the one kept.
    const auto waitUntil = Clock::now() + std::chrono::seconds(2L * options_.limits.cpuSeconds + 10);
    while (!stop_ && Clock::now() < waitUntil && keepClaim(run, options_.leaseSeconds) &&
           db::earlierCopyWaiting(run.db, claim))
        pause(stop_, milliseconds(100));
    if (stop_ || run.lost) {
        if (!run.lost)
            db::releaseRun(run.db, claim);
        return;
    }
    const db::Finish finish = retrying(
        stop_, [&] { return db::finishVerified(run.db, claim, verdict.score, verdict.updates, verdict.game); });
    if (finish == db::Finish::Done)
        report(run, true, "", verdict.score, verdict.updates);
    else if (finish == db::Finish::Duplicate)
        report(run, false, "the same game as a run already kept");
    else if (finish == db::Finish::Refused)
        report(run, false, db::NameTaken);
}

} // namespace board
