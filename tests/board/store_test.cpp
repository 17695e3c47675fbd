// The database side on a real PostgreSQL: migrations, the leased queue, one
// run per game, and the board's order and ranks at any depth.
#include "board/db/migrate.h"
#include "board/db/queue.h"
#include "board/db/run_store.h"
#include "board_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace board::db;

class Store : public ::testing::Test {
protected:
    Store() : db(base.url()) { migrate(db); }
    board_test::TestDatabase base;
    Connection db;
};

TEST(Migrations, ApplyOnceWhenProcessesStartTogether) {
    board_test::TestDatabase base;
    std::atomic<int> applied{0};
    std::vector<std::thread> starts;
    for (int i = 0; i < 4; ++i)
        starts.emplace_back([&] {
            Connection c(base.url(), std::chrono::seconds(30));
            applied += migrate(c);
        });
    for (auto& t : starts)
        t.join();
    EXPECT_EQ(applied, static_cast<int>(migrations().size()));
    Connection again(base.url());
    EXPECT_EQ(migrate(again), 0);
    EXPECT_EQ(base.value("SELECT count(*) FROM schema_migrations"), std::to_string(migrations().size()));
}

TEST_F(Store, ClaimsInOrderAndHandsOverARunWhoseLeaseRanOut) {
    const long long first = submitRun(db, "a", "272 13\n"), second = submitRun(db, "b", "");
    const auto claim = claimRun(db, 1);
    ASSERT_TRUE(claim);
    EXPECT_EQ(claim->id, first);
    EXPECT_EQ(claim->keys, "272 13\n");
    EXPECT_EQ(findRun(db, first)->status, "verifying");
    EXPECT_EQ(claimRun(db, 1)->id, second);
    EXPECT_FALSE(claimRun(db, 1));
    // The first claim's worker died: once its lease runs out the run is
    // claimed again, and the dead claim can no longer finish it.
    std::optional<Claim> again;
    ASSERT_TRUE(
        board_test::eventually([&] { return (again = claimRun(db, 30)).has_value(); }, std::chrono::seconds(5)));
    EXPECT_EQ(again->id, first);
    EXPECT_EQ(again->token, claim->token + 1);
    EXPECT_EQ(finishRejected(db, *claim, "late"), Finish::Lost);
    EXPECT_TRUE(renewLease(db, *again, 30));
    EXPECT_EQ(finishVerified(db, *again, 1328, 1669, "271 13\n"), Finish::Done);
    EXPECT_FALSE(renewLease(db, *again, 30));
    const RunView run = *findRun(db, first);
    EXPECT_EQ(run.status, "verified");
    EXPECT_EQ(run.score, 1328);
    EXPECT_EQ(run.updates, 1669);
    EXPECT_EQ(run.rank, 1);
    EXPECT_FALSE(run.reason);
}

TEST_F(Store, KeepsOneRunPerGameAndReleasesWhatItCannotFinish) {
    const long long original = submitRun(db, "a", "272 13\n");
    const long long copy = submitRun(db, "b", "# mine\n5 13\n");
    const auto a = claimRun(db, 30), b = claimRun(db, 30);
    EXPECT_EQ(finishVerified(db, *a, 1328, 1669, "271 13\n"), Finish::Done);
    EXPECT_EQ(finishVerified(db, *b, 1328, 1669, "271 13\n"), Finish::Duplicate);
    const RunView rejected = *findRun(db, copy);
    EXPECT_EQ(rejected.status, "rejected");
    EXPECT_EQ(*rejected.reason, "the same game as run " + std::to_string(original) + ", already on the board");
    EXPECT_FALSE(rejected.score);
    EXPECT_EQ(base.value("SELECT sum(runs) FROM score_counts"), "1");
    // A run given back waits again, and is claimed again.
    const long long third = submitRun(db, "c", "");
    const auto c = claimRun(db, 30);
    releaseRun(db, *c);
    EXPECT_EQ(findRun(db, third)->status, "queued");
    EXPECT_EQ(claimRun(db, 30)->id, third);
}

TEST_F(Store, RanksByScoreThenSubmissionAtAnyDepth) {
    // 1200 runs over few scores, many equal, across bands of a thousand.
    db.script(
        "INSERT INTO runs (name, keys, keys_digest) SELECT 'r' || i, i::text, '' FROM generate_series(1, 1200) i");
    for (int i = 1; i <= 1200; ++i) {
        const auto claim = claimRun(db, 30);
        const int score = (i * 7919) % 13 * 1500 + (i % 3);
        ASSERT_EQ(finishVerified(db, *claim, score, i, std::to_string(i)), Finish::Done);
    }
    const Result order =
        db.exec({"order", "SELECT id FROM runs WHERE status = 'verified' ORDER BY score DESC, id"});
    for (long long offset : {0LL, 7LL, 999LL, 1000LL, 1001LL, 1150LL, 1195LL, 1200LL, 5000LL}) {
        const BoardPage page = boardPage(db, 10, offset);
        EXPECT_EQ(page.total, 1200);
        const long long expected = std::max(0LL, std::min(10LL, 1200 - offset));
        ASSERT_EQ(static_cast<long long>(page.runs.size()), expected) << offset;
        for (long long k = 0; k < expected; ++k) {
            EXPECT_EQ(page.runs[k].id, order.integer(static_cast<int>(offset + k), 0)) << offset << "+" << k;
            EXPECT_EQ(page.runs[k].rank, offset + k + 1);
        }
    }
    for (int position : {0, 1, 500, 1000, 1199})
        EXPECT_EQ(findRun(db, order.integer(position, 0))->rank, position + 1);
}

} // namespace
