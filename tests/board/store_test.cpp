// The database side on a real PostgreSQL: migrations, the leased queue and
// its turns, failures on our side, what a submission may store, one run per
// game, and the board's order and ranks at any depth.
#include "board/db/migrate.h"
#include "board/db/queue.h"
#include "board/db/run_store.h"
#include "board_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
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

// A run's whole row, as text: what a statement that changes nothing leaves.
std::string row(const board_test::TestDatabase& base, long long id) {
    return base.value("SELECT row(r.*)::text FROM runs r WHERE id = " + std::to_string(id)) + " / " +
           base.value("SELECT coalesce(sum(runs), 0) FROM score_counts");
}

TEST_F(Store, EveryFinishWithAStaleClaimIsLostAndChangesNothing) {
    const long long id = submitRun(db, "a", "272 13\n");
    const auto stale = claimRun(db, 1);
    ASSERT_TRUE(stale);
    std::optional<Claim> current;
    ASSERT_TRUE(
        board_test::eventually([&] { return (current = claimRun(db, 30)).has_value(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(current->leaseRanOut);
    for (const bool verified : {false, true}) {
        const std::string before = row(base, id);
        EXPECT_EQ(finishVerified(db, *stale, 1328, 1669, "play"), Finish::Lost);
        EXPECT_EQ(finishRejected(db, *stale, "late"), Finish::Lost);
        EXPECT_EQ(putBack(db, *stale, "late").finish, Finish::Lost);
        releaseRun(db, *stale);
        EXPECT_FALSE(renewLease(db, *stale, 30));
        EXPECT_EQ(row(base, id), before) << "verified: " << verified;
        if (!verified) {
            ASSERT_EQ(finishVerified(db, *current, 1328, 1669, "play"), Finish::Done);
        }
    }
    // Once finished, the current claim is as stale as the other.
    EXPECT_EQ(finishRejected(db, *current, "late"), Finish::Lost);
    EXPECT_EQ(findRun(db, id)->status, "verified");
}

TEST_F(Store, AFailureOnOurSidePutsARunBackForADoublingDelayAndTenMarkItStuck) {
    const long long id = submitRun(db, "a", "272 13\n");
    const char* whenClaimable = "SELECT round(extract(epoch FROM not_before - now())) FROM runs";
    for (int failure = 1; failure <= 11; ++failure) {
        db.script("UPDATE runs SET not_before = NULL"); // its time has come
        const auto claim = claimRun(db, 30);
        ASSERT_TRUE(claim);
        EXPECT_EQ(claim->failures, failure - 1);
        const PutBack back = putBack(db, *claim, "fork: Resource temporarily unavailable");
        EXPECT_EQ(back.failures, failure);
        const int delay = std::min(1 << (failure - 1), MaxRetryDelaySeconds);
        EXPECT_EQ(back.delaySeconds, delay);
        EXPECT_EQ(base.value(whenClaimable), std::to_string(delay));
        EXPECT_FALSE(claimRun(db, 30)) << "claimed before its delay, after failure " << failure;
        EXPECT_EQ(stuckRuns(db), failure >= StuckAfter ? 1 : 0) << failure;
        EXPECT_EQ(findRun(db, id)->status, "queued");
    }
    EXPECT_EQ(base.value("SELECT failure FROM runs"), "fork: Resource temporarily unavailable");
    // A worker gone with its claim is a failure too; a verdict ends being stuck.
    db.script("UPDATE runs SET not_before = NULL");
    ASSERT_TRUE(claimRun(db, 1));
    std::optional<Claim> again;
    ASSERT_TRUE(
        board_test::eventually([&] { return (again = claimRun(db, 30)).has_value(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(again->leaseRanOut);
    EXPECT_EQ(again->failures, 12);
    EXPECT_EQ(finishVerified(db, *again, 1328, 1669, "play"), Finish::Done);
    EXPECT_EQ(stuckRuns(db), 0);
}

// prefix and i as one string. (GCC 12 warns wrongly about adding them.)
std::string numbered(const char* prefix, int i) {
    std::ostringstream text;
    text << prefix << i;
    return text.str();
}

Submission from(const std::string& submitter, const std::string& keys,
                std::optional<std::string> playerKey = std::nullopt) {
    // A name of its own each, so that no key claims another's.
    return Submission{"n " + keys, keys, "n " + keys, "n " + keys, std::move(playerKey), submitter};
}

TEST_F(Store, TakesWaitingRunsInTurnsBySender) {
    std::vector<long long> a, b, c;
    for (int i = 0; i < 4; ++i)
        a.push_back(submitRun(db, from("a", numbered("a", i)), 0).id);
    b.push_back(submitRun(db, from("b", "b"), 0).id);
    for (int i = 0; i < 2; ++i)
        c.push_back(submitRun(db, from("c", numbered("c", i)), 0).id);
    // Each sender's first, then each one's second, ...; a run being verified
    // keeps its sender's turn.
    const std::vector<long long> expected{a[0], b[0], c[0], a[1], c[1], a[2], a[3]};
    std::vector<long long> order;
    while (const auto claim = claimRun(db, 30))
        order.push_back(claim->id);
    EXPECT_EQ(order, expected);
}

TEST_F(Store, RefusesACopyOfARunOnTheBoardAndMoreThanThreeWaitingFromOneSenderOrKey) {
    // Three waiting from one address; a fourth waits for one of them to be claimed.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(submitRun(db, from("10.0.0.1", numbered("x", i)), 3).kind, Submitted::Queued);
    EXPECT_EQ(submitRun(db, from("10.0.0.1", "x3"), 3).kind, Submitted::TooManyFromSender);
    EXPECT_EQ(submitRun(db, from("10.0.0.2", "x3"), 3).kind, Submitted::Queued);
    ASSERT_TRUE(claimRun(db, 30));
    EXPECT_EQ(submitRun(db, from("10.0.0.1", "x4"), 3).kind, Submitted::Queued);
    // The same for a player key, from anywhere; without it, the address alone.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(submitRun(db, from(numbered("10.1.0.", i), numbered("k", i), "key"), 3).kind, Submitted::Queued);
    EXPECT_EQ(submitRun(db, from("10.1.0.9", "k9", "key"), 3).kind, Submitted::TooManyForKey);
    EXPECT_EQ(submitRun(db, from("10.1.0.9", "k9", "another key"), 3).kind, Submitted::Queued);
    EXPECT_EQ(submitRun(db, from("10.1.0.8", "k8"), 3).kind, Submitted::Queued);
    // Many at once from one address: still three.
    std::vector<std::thread> rush;
    std::atomic<int> queued{0};
    for (int i = 0; i < 8; ++i)
        rush.emplace_back([&, i] {
            Connection c(base.url());
            queued += submitRun(c, from("10.2.0.1", numbered("r", i)), 3).kind == Submitted::Queued;
        });
    for (auto& t : rush)
        t.join();
    EXPECT_EQ(queued, 3);
    // A copy of a key script on the board: its run's id, nothing stored.
    while (const auto claim = claimRun(db, 30))
        ASSERT_EQ(finishVerified(db, *claim, 100, 1000, "play of " + claim->keys), Finish::Done);
    const std::string count = base.value("SELECT count(*) FROM runs");
    const Submitted copy = submitRun(db, from("10.3.0.1", "k8"), 3);
    EXPECT_EQ(copy.kind, Submitted::OnBoard);
    EXPECT_EQ(std::to_string(copy.id), base.value("SELECT id FROM runs WHERE keys = 'k8'"));
    EXPECT_EQ(base.value("SELECT count(*) FROM runs"), count);
    EXPECT_EQ(submitRun(db, from("10.3.0.1", "k8\n"), 3).kind, Submitted::Queued); // played, then judged
}

TEST_F(Store, ASubmissionWakesTheWorkers) {
    Connection listener(base.url());
    listener.script("LISTEN vexlo_runs");
    EXPECT_FALSE(listener.awaitNotifications(std::chrono::milliseconds(50)));
    submitRun(db, "a", "272 13\n");
    EXPECT_TRUE(listener.awaitNotifications(std::chrono::seconds(5)));
}

} // namespace
