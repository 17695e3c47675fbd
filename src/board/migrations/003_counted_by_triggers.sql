-- The board's counts (runs on the board by score and by band of a thousand
-- scores) kept by the database itself: whatever changes the runs, a
-- verification, a hide, or a DELETE typed by hand, changes the counts in
-- the same statement, so they always equal a fresh count.
--
-- Each statement's change is summed by score from its transition tables
-- and applied in the order of the scores, then of the bands, so that two
-- statements never wait for each other's counts in a circle. A statement
-- that touched a run on the board also tells the servers, which keep pages
-- of the board until told (channel vexlo_board). The function runs as the
-- tables' owner: the server need not write the counts itself.
CREATE FUNCTION count_board_changes() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public AS $$
DECLARE
    scores integer[];
    changes integer[];
BEGIN
    IF TG_OP = 'TRUNCATE' THEN
        DELETE FROM score_counts;
        DELETE FROM score_band_counts;
        PERFORM pg_notify('vexlo_board', '');
        RETURN NULL;
    ELSIF TG_OP = 'INSERT' THEN
        SELECT array_agg(score), array_agg(1) INTO scores, changes
        FROM new_runs WHERE status = 'verified' AND hidden_reason IS NULL;
    ELSIF TG_OP = 'DELETE' THEN
        SELECT array_agg(score), array_agg(-1) INTO scores, changes
        FROM old_runs WHERE status = 'verified' AND hidden_reason IS NULL;
    ELSE
        SELECT array_agg(score), array_agg(change) INTO scores, changes FROM (
            SELECT score, 1 AS change FROM new_runs WHERE status = 'verified' AND hidden_reason IS NULL
            UNION ALL
            SELECT score, -1 FROM old_runs WHERE status = 'verified' AND hidden_reason IS NULL) c;
    END IF;
    IF scores IS NULL THEN
        RETURN NULL;
    END IF;
    PERFORM pg_notify('vexlo_board', '');
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

CREATE TRIGGER runs_counted_insert AFTER INSERT ON runs REFERENCING NEW TABLE AS new_runs
    FOR EACH STATEMENT EXECUTE FUNCTION count_board_changes();
CREATE TRIGGER runs_counted_update AFTER UPDATE ON runs REFERENCING OLD TABLE AS old_runs NEW TABLE AS new_runs
    FOR EACH STATEMENT EXECUTE FUNCTION count_board_changes();
CREATE TRIGGER runs_counted_delete AFTER DELETE ON runs REFERENCING OLD TABLE AS old_runs
    FOR EACH STATEMENT EXECUTE FUNCTION count_board_changes();
CREATE TRIGGER runs_counted_truncate AFTER TRUNCATE ON runs
    FOR EACH STATEMENT EXECUTE FUNCTION count_board_changes();

-- Counted afresh once, so that the triggers start from the truth.
DELETE FROM score_counts;
DELETE FROM score_band_counts;
INSERT INTO score_counts
    SELECT score, count(*) FROM runs WHERE status = 'verified' AND hidden_reason IS NULL GROUP BY score;
INSERT INTO score_band_counts
    SELECT score / 1000, count(*) FROM runs WHERE status = 'verified' AND hidden_reason IS NULL GROUP BY 1;

