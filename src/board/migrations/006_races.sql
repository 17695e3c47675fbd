-- The race of each run, as its key script names it: 'classic', or
-- 'daily YYYY-MM-DD' for the daily race of that day. Every run before this
-- was of the classic race.
ALTER TABLE runs ADD COLUMN race text NOT NULL DEFAULT 'classic'
    CHECK (race = 'classic' OR race ~ '^daily [0-9]{4}-[0-9]{2}-[0-9]{2}$');

-- The classic board keeps its index and its counts (score_counts and
-- score_band_counts count classic runs only from here on).
DROP INDEX runs_ranking;
CREATE INDEX runs_ranking ON runs (score DESC, id) INCLUDE (name, updates)
    WHERE status = 'verified' AND hidden_reason IS NULL AND race = 'classic';
-- A day's board: one day's runs, counted as they are read.
CREATE INDEX runs_daily_ranking ON runs (race, score DESC, id) INCLUDE (name, updates)
    WHERE status = 'verified' AND hidden_reason IS NULL AND race <> 'classic';

-- The counts of 003, of the classic board alone; a change to any board
-- still tells the servers, whose pages of every board it makes old.
CREATE OR REPLACE FUNCTION count_board_changes() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public AS $$
DECLARE
    scores integer[];
    changes integer[];
    touched bigint;
BEGIN
    IF TG_OP = 'TRUNCATE' THEN
        DELETE FROM score_counts;
        DELETE FROM score_band_counts;
        PERFORM pg_notify('vexlo_board', '');
        RETURN NULL;
    ELSIF TG_OP = 'INSERT' THEN
        SELECT array_agg(score) FILTER (WHERE race = 'classic'), array_agg(1) FILTER (WHERE race = 'classic'),
               count(*)
        INTO scores, changes, touched
        FROM new_runs WHERE status = 'verified' AND hidden_reason IS NULL;
    ELSIF TG_OP = 'DELETE' THEN
        SELECT array_agg(score) FILTER (WHERE race = 'classic'), array_agg(-1) FILTER (WHERE race = 'classic'),
               count(*)
        INTO scores, changes, touched
        FROM old_runs WHERE status = 'verified' AND hidden_reason IS NULL;
    ELSE
        SELECT array_agg(score) FILTER (WHERE race = 'classic'), array_agg(change) FILTER (WHERE race = 'classic'),
               count(*)
        INTO scores, changes, touched FROM (
            SELECT score, race, 1 AS change FROM new_runs WHERE status = 'verified' AND hidden_reason IS NULL
            UNION ALL
            SELECT score, race, -1 FROM old_runs WHERE status = 'verified' AND hidden_reason IS NULL) c;
    END IF;
    IF touched = 0 THEN
        RETURN NULL;
    END IF;
    PERFORM pg_notify('vexlo_board', '');
    IF scores IS NULL THEN
        RETURN NULL;
    END IF;
    INSERT INTO score_counts AS s (score, runs)
        SELECT score, sum(change) FROM unnest(scores, changes) AS c(score, change)
        GROUP BY score HAVING sum(change) <> 0 ORDER BY score
    ON CONFLICT (score) DO UPDATE SET runs = s.runs + excluded.runs;
    INSERT INTO score_band_counts AS s (band, runs)
        SELECT score / 1000, sum(change) FROM unnest(scores, changes) AS c(score, change)
        GROUP BY score / 1000 HAVING sum(change) <> 0 ORDER BY score / 1000
    ON CONFLICT (band) DO UPDATE SET runs = s.runs + excluded.runs;
    RETURN NULL;
END $$;
