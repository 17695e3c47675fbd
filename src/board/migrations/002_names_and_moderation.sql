-- Names that belong to their players, and moderation with a log.

-- A run's name as compared (the server computes both keys, see
-- board/names/player_name.h; runs from before have none until a ban or a
-- listing by name fills them in), the SHA-256 of the player key sent with
-- it, and whether the board's operators hid it (and whether by a ban of its
-- name, which unban undoes).
ALTER TABLE runs
    ADD COLUMN skeleton      text,
    ADD COLUMN look          text,
    ADD COLUMN player_key    bytea,
    ADD COLUMN hidden_reason text,
    ADD COLUMN hidden_at     timestamptz,
    ADD COLUMN hidden_by_ban boolean NOT NULL DEFAULT false,
    ADD CHECK ((hidden_reason IS NULL) = (hidden_at IS NULL)),
    ADD CHECK (hidden_reason IS NOT NULL OR NOT hidden_by_ban);

CREATE INDEX runs_skeleton ON runs (skeleton);
CREATE INDEX runs_look ON runs (look);
CREATE INDEX runs_unnamed ON runs (id) WHERE skeleton IS NULL;

-- The board holds verified runs that are not hidden: its index, and the
-- copy rule, which counts only runs on the board (a hidden run's game may
-- be submitted again under another name).
DROP INDEX runs_ranking;
CREATE INDEX runs_ranking ON runs (score DESC, id) INCLUDE (name, updates)
    WHERE status = 'verified' AND hidden_reason IS NULL;
DROP INDEX runs_one_game;
CREATE UNIQUE INDEX runs_one_game ON runs (game) WHERE status = 'verified' AND hidden_reason IS NULL;

-- Names claimed or banned, one row a skeleton. A claimed name's key is the
-- SHA-256 of the player key of its first verified run.
CREATE TABLE names (
    skeleton      text PRIMARY KEY,
    look          text NOT NULL,
    shown         text NOT NULL,     -- as its player (or the operator) wrote it
    player_key    bytea,
    claimed_by    bigint,            -- the run that claimed it
    claimed_at    timestamptz,
    banned_reason text,
    banned_at     timestamptz,
    CHECK ((player_key IS NULL) = (claimed_at IS NULL)),
    CHECK ((banned_reason IS NULL) = (banned_at IS NULL))
);
CREATE INDEX names_look ON names (look);

-- Tokens for the HTTP admin routes: only their SHA-256 is kept.
CREATE TABLE admin_tokens (
    id      integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    digest  bytea NOT NULL UNIQUE,
    note    text NOT NULL,
    created timestamptz NOT NULL DEFAULT now(),
    revoked timestamptz
);

-- Every action of the operators, one row each, never changed or removed.
CREATE TABLE moderation_log (
    id     bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    at     timestamptz NOT NULL DEFAULT now(),
    who    text NOT NULL,    -- the token's note, or cli: and the system's user
    action text NOT NULL,    -- hide, unhide, ban, unban, token create, token revoke, recount
    run    bigint,
    name   text,
    reason text
);

CREATE FUNCTION refuse_log_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    RAISE EXCEPTION 'the moderation log is append-only';
END $$;
CREATE TRIGGER moderation_log_append_only BEFORE UPDATE OR DELETE ON moderation_log
    FOR EACH ROW EXECUTE FUNCTION refuse_log_change();
CREATE TRIGGER moderation_log_no_truncate BEFORE TRUNCATE ON moderation_log
    FOR EACH STATEMENT EXECUTE FUNCTION refuse_log_change();

-- Where the operator gives the server a role of its own, as a member of
-- vexlo_board_server (docs/board.md), and applies the migrations as the
-- tables' owner: the server may read and write the runs and names, read
-- the tokens and the board's counts (which the database keeps itself), and
-- only add to the log.
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vexlo_board_server') THEN
        GRANT SELECT ON schema_migrations, admin_tokens, score_counts, score_band_counts TO vexlo_board_server;
        GRANT SELECT, INSERT, UPDATE ON runs, names TO vexlo_board_server;
        GRANT SELECT, INSERT ON moderation_log TO vexlo_board_server;
    END IF;
END $$;
