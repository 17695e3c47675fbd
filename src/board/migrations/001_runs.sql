-- Every run submitted. A run is queued until a worker claims it, verifying
-- while the worker plays it (its lease says until when the claim holds),
-- then verified or rejected for good.
CREATE TABLE runs (
    id          bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name        text NOT NULL,
    keys        text NOT NULL,
    keys_digest bytea NOT NULL,    -- sha256 of keys: copies submitted together finish in order
    submitted   timestamptz NOT NULL DEFAULT now(),
    status      text NOT NULL DEFAULT 'queued'
                CHECK (status IN ('queued', 'verifying', 'verified', 'rejected')),
    claims      integer NOT NULL DEFAULT 0,    -- claims so far; the current one's token
    lease_until timestamptz,
    score       integer,
    updates     integer,
    game        bytea,                         -- sha256 of the keys the game took
    reason      text,
    finished    timestamptz,
    CHECK ((status = 'verifying') = (lease_until IS NOT NULL)),
    CHECK ((status = 'verified') = (score IS NOT NULL AND updates IS NOT NULL AND game IS NOT NULL)),
    CHECK ((status = 'rejected') = (reason IS NOT NULL))
);

-- The queue: the few runs not finished yet, in submission order.
CREATE INDEX runs_waiting ON runs (id) WHERE status IN ('queued', 'verifying');
-- The board, read in order straight from the index.
CREATE INDEX runs_ranking ON runs (score DESC, id) INCLUDE (name, updates) WHERE status = 'verified';
-- One verified run per game: a copied recording is not a new score.
CREATE UNIQUE INDEX runs_one_game ON runs (game) WHERE status = 'verified';
CREATE INDEX runs_waiting_digest ON runs (keys_digest) WHERE status IN ('queued', 'verifying');

-- Verified runs counted by score and by band of a thousand scores (the
-- screen shows six digits, so a thousand bands), kept in the transaction
-- that verifies a run: a rank or a deep page is a sum over at most a
-- thousand rows of each rather than a count over every run.
-- (integer counts: their sums are bigint, summed much faster than numeric;
-- the covering index reads a band's scores without visiting the table.)
CREATE TABLE score_counts (
    score integer PRIMARY KEY,
    runs  integer NOT NULL
);
CREATE UNIQUE INDEX score_counts_covering ON score_counts (score) INCLUDE (runs);
CREATE TABLE score_band_counts (
    band integer PRIMARY KEY,
    runs integer NOT NULL
);
