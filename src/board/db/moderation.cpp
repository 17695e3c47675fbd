#include "board/db/moderation.h"

#include "board/names/secret.h"

namespace board::db {

namespace {

const Statement Log{"log_action", R"(
INSERT INTO moderation_log (who, action, run, name, reason) VALUES ($1, $2, $3::bigint, $4, $5))"};

const Statement Hide{"hide_run", R"(
UPDATE runs SET hidden_reason = $2, hidden_at = now(), hidden_by_ban = false WHERE id = $1::bigint)"};

const Statement Unhide{"unhide_run", R"(
UPDATE runs SET hidden_reason = NULL, hidden_at = NULL, hidden_by_ban = false
WHERE id = $1::bigint AND hidden_reason IS NOT NULL)"};

const Statement RunExists{"run_exists", "SELECT 1 FROM runs WHERE id = $1::bigint"};

const Statement SameGameShown{"same_game_shown", R"(
SELECT o.id FROM runs r JOIN runs o ON o.game = r.game
WHERE r.id = $1::bigint AND o.status = 'verified' AND o.hidden_reason IS NULL AND o.id <> r.id)"};

// As a verification does (board/db/queue.cpp), so that a run verified
// while its name is banned is hidden too.
const Statement NameLocks{"ban_name_locks", R"(
SELECT pg_advisory_xact_lock(1, hashtext($1)), pg_advisory_xact_lock(2, hashtext($2)))"};

const Statement Ban{"ban_name", R"(
INSERT INTO names (skeleton, look, shown, banned_reason, banned_at) VALUES ($1, $2, $3, $4, now())
ON CONFLICT (skeleton) DO UPDATE SET banned_reason = excluded.banned_reason, banned_at = excluded.banned_at)"};

const Statement HideName{"hide_name", R"(
UPDATE runs SET hidden_reason = $3, hidden_at = now(), hidden_by_ban = true
WHERE (skeleton = $1 OR look = $2) AND hidden_reason IS NULL)"};

const Statement Unban{"unban_name", R"(
UPDATE names SET banned_reason = NULL, banned_at = NULL
WHERE (skeleton = $1 OR look = $2) AND banned_reason IS NOT NULL)"};

// A run whose game is on the board by now stays hidden (the copy rule).
const Statement ShowName{"show_name", R"(
UPDATE runs r SET hidden_reason = NULL, hidden_at = NULL, hidden_by_ban = false
WHERE (skeleton = $1 OR look = $2) AND hidden_by_ban
  AND NOT EXISTS (SELECT 1 FROM runs o WHERE o.game = r.game AND o.status = 'verified' AND o.hidden_reason IS NULL))"};

const Statement ListRuns{"list_runs", R"(
SELECT id, to_char(submitted AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), name,
       CASE WHEN hidden_reason IS NOT NULL THEN 'hidden' WHEN stuck THEN 'stuck' ELSE status END,
       score, coalesce(hidden_reason, reason, failure)
FROM runs
WHERE ($1::text IS NULL OR skeleton = $1 OR look = $2)
  AND CASE $3::text WHEN '' THEN true
                    WHEN 'hidden' THEN hidden_reason IS NOT NULL
                    WHEN 'stuck' THEN stuck
                    ELSE status = $3 AND hidden_reason IS NULL END
ORDER BY id DESC LIMIT $4::bigint)"};

const Statement ReadLog{"read_log", R"(
SELECT (SELECT count(*) FROM moderation_log), l.id,
       to_char(l.at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'), l.who, l.action, l.run, l.name, l.reason
FROM (SELECT 1) one LEFT JOIN LATERAL (
  SELECT * FROM moderation_log ORDER BY id DESC LIMIT $1::bigint OFFSET $2::bigint) l ON true
ORDER BY l.id DESC)"};

const Statement CreateToken{"create_token", R"(
INSERT INTO admin_tokens (digest, note) VALUES ($1::bytea, $2) RETURNING id)"};

const Statement ListTokens{"list_tokens", R"(
SELECT id, digest, note, to_char(created AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'),
       to_char(revoked AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"')
FROM admin_tokens WHERE $1::boolean OR revoked IS NULL ORDER BY id)"};

const Statement RevokeToken{"revoke_token", R"(
UPDATE admin_tokens SET revoked = now() WHERE id = $1::bigint AND revoked IS NULL RETURNING note)"};

// Writes to the counts wait while they are counted afresh; reads go on.
// The counts are the classic board's (a day's board counts its runs as it
// is read).
const Statement LockCounts{"lock_counts", "LOCK TABLE score_counts, score_band_counts IN EXCLUSIVE MODE"};

const Statement WrongScores{"wrong_scores", R"(
WITH fresh AS (SELECT score, count(*) AS runs FROM runs
               WHERE status = 'verified' AND hidden_reason IS NULL AND race = 'classic' GROUP BY score)
SELECT coalesce(f.score, c.score), coalesce(c.runs, 0), coalesce(f.runs, 0)
FROM fresh f FULL JOIN score_counts c ON c.score = f.score
WHERE coalesce(c.runs, 0) <> coalesce(f.runs, 0) ORDER BY 1)"};

const Statement WrongBands{"wrong_bands", R"(
WITH fresh AS (SELECT score / 1000 AS band, count(*) AS runs FROM runs
               WHERE status = 'verified' AND hidden_reason IS NULL AND race = 'classic' GROUP BY 1)
SELECT coalesce(f.band, c.band), coalesce(c.runs, 0), coalesce(f.runs, 0)
FROM fresh f FULL JOIN score_band_counts c ON c.band = f.band
WHERE coalesce(c.runs, 0) <> coalesce(f.runs, 0) ORDER BY 1)"};

const Statement RecountScores{"recount_scores", R"(
INSERT INTO score_counts
SELECT score, count(*) FROM runs WHERE status = 'verified' AND hidden_reason IS NULL AND race = 'classic' GROUP BY score)"};

const Statement RecountBands{"recount_bands", R"(
INSERT INTO score_band_counts
SELECT score / 1000, count(*) FROM runs WHERE status = 'verified' AND hidden_reason IS NULL AND race = 'classic' GROUP BY 1)"};

const Statement ClearScores{"clear_scores", "DELETE FROM score_counts"};
const Statement ClearBands{"clear_bands", "DELETE FROM score_band_counts"};
const Statement NotifyBoard{"notify_board", "SELECT pg_notify('vexlo_board', '')"};

const Statement Unnamed{"unnamed_runs", "SELECT id, name FROM runs WHERE skeleton IS NULL ORDER BY id LIMIT 1000"};
const Statement Name{"name_runs", R"(
UPDATE runs r SET skeleton = k.skeleton, look = k.look
FROM unnest($1::bigint[], $2::text[], $3::text[]) AS k(id, skeleton, look) WHERE r.id = k.id)"};

Param number(long long value) { return std::to_string(value); }

void log(Connection& db, const std::string& who, const std::string& action, std::optional<long long> run,
         const Param& name, const Param& reason) {
    db.exec(Log, {who, action, run ? number(*run) : Param(), name, reason});
}

std::optional<std::string> optionalText(const Result& r, int row, int column) {
    return r.isNull(row, column) ? std::nullopt : std::optional<std::string>(r.text(row, column));
}

// An array literal of text for unnest: {"a","b"} with " and \ escaped.
std::string textArray(const std::vector<std::string>& items) {
    std::string out = "{";
    for (const std::string& item : items) {
        if (out.size() > 1)
            out += ',';
        out += '"';
        for (const char c : item) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        out += '"';
    }
    return out + "}";
}

} // namespace

ModerationResult hideRun(Connection& db, long long id, const std::string& reason, const std::string& who) {
    Transaction transaction(db);
    if (db.exec(Hide, {number(id), reason}).affected() == 0)
        return {Moderated::NoSuchRun};
    log(db, who, "hide", id, std::nullopt, reason);
    transaction.commit();
    return {};
}

ModerationResult unhideRun(Connection& db, long long id, const std::string& who) {
    try {
        Transaction transaction(db);
        if (db.exec(Unhide, {number(id)}).affected() == 0)
            return {db.exec(RunExists, {number(id)}).rows() == 0 ? Moderated::NoSuchRun : Moderated::NotHidden};
        log(db, who, "unhide", id, std::nullopt, std::nullopt);
        transaction.commit();
        return {};
    } catch (const Error& error) {
        if (error.sqlState != UniqueViolation)
            throw;
    }
    const Result other = db.exec(SameGameShown, {number(id)});
    return {Moderated::GameOnBoard, other.rows() > 0 ? other.integer(0, 0) : 0};
}

long long banName(Connection& db, const std::string& name, const names::NameKeys& keys, const std::string& reason,
                  const std::string& who) {
    fillNameKeys(db);
    Transaction transaction(db);
    db.exec(NameLocks, {keys.skeleton, keys.look});
    db.exec(Ban, {keys.skeleton, keys.look, name, reason});
    const long long hidden = db.exec(HideName, {keys.skeleton, keys.look, reason}).affected();
    log(db, who, "ban", std::nullopt, name, reason);
    transaction.commit();
    return hidden;
}

std::optional<long long> unbanName(Connection& db, const std::string& name, const names::NameKeys& keys,
                                   const std::string& who) {
    Transaction transaction(db);
    db.exec(NameLocks, {keys.skeleton, keys.look});
    if (db.exec(Unban, {keys.skeleton, keys.look}).affected() == 0)
        return std::nullopt;
    const long long shown = db.exec(ShowName, {keys.skeleton, keys.look}).affected();
    log(db, who, "unban", std::nullopt, name, std::nullopt);
    transaction.commit();
    return shown;
}

bool isRunStatus(const std::string& status) {
    return status == "queued" || status == "verifying" || status == "verified" || status == "rejected" ||
           status == "hidden" || status == "stuck";
}

std::vector<RunLine> listRuns(Connection& db, const RunFilter& filter) {
    if (filter.name)
        fillNameKeys(db);
    const Param skeleton = filter.name ? Param(filter.name->skeleton) : std::nullopt;
    const Param look = filter.name ? Param(filter.name->look) : std::nullopt;
    const Result r = db.exec(ListRuns, {skeleton, look, filter.status, number(filter.limit)});
    std::vector<RunLine> lines;
    for (int row = 0; row < r.rows(); ++row) {
        RunLine line{r.integer(row, 0), r.text(row, 1), r.text(row, 2), r.text(row, 3), std::nullopt, ""};
        if (!r.isNull(row, 4))
            line.score = r.integer(row, 4);
        line.why = r.text(row, 5);
        lines.push_back(std::move(line));
    }
    return lines;
}

LogPage readLog(Connection& db, long long limit, long long offset) {
    const Result r = db.exec(ReadLog, {number(limit), number(offset)});
    LogPage page;
    for (int row = 0; row < r.rows(); ++row) {
        page.total = r.integer(row, 0);
        if (r.isNull(row, 1))
            continue;
        LogEntry e{r.integer(row, 1), r.text(row, 2),          r.text(row, 3),         r.text(row, 4),
                   std::nullopt,      optionalText(r, row, 6), optionalText(r, row, 7)};
        if (!r.isNull(row, 5))
            e.run = r.integer(row, 5);
        page.entries.push_back(std::move(e));
    }
    return page;
}

long long createToken(Connection& db, const std::string& digest, const std::string& note, const std::string& who) {
    Transaction transaction(db);
    const long long id = db.exec(CreateToken, {names::hexBytes(digest), note}).integer(0, 0);
    log(db, who, "token create", std::nullopt, std::nullopt, "token " + std::to_string(id) + ": " + note);
    transaction.commit();
    return id;
}

namespace {

std::vector<AdminToken> tokens(Connection& db, bool all) {
    const Result r = db.exec(ListTokens, {all ? "true" : "false"});
    std::vector<AdminToken> found;
    for (int row = 0; row < r.rows(); ++row)
        found.push_back({r.integer(row, 0), names::fromHexBytes(r.text(row, 1)), r.text(row, 2), r.text(row, 3),
                         optionalText(r, row, 4)});
    return found;
}

} // namespace

std::vector<AdminToken> listTokens(Connection& db) { return tokens(db, true); }
std::vector<AdminToken> activeTokens(Connection& db) { return tokens(db, false); }

bool revokeToken(Connection& db, long long id, const std::string& who) {
    Transaction transaction(db);
    const Result r = db.exec(RevokeToken, {number(id)});
    if (r.rows() == 0)
        return false;
    log(db, who, "token revoke", std::nullopt, std::nullopt, "token " + std::to_string(id) + ": " + r.text(0, 0));
    transaction.commit();
    return true;
}

std::vector<std::string> recount(Connection& db, const std::string& who) {
    Transaction transaction(db);
    db.exec(LockCounts);
    std::vector<std::string> mended;
    for (const auto& [statement, what] : {std::pair{&WrongScores, "score"}, {&WrongBands, "band"}}) {
        const Result wrong = db.exec(*statement);
        for (int row = 0; row < wrong.rows(); ++row)
            mended.push_back(std::string(what) + " " + wrong.text(row, 0) + ": counted " + wrong.text(row, 1) +
                             ", on the board " + wrong.text(row, 2));
    }
    if (!mended.empty()) {
        db.exec(ClearScores);
        db.exec(ClearBands);
        db.exec(RecountScores);
        db.exec(RecountBands);
        db.exec(NotifyBoard);
    }
    log(db, who, "recount", std::nullopt, std::nullopt,
        mended.empty() ? "every count was right" : "mended " + std::to_string(mended.size()) + " counts");
    transaction.commit();
    return mended;
}

void fillNameKeys(Connection& db) {
    for (;;) {
        const Result r = db.exec(Unnamed);
        if (r.rows() == 0)
            return;
        std::string ids = "{";
        std::vector<std::string> skeletons, looks;
        for (int row = 0; row < r.rows(); ++row) {
            if (row > 0)
                ids += ',';
            ids.append(r.text(row, 0));
            const names::NameKeys keys = names::nameKeys(r.text(row, 1));
            skeletons.push_back(keys.skeleton);
            looks.push_back(keys.look);
        }
        db.exec(Name, {ids + "}", textArray(skeletons), textArray(looks)});
    }
}

} // namespace board::db
