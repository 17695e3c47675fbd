#include "board/ops/board_figures.h"

#include <cmath>
#include <limits>

namespace board::ops {

namespace {

const db::Statement Waiting{"figures_waiting", R"(
SELECT (SELECT coalesce(max(id), 0) FROM runs),
       count(*) FILTER (WHERE status = 'queued'),
       count(*) FILTER (WHERE status = 'verifying'),
       coalesce(extract(epoch FROM now() - min(submitted)), 0)::double precision,
       count(*) FILTER (WHERE stuck),
       (SELECT count(*) FROM runs WHERE hidden_reason IS NOT NULL)
FROM runs WHERE status IN ('queued', 'verifying'))"};

const db::Statement Verdicts{"figures_verdicts",
                             "SELECT outcome, kind, bucket, runs, seconds FROM verdict_counts"};

const db::Statement Beats{"figures_beats",
                          "SELECT worker, extract(epoch FROM beat)::double precision FROM worker_heartbeats "
                          "WHERE beat > now() - interval '1 day' ORDER BY worker"};

const db::Statement AddVerdicts{"figures_add_verdicts", R"(
INSERT INTO verdict_counts (outcome, kind, bucket, runs, seconds)
VALUES ($1, $2, $3::double precision, $4::bigint, $5::double precision)
ON CONFLICT (outcome, kind, bucket) DO UPDATE
SET runs = verdict_counts.runs + EXCLUDED.runs, seconds = verdict_counts.seconds + EXCLUDED.seconds)"};

const db::Statement Beat{"figures_beat", R"(
INSERT INTO worker_heartbeats (worker) VALUES ($1)
ON CONFLICT (worker) DO UPDATE SET beat = now())"};

const db::Statement ForgetSilent{"figures_forget_silent",
                                 "DELETE FROM worker_heartbeats WHERE beat < now() - interval '1 day'"};

const db::Statement Forget{"figures_forget", "DELETE FROM worker_heartbeats WHERE worker = $1"};

std::string bound(double value) { return std::isinf(value) ? "Infinity" : std::to_string(value); }

} // namespace

const std::vector<double>& verificationBuckets() {
    static const std::vector<double> buckets = {0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 120};
    return buckets;
}

BoardFigures readBoardFigures(db::Connection& db) {
    BoardFigures figures;
    const db::Result waiting = db.exec(Waiting);
    figures.submitted = waiting.integer(0, 0);
    figures.queued = waiting.integer(0, 1);
    figures.verifying = waiting.integer(0, 2);
    figures.oldestWaitingSeconds = std::stod(waiting.text(0, 3));
    figures.stuck = waiting.integer(0, 4);
    figures.hidden = waiting.integer(0, 5);
    const db::Result verdicts = db.exec(Verdicts);
    for (int r = 0; r < verdicts.rows(); ++r) {
        const std::string top = verdicts.text(r, 2);
        figures.verdicts.push_back({verdicts.text(r, 0), verdicts.text(r, 1),
                                    top == "Infinity" ? std::numeric_limits<double>::infinity() : std::stod(top),
                                    verdicts.integer(r, 3), std::stod(verdicts.text(r, 4))});
    }
    const db::Result beats = db.exec(Beats);
    for (int r = 0; r < beats.rows(); ++r)
        figures.beats.push_back({beats.text(r, 0), std::stod(beats.text(r, 1))});
    return figures;
}

void addVerdicts(db::Connection& db, const VerdictCount& count) {
    db.exec(AddVerdicts, {count.outcome, count.kind, bound(count.bucket), std::to_string(count.runs),
                          std::to_string(count.seconds)});
}

void beat(db::Connection& db, const std::string& worker) {
    db.exec(Beat, {worker});
    db.exec(ForgetSilent);
}

void forgetWorker(db::Connection& db, const std::string& worker) { db.exec(Forget, {worker}); }

} // namespace board::ops
