#include "board/worker/worker.h"

#include "board/db/connection.h"
#include "board/db/migrate.h"
#include "board/db/queue.h"

#include <chrono>
#include <iostream>
#include <sstream>
#include <thread>
#include <unistd.h>

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

// A statement about a run, tried again while the database is away, so that
// a verdict is not thrown away for a restart. A claim that ran out
// meanwhile finishes nothing, so trying late is safe.
template <typename F>
auto retrying(const std::atomic<bool>& stop, F statement) {
    for (;;) {
        try {
            return statement();
        } catch (const db::Unavailable&) {
            if (stop)
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

void Worker::tick() {
    if (options_.onTick)
        options_.onTick();
}

void Worker::tell(long long run, const std::string& what) {
    if (options_.onEvent)
        return options_.onEvent(run, what);
    std::cout << "run " << run << ": " << what << std::endl;
}

int Worker::run() {
    // The game must start here; a process that cannot be started now
    // (fork refused) may well be later.
    for (bool told = false; !stop_;) {
        const Verdict check = verify({}, options_.limits);
        if (check.outcome != Outcome::Failed)
            break;
        if (check.gameCannotRun) {
            std::cerr << "vexlo-board worker: " << check.reason
                      << " (the game's data/ must be in the game folder)\n";
            return 1;
        }
        if (!told)
            std::cerr << "vexlo-board worker: " << check.reason << "; trying again" << std::endl;
        told = true;
        tick();
        pause(stop_, milliseconds(1000));
    }
    std::cout << "vexlo-board: worker " << getpid() << " ready" << std::endl;
    bool away = false, migrated = false;
    // A worker's commits need not wait for the disk: a claim or a verdict
    // lost in a crash of the database leaves the run to be verified again,
    // with the same verdict, since the game is the same every time.
    db::Connection db(options_.databaseUrl, std::chrono::seconds(10), "-c synchronous_commit=off");
    // Told of each run submitted; the polling below is for the rest (runs
    // whose delay has passed, leases run out) and for a notice lost.
    db::Connection wake(options_.databaseUrl);
    milliseconds idle(50);
    while (!stop_) {
        tick();
        try {
            if (!migrated) {
                db::migrate(db);
                migrated = true;
            }
            if (!wake.connected())
                wake.script("LISTEN vexlo_runs");
            const bool worked = workOne(db);
            if (away)
                std::cerr << "vexlo-board worker: the database is back" << std::endl;
            away = false;
            idle = worked ? milliseconds(50) : std::min(idle * 2, milliseconds(400));
            if (!worked)
                wake.awaitNotifications(idle);
        } catch (const db::Unavailable& error) {
            if (!away)
                std::cerr << "vexlo-board worker: " << error.what() << "; trying again" << std::endl;
            away = true;
            wake.drop();
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
    if (claim->leaseRanOut)
        tell(claim->id, "claimed again: the worker verifying it stopped answering (" +
                            std::to_string(claim->failures) + " failures in a row)");
    if (claim->leaseRanOut && claim->failures == db::StuckAfter)
        tell(claim->id, "stuck: " + std::to_string(claim->failures) +
                            " failures in a row on our side; it stays queued for the operators to see");
    ClaimedRun run{db, *claim};
    verifyClaimed(run);
    return true;
}

bool Worker::stillWanted() {
    if (stop_)
        return false;
    tick();
    // The stopped runs' claims are kept too: they go on afterwards.
    for (ClaimedRun* run : held_)
        keepClaim(*run, options_.leaseSeconds);
    return !held_.back()->lost;
}

std::function<void()> Worker::yieldTo(db::Connection& db) {
    if (stop_ || static_cast<int>(held_.size()) > options_.maxStopped)
        return {};
    // Another sender's run: one's own runs wait their turn behind each other.
    std::vector<std::string> held;
    for (const ClaimedRun* run : held_)
        held.push_back(run->claim.submitter);
    std::optional<db::Claim> next;
    try {
        next = db::claimRun(db, options_.leaseSeconds, held);
    } catch (const std::runtime_error&) { // db::Unavailable or db::Error: play on
        return {};
    }
    if (!next)
        return {};
    tell(held_.back()->claim.id, "stopped while run " + std::to_string(next->id) + " is verified");
    return [this, &db, claim = *next] {
        ClaimedRun other{db, claim};
        try {
            verifyClaimed(other);
        } catch (const std::runtime_error& error) {
            // Its claim runs out and it is claimed again; this run goes on.
            std::cerr << "vexlo-board worker: run " << claim.id << ": " << error.what() << std::endl;
        }
    };
}

void Worker::recordFailure(ClaimedRun& run, const std::string& why) {
    const db::PutBack back = retrying(stop_, [&] { return db::putBack(run.db, run.claim, why); });
    if (back.finish != db::Finish::Done)
        return;
    tell(run.claim.id, "put back after a failure on our side (" + std::to_string(back.failures) +
                           " in a row), tried again in " + std::to_string(back.delaySeconds) + " s: " + why);
    if (back.failures == db::StuckAfter)
        tell(run.claim.id, "stuck: " + std::to_string(back.failures) +
                               " failures in a row on our side; it stays queued for the operators to see");
}

void Worker::verifyClaimed(ClaimedRun& run) {
    held_.push_back(&run);
    struct Forget {
        std::vector<ClaimedRun*>& held;
        ~Forget() { held.pop_back(); }
    } forget{held_};

    const db::Claim& claim = run.claim;
    replay::KeyScript keys;
    std::istringstream in(claim.keys);
    try {
        keys = replay::readKeyScript(in, "keys");
    } catch (const replay::KeyScriptError& error) {
        const std::string reason = std::string("not a key script: ") + error.what();
        if (retrying(stop_, [&] { return db::finishRejected(run.db, claim, reason); }) == db::Finish::Done)
            report(run, false, reason);
        return;
    }
    ChildWatch watch;
    watch.stillWanted = [this] { return stillWanted(); };
    watch.yieldTo = [this, &run] { return yieldTo(run.db); };
    watch.yieldAfter = options_.yieldAfter;
    const Verdict verdict = verify(keys, options_.limits, watch);
    if (stop_ || run.lost || verdict.outcome == Outcome::Abandoned) {
        if (!run.lost)
            retrying(stop_, [&] { db::releaseRun(run.db, claim); });
        return;
    }
    if (verdict.outcome == Outcome::Failed) {
        recordFailure(run, verdict.reason);
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
           retrying(stop_, [&] { return db::earlierCopyWaiting(run.db, claim); })) {
        tick();
        pause(stop_, milliseconds(100));
    }
    if (stop_ || run.lost) {
        if (!run.lost)
            retrying(stop_, [&] { db::releaseRun(run.db, claim); });
        return;
    }
    // The same keys in another race are another game: a day's games are
    // told apart from the classic ones and from other days'.
    const std::string game = keys.race.daily ? keys.race.scriptLine() + "\n" + verdict.game : verdict.game;
    const db::Finish finish =
        retrying(stop_, [&] { return db::finishVerified(run.db, claim, verdict.score, verdict.updates, game); });
    if (finish == db::Finish::Done)
        report(run, true, "", verdict.score, verdict.updates);
    else if (finish == db::Finish::Duplicate)
        report(run, false, "the same game as a run already kept");
    else if (finish == db::Finish::Refused)
        report(run, false, db::NameTaken);
}

} // namespace board
