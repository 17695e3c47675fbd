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

// Two finishes of runs whose names are one wait for each other, so that
// the second sees the first's claim (keys in two spaces: skeleton, look).
const Statement NameLocks{"name_locks", R"(
SELECT pg_advisory_xact_lock(1, hashtext(skeleton)), pg_advisory_xact_lock(2, hashtext(look))
FROM runs WHERE id = $1::bigint AND skeleton IS NOT NULL)"};

// Whether another player's key claimed the run's name, and a ban's reason.
const Statement NameCheck{"name_check", R"(
SELECT coalesce(bool_or(n.player_key IS NOT NULL AND n.player_key IS DISTINCT FROM r.player_key), false),
       max(n.banned_reason)
FROM runs r LEFT JOIN names n ON n.skeleton = r.skeleton OR n.look = r.look
WHERE r.id = $1::bigint)"};

// The first verified run with a key claims its name.
const Statement ClaimName{"claim_name", R"(
INSERT INTO names (skeleton, look, shown, player_key, claimed_by, claimed_at)
SELECT skeleton, look, name, player_key, id, now() FROM runs
WHERE id = $1::bigint AND player_key IS NOT NULL AND skeleton IS NOT NULL
ON CONFLICT (skeleton) DO UPDATE
SET player_key = excluded.player_key, claimed_by = excluded.claimed_by, claimed_at = excluded.claimed_at
WHERE names.player_key IS NULL)"};

// The board's counts follow by themselves (the runs table's triggers), and
// tell the servers. A run under a banned name is kept hidden.
const Statement Verified{"finish_verified", R"(
UPDATE runs SET status = 'verified', score = $3::integer, updates = $4::integer,
                game = sha256(convert_to($5, 'UTF8')), lease_until = NULL, finished = now(),
                hidden_by_ban = hidden_by_ban OR (hidden_reason IS NULL AND $6::text IS NOT NULL),
                hidden_at = CASE WHEN hidden_reason IS NULL AND $6::text IS NOT NULL THEN now() ELSE hidden_at END,
                hidden_reason = coalesce(hidden_reason, $6::text)
WHERE id = $1::bigint AND claims = $2::integer AND status = 'verifying')"};

const Statement KeptGame{"kept_game", R"(
SELECT id FROM runs WHERE game = sha256(convert_to($1, 'UTF8')) AND status = 'verified' AND hidden_reason IS NULL)"};

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
        const std::string id = std::to_string(claim.id);
        db.exec(NameLocks, {id});
        const Result name = db.exec(NameCheck, {id});
        if (name.text(0, 0) == "t") {
            auto params = key(claim);
            params.push_back(std::string(NameTaken));
            if (db.exec(Rejected, params).affected() != 1)
                return Finish::Lost;
            transaction.commit();
            return Finish::Refused;
        }
        db.exec(ClaimName, {id});
        auto params = key(claim);
        params.insert(params.end(), {std::to_string(score), std::to_string(updates), game,
                                     name.isNull(0, 1) ? Param() : Param(name.text(0, 1))});
        if (db.exec(Verified, params).affected() != 1)
            return Finish::Lost;
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
