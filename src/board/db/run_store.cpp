#include "board/db/run_store.h"

#include "board/names/player_name.h"
#include "board/names/secret.h"

namespace board::db {

namespace {

// The workers LISTEN on vexlo_runs: a run is looked at as soon as it is
// stored, whatever their polling.
const Statement Submit{"submit_run", R"(
WITH run AS (
  INSERT INTO runs (name, keys, keys_digest, skeleton, look, player_key, submitter, race)
  VALUES ($1, $2, sha256(convert_to($2, 'UTF8')), $3, $4, $5::bytea, $6, $7)
  RETURNING id)
SELECT id, pg_notify('vexlo_runs', '') FROM run)"};

const Statement Standing{"name_standing", R"(
SELECT banned_reason, player_key FROM names WHERE skeleton = $1 OR look = $2)"};

// The copy rule counts runs on the board only: a hidden run's game may
// come again. It holds within a race, since a script's text names its race.
const Statement OnBoard{"on_board", R"(
SELECT id FROM runs
WHERE keys_digest = sha256(convert_to($1, 'UTF8')) AND status = 'verified' AND hidden_reason IS NULL
ORDER BY id LIMIT 1)"};

// Submissions of one sender, and of one player key, one at a time, so that
// two at once cannot both find room for one.
const Statement LockSender{"lock_sender", R"(
SELECT pg_advisory_xact_lock(hashtextextended($1, 6021)),
       pg_advisory_xact_lock(hashtextextended(coalesce($2, ''), 6022)))"};

const Statement Waiting{"waiting_runs", R"(
SELECT count(*) FILTER (WHERE submitter = $1),
       count(*) FILTER (WHERE player_key = $2::bytea)
FROM runs WHERE status = 'queued' AND (submitter = $1 OR player_key = $2::bytea))"};

// A run's rank in its race. Classic: the runs on the board in higher
// bands, in higher scores of its own band, and of its own score submitted
// before it. A day's: its runs before it, counted.
const Statement Find{"find_run", R"(
SELECT id, name, status, score, updates, reason,
       CASE WHEN status = 'verified' AND hidden_reason IS NULL AND race = 'classic' THEN
         1 + coalesce((SELECT sum(runs) FROM score_band_counts WHERE band > r.score / 1000), 0)
           + coalesce((SELECT sum(runs) FROM score_counts
                       WHERE score > r.score AND score < (r.score / 1000 + 1) * 1000), 0)
           + (SELECT count(*) FROM runs o
              WHERE o.status = 'verified' AND o.hidden_reason IS NULL AND o.race = 'classic'
                AND o.score = r.score AND o.id < r.id)
            WHEN status = 'verified' AND hidden_reason IS NULL THEN
         1 + (SELECT count(*) FROM runs o
              WHERE o.status = 'verified' AND o.hidden_reason IS NULL AND o.race = r.race
                AND (o.score > r.score OR (o.score = r.score AND o.id < r.id)))
       END,
       hidden_reason, race
FROM runs r WHERE id = $1::bigint)"};

const Statement Keys{"run_keys", "SELECT keys FROM runs WHERE id = $1::bigint"};

// A page near the top is read from the ranking index directly.
const Statement ShallowPage{"board_shallow", R"(
SELECT (SELECT coalesce(sum(runs), 0) FROM score_band_counts), p.id, p.name, p.score, p.updates
FROM (SELECT 1) one LEFT JOIN LATERAL (
  SELECT id, name, score, updates FROM runs WHERE status = 'verified' AND hidden_reason IS NULL AND race = 'classic'
  ORDER BY score DESC, id LIMIT $1::bigint OFFSET $2::bigint) p ON true
ORDER BY p.score DESC, p.id)"};

// A deep page: the counts find the band, then the score, at which the page
// starts; the index is read from there.
const Statement DeepPage{"board_deep", R"(
WITH bands AS (
  SELECT band, runs, sum(runs) OVER (ORDER BY band DESC) AS upto FROM score_band_counts),
b AS (SELECT band, upto - runs AS before FROM bands WHERE upto > $2::bigint ORDER BY band DESC LIMIT 1),
scores AS (
  SELECT c.score, c.runs, b.before + sum(c.runs) OVER (ORDER BY c.score DESC) AS upto
  FROM b JOIN score_counts c ON c.score >= b.band * 1000 AND c.score < b.band * 1000 + 1000),
s AS (SELECT score, upto - runs AS before FROM scores WHERE upto > $2::bigint ORDER BY score DESC LIMIT 1)
SELECT (SELECT coalesce(sum(runs), 0) FROM score_band_counts), p.id, p.name, p.score, p.updates
FROM (SELECT 1) one LEFT JOIN (s CROSS JOIN LATERAL (
  SELECT id, name, score, updates FROM runs
  WHERE status = 'verified' AND hidden_reason IS NULL AND race = 'classic' AND score <= s.score
  ORDER BY score DESC, id LIMIT $1::bigint OFFSET ($2::bigint - s.before)::bigint) p) ON true
ORDER BY p.score DESC, p.id)"};

// A day's board: its runs, few enough to count as they are read.
const Statement DailyPage{"board_daily", R"(
SELECT (SELECT count(*) FROM runs WHERE status = 'verified' AND hidden_reason IS NULL AND race = $3),
       p.id, p.name, p.score, p.updates
FROM (SELECT 1) one LEFT JOIN LATERAL (
  SELECT id, name, score, updates FROM runs WHERE status = 'verified' AND hidden_reason IS NULL AND race = $3
  ORDER BY score DESC, id LIMIT $1::bigint OFFSET $2::bigint) p ON true
ORDER BY p.score DESC, p.id)"};

// Below this offset reading past the rows costs less than the sums.
constexpr long long DeepFrom = 1000;

const Statement Ping{"ping", "SELECT 1"};

std::optional<long long> number(const Result& r, int row, int column) {
    if (r.isNull(row, column))
        return std::nullopt;
    return r.integer(row, column);
}

} // namespace

Submitted submitRun(Connection& db, const Submission& run, int maxWaiting) {
    const Param key = run.playerKey ? Param(names::hexBytes(*run.playerKey)) : std::nullopt;
    Transaction transaction(db);
    if (maxWaiting > 0)
        db.exec(LockSender, {run.submitter, key});
    const Result onBoard = db.exec(OnBoard, {run.keys});
    if (onBoard.rows() > 0)
        return {Submitted::OnBoard, onBoard.integer(0, 0)};
    if (maxWaiting > 0) {
        const Result waiting = db.exec(Waiting, {run.submitter, key});
        if (waiting.integer(0, 0) >= maxWaiting)
            return {Submitted::TooManyFromSender, 0};
        if (waiting.integer(0, 1) >= maxWaiting)
            return {Submitted::TooManyForKey, 0};
    }
    const long long id =
        db.exec(Submit, {run.name, run.keys, run.skeleton, run.look, key, run.submitter, run.race}).integer(0, 0);
    transaction.commit();
    return {Submitted::Queued, id};
}

long long submitRun(Connection& db, const std::string& name, const std::string& keys, const std::string& race) {
    const names::NameKeys nameKeys = names::nameKeys(name);
    return submitRun(db, Submission{name, keys, nameKeys.skeleton, nameKeys.look, std::nullopt, "", race}).id;
}

NameStanding nameStanding(Connection& db, const std::string& skeleton, const std::string& look) {
    const Result r = db.exec(Standing, {skeleton, look});
    NameStanding standing;
    for (int row = 0; row < r.rows(); ++row) {
        if (!r.isNull(row, 0))
            standing.banned = r.text(row, 0);
        if (!r.isNull(row, 1))
            standing.playerKeys.push_back(names::fromHexBytes(r.text(row, 1)));
    }
    return standing;
}

std::optional<RunView> findRun(Connection& db, long long id) {
    const Result r = db.exec(Find, {std::to_string(id)});
    if (r.rows() == 0)
        return std::nullopt;
    RunView run;
    run.id = r.integer(0, 0);
    run.name = r.text(0, 1);
    run.status = r.text(0, 2);
    run.score = number(r, 0, 3);
    run.updates = number(r, 0, 4);
    if (!r.isNull(0, 5))
        run.reason = r.text(0, 5);
    run.rank = number(r, 0, 6);
    if (!r.isNull(0, 7))
        run.hidden = r.text(0, 7);
    run.race = r.text(0, 8);
    return run;
}

std::optional<std::string> runKeys(Connection& db, long long id) {
    const Result r = db.exec(Keys, {std::to_string(id)});
    if (r.rows() == 0)
        return std::nullopt;
    return r.text(0, 0);
}

BoardPage boardPage(Connection& db, long long limit, long long offset, const std::string& race) {
    const Result r = race != "classic" ? db.exec(DailyPage, {std::to_string(limit), std::to_string(offset), race})
                                       : db.exec(offset < DeepFrom ? ShallowPage : DeepPage,
                                                 {std::to_string(limit), std::to_string(offset)});
    BoardPage page;
    for (int row = 0; row < r.rows(); ++row) {
        page.total = r.integer(row, 0);
        if (r.isNull(row, 1))
            continue; // past the last run: the count alone
        BoardEntry e;
        e.rank = offset + static_cast<long long>(page.runs.size()) + 1;
        e.id = r.integer(row, 1);
        e.name = r.text(row, 2);
        e.score = r.integer(row, 3);
        e.updates = r.integer(row, 4);
        page.runs.push_back(std::move(e));
    }
    return page;
}

void ping(Connection& db) { db.exec(Ping); }

} // namespace board::db
