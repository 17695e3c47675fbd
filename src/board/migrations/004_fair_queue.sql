-- Who sent a run, so that no one sender fills the queue or holds the
-- workers, and what became of the tries that failed on our side.
--
-- submitter: the address the run came from (for IPv6 its /64, which one
-- household or one server holds), for the limit on runs waiting and the
-- turns the workers take. player_key: the SHA-256 of the player key
-- sent with it, if any (added here too for boards that have not yet had the
-- names' migration).
ALTER TABLE runs ADD COLUMN submitter text NOT NULL DEFAULT '';
ALTER TABLE runs ADD COLUMN IF NOT EXISTS player_key bytea;

-- failures: tries in a row that ended on our side (no process, a process
-- killed from outside, a worker gone with its claim), never the run's own
-- doing; each puts the run back until not_before, a delay that doubles from
-- 1 s up to 5 min. failure: what the last one was, for the operators.
-- stuck: a run still waiting after 10 of them, for the operators to see.
ALTER TABLE runs ADD COLUMN failures integer NOT NULL DEFAULT 0;
ALTER TABLE runs ADD COLUMN not_before timestamptz;
ALTER TABLE runs ADD COLUMN failure text;
ALTER TABLE runs ADD COLUMN stuck boolean
    GENERATED ALWAYS AS (failures >= 10 AND status IN ('queued', 'verifying')) STORED;

-- The limit on runs waiting, counted per sender and per player key.
CREATE INDEX runs_waiting_submitter ON runs (submitter) WHERE status = 'queued';
CREATE INDEX runs_waiting_player ON runs (player_key) WHERE status = 'queued' AND player_key IS NOT NULL;
-- A key script already on the board is refused before it is stored.
CREATE INDEX runs_board_keys ON runs (keys_digest) WHERE status = 'verified';
CREATE INDEX runs_stuck ON runs (id) WHERE stuck;
