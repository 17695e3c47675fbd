-- The race of each run, as its key script names it: 'classic', or
-- 'daily YYYY-MM-DD' for the daily race of that day. Every run before this
-- was of the classic race.
ALTER TABLE runs ADD COLUMN race text NOT NULL DEFAULT 'classic'
    CHECK (race = 'classic' OR race ~ '^daily [0-9]{4}-[0-9]{2}-[0-9]{2}$');

-- The classic board keeps its index and its counts (score_counts and
-- score_band_counts count classic runs only from here on).
DROP INDEX runs_ranking;
CREATE INDEX runs_ranking ON runs (score DESC, id) INCLUDE (name, updates)
    WHERE status = 'verified' AND race = 'classic';
-- A day's board: one day's runs, counted as they are read.
CREATE INDEX runs_daily_ranking ON runs (race, score DESC, id) INCLUDE (name, updates)
    WHERE status = 'verified' AND race <> 'classic';
