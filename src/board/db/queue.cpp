#include "board/db/queue.h"

namespace board::db {

namespace {

const Statement Claim_{"claim_run", R"(
UPDATE runs SET status = 'verifying', claims = claims + 1,
                lease_until = now() + make_interval(secs => $1::integer)
WHERE id = (SELECT id FROM runs
            WHERE status IN ('queued', 'verifying') AND (status = 'queued' OR lease_until < now())
            ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED)
RETURNING id, claims, keys)"};

const Statement Renew{"renew_lease", R"(
UPDATE runs SET lease_until = now() + make_interval(secs => $3::integer)
WHERE id = $1::bigint AND claims = $2::integer AND status = 'verifying')"};

const Statement EarlierCopy{"earlier_copy", R"(
SELECT 1 FROM runs o, runs r
WHERE r.id = $1::bigint AND o.status IN ('queued', 'verifying') AND o.keys_digest = r.keys_digest
  AND o.id < r.id AND (o.status = 'queued' OR o.lease_until > now())
LIMIT 1)"};

const Statement Verified{"finish_verified", R"(
UPDATE runs SET status = 'verified', score = $3::integer, updates = $4::integer,
                game = sha256(convert_to($5, 'UTF8')), lease_until = NULL, finished = now()
WHERE id = $1::bigint AND claims = $2::integer AND status = 'verifying')"};

// The counts are the classic board's: a day's board counts its runs as it
// is read.
const Statement CountScore{"count_score", R"(
INSERT INTO score_counts AS c SELECT $1::integer, 1 FROM runs WHERE id = $2::bigint AND race = 'classic'
ON CONFLICT (score) DO UPDATE SET runs = c.runs + 1)"};

const Statement CountBand{"count_band", R"(
INSERT INTO score_band_counts AS c SELECT $1::integer / 1000, 1 FROM runs WHERE id = $2::bigint AND race = 'classic'
ON CONFLICT (band) DO UPDATE SET runs = c.runs + 1)"};

// Servers that keep pages of the board drop them when told.
const Statement Notify{"notify_board", "SELECT pg_notify('vexlo_board', '')"};

const Statement KeptGame{"kept_game", R"(
SELECT id FROM runs WHERE game = sha256(convert_to($1, 'UTF8')) AND status = 'verified')"};

const Statement Rejected{"finish_rejected", R"(
UPDATE runs SET status = 'rejected', reason = $3, lease_until = NULL, finished = now()
WHERE id = $1::bigint AND claims = $2::integer AND status = 'verifying')"};

const Statement Release{"release_run", R"(
UPDATE runs SET status = 'queued', lease_until = NULL
WHERE id = $1::bigint AND claims = $2::integer AND status = 'verifying')"};

std::vector<Param> key(const Claim& claim) { return {std::to_string(claim.id), std::to_string(claim.token)}; }

} // namespace

std::optional<Claim> claimRun(Connection& db, int leaseSeconds) {
    const Result r = db.exec(Claim_, {std::to_string(leaseSeconds)});
    if (r.rows() == 0)
        return std::nullopt;
    return Claim{r.integer(0, 0), static_cast<int>(r.integer(0, 1)), r.text(0, 2)};
}

bool renewLease(Connection& db, const Claim& claim, int leaseSeconds) {
    auto params = key(claim);
    params.push_back(std::to_string(leaseSeconds));
    return db.exec(Renew, params).affected() == 1;
}

bool earlierCopyWaiting(Connection& db, const Claim& claim) {
    return db.exec(EarlierCopy, {std::to_string(claim.id)}).rows() > 0;
}

Finish finishVerified(Connection& db, const Claim& claim, int score, long updates, const std::string& game) {
    try {
        Transaction transaction(db);
        auto params = key(claim);
        params.insert(params.end(), {std::to_string(score), std::to_string(updates), game});
        if (db.exec(Verified, params).affected() != 1)
            return Finish::Lost;
        db.exec(CountScore, {std::to_string(score), std::to_string(claim.id)});
        db.exec(CountBand, {std::to_string(score), std::to_string(claim.id)});
        db.exec(Notify);
        transaction.commit();
        return Finish::Done;
    } catch (const Error& error) {
        if (error.sqlState != UniqueViolation)
            throw;
    }
    const Result kept = db.exec(KeptGame, {game});
    const std::string original = kept.rows() > 0 ? "run " + kept.text(0, 0) : "a run";
    const Finish finish = finishRejected(db, claim, "the same game as " + original + ", already on the board");
    return finish == Finish::Done ? Finish::Duplicate : finish;
}

Finish finishRejected(Connection& db, const Claim& claim, const std::string& reason) {
    auto params = key(claim);
    params.push_back(reason);
    return db.exec(Rejected, params).affected() == 1 ? Finish::Done : Finish::Lost;
}

void releaseRun(Connection& db, const Claim& claim) { db.exec(Release, key(claim)); }

} // namespace board::db
