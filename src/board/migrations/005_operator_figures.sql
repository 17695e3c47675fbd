-- What the operator's metrics read of the workers, which run in processes
-- of their own: verdicts counted by outcome, kind of reason and the bucket
-- of the time they took (a histogram's buckets, one row each), and each
-- worker's last sign of life.
CREATE TABLE verdict_counts (
    outcome text NOT NULL,             -- verified or rejected
    kind    text NOT NULL,             -- a rejected run's kind of reason; '' for verified
    bucket  double precision NOT NULL, -- took at most this many seconds ('Infinity': more than every bucket)
    runs    bigint NOT NULL,
    seconds double precision NOT NULL, -- the time they took, added up
    PRIMARY KEY (outcome, kind, bucket)
);

CREATE TABLE worker_heartbeats (
    worker  text PRIMARY KEY,          -- host:pid
    started timestamptz NOT NULL DEFAULT now(),
    beat    timestamptz NOT NULL DEFAULT now()
);

-- The runs the operators hid, and those stuck after failures on our side,
-- counted at each scrape without reading the whole table.
CREATE INDEX runs_hidden ON runs (id) WHERE hidden_reason IS NOT NULL;

-- A server and workers with a role of their own (docs/board.md) keep these
-- figures: the workers add their verdicts and beats, and forget the silent.
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vexlo_board_server') THEN
        GRANT SELECT, INSERT, UPDATE, DELETE ON verdict_counts, worker_heartbeats TO vexlo_board_server;
    END IF;
END $$;
