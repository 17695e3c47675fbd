#include "board/db/queue.h"

namespace board::db {

namespace {

// A sender's turn for a run: 1 for its oldest run not yet finished, 2 for
// the next, and so on; the lowest turn goes first, then the oldest run. A
// run claimed again because its lease ran out has failed once more. $2:
// senders whose runs are not wanted now.
const Statement Claim_{"claim_run", R"(
WITH turns AS (
  SELECT id, row_number() OVER (PARTITION BY submitter ORDER BY id) AS turn
  FROM runs WHERE status IN ('queued', 'verifying')),
next AS (
  SELECT w.id, w.status = 'verifying' AS ran_out FROM runs w JOIN turns t ON t.id = w.id
  WHERE w.status IN ('queued', 'verifying')
    AND (w.status = 'queued' AND (w.not_before IS NULL OR w.not_before <= now())
         OR w.status = 'verifying' AND w.lease_until < now())
    AND w.submitter <> ALL ($2::text[])
  ORDER BY t.turn, w.id LIMIT 1 FOR UPDATE OF w SKIP LOCKED)
UPDATE runs r SET status = 'verifying', claims = r.claims + 1,
                  lease_until = now() + make_interval(secs => $1::integer),
                  failures = r.failures + next.ran_out::integer,
                  failure = CASE WHEN next.ran_out THEN 'its worker stopped answering' ELSE r.failure END
FROM next WHERE r.id = next.id
RETURNING r.id, r.claims, r.keys, r.failures, next.ran_out, r.submitter)"};

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

// The delay doubles with each failure: 1 s after the first.
const Statement PutBack_{"put_back_run", R"(
UPDATE runs SET status = 'queued', lease_until = NULL, failures = failures + 1, failure = $3,
                not_before = now() + make_interval(secs => least($4::integer, 2 ^ least(failures, 30)))
WHERE id = $1::bigint AND claims = $2::integer AND status = 'verifying'
RETURNING failures, least($4::integer, 2 ^ least(failures - 1, 30))::integer)"};

const Statement Stuck{"stuck_runs", "SELECT count(*) FROM runs WHERE stuck"};

std::vector<Param> key(const Claim& claim) { return {std::to_string(claim.id), std::to_string(claim.token)}; }

// A PostgreSQL array of text, each element quoted.
std::string textArray(const std::vector<std::string>& items) {
    std::string out = "{";
    for (const std::string& item : items) {
        out += out.size() > 1 ? ",\"" : "\"";
        for (char c : item)
            out += c == '"' || c == '\\' ? std::string{'\\', c} : std::string{c};
        out += '"';
    }
    return out + "}";
}

} // namespace

std::optional<Claim> claimRun(Connection& db, int leaseSeconds, const std::vector<std::string>& except) {
    const Result r = db.exec(Claim_, {std::to_string(leaseSeconds), textArray(except)});
    if (r.rows() == 0)
        return std::nullopt;
    return Claim{r.integer(0, 0), static_cast<int>(r.integer(0, 1)), r.text(0, 2),
                 r.text(0, 5),    static_cast<int>(r.integer(0, 3)), r.text(0, 4) == "t"};
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

PutBack putBack(Connection& db, const Claim& claim, const std::string& failure) {
    auto params = key(claim);
    params.insert(params.end(), {failure, std::to_string(MaxRetryDelaySeconds)});
    const Result r = db.exec(PutBack_, params);
    if (r.rows() == 0)
        return {};
    return {Finish::Done, static_cast<int>(r.integer(0, 0)), static_cast<int>(r.integer(0, 1))};
}

long long stuckRuns(Connection& db) { return db.exec(Stuck).integer(0, 0); }

} // namespace board::db
