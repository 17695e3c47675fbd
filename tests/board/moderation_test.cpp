// Names, moderation and the board's counts on a real PostgreSQL: the counts
// follow every change of the runs (a DELETE by hand too) and a recount
// mends what was changed behind their back; hides and bans, with their
// log; a name claimed by the first verified run, a race of two settled at
// verification; and a server with a role of its own that can only add to
// the log.
#include "board/db/migrate.h"
#include "board/db/moderation.h"
#include "board/db/queue.h"
#include "board/db/run_store.h"
#include "board/names/player_name.h"
#include "board/names/secret.h"
#include "board/ops/board_figures.h"
#include "board_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace board::db;
using board::names::digestOf;
using board::names::nameKeys;

class Moderation : public ::testing::Test {
protected:
    Moderation() : db(base.url()) { migrate(db); }

    // A run submitted as the API stores it (key: the player's, or none).
    long long submit(const std::string& name, const std::string& key = "") {
        const auto keys = nameKeys(name);
        Submission run{name, "272 13\n# " + std::to_string(++games) + "\n", keys.skeleton, keys.look, std::nullopt,
                       ""};
        if (!key.empty())
            run.playerKey = digestOf(key);
        return submitRun(db, run).id;
    }
    // Claims the oldest waiting run and finishes it as verified with a game
    // of its own (or the game given: a copy).
    Finish verify(int score, const std::string& game = "") {
        const auto claim = claimRun(db, 30);
        EXPECT_TRUE(claim);
        return finishVerified(db, *claim, score, 1000, game.empty() ? "game " + std::to_string(claim->id) : game);
    }
    long long verified(const std::string& name, int score, const std::string& key = "") {
        const long long id = submit(name, key);
        EXPECT_EQ(verify(score), Finish::Done);
        return id;
    }
    std::string drift() { return board_test::boardDrift(base.url()); }
    std::string status(long long id) {
        const RunView run = *findRun(db, id);
        return run.hidden ? "hidden: " + *run.hidden : run.status;
    }

    board_test::TestDatabase base;
    Connection db;
    int games = 0;
};

TEST_F(Moderation, CountsFollowEveryChangeOfTheRunsEvenByHand) {
    std::vector<long long> ids;
    for (int i = 0; i < 30; ++i)
        ids.push_back(verified("player " + std::to_string(i % 7), (i * 37) % 5 * 700 + i % 2));
    EXPECT_EQ(drift(), "");
    for (int i : {0, 5, 9})
        hideRun(db, ids[i], "a test", "tester");
    EXPECT_EQ(boardPage(db, 10, 0).total, 27);
    EXPECT_FALSE(findRun(db, ids[5])->rank);
    EXPECT_EQ(drift(), "");
    unhideRun(db, ids[5], "tester");
    EXPECT_EQ(drift(), "");
    // By hand, behind the server's back: runs deleted (one of them hidden),
    // a score changed, a verified run inserted, a status changed.
    db.script("DELETE FROM runs WHERE id IN (" + std::to_string(ids[1]) + ", " + std::to_string(ids[9]) + ", " +
              std::to_string(ids[17]) + ", " + std::to_string(ids[22]) + ")");
    EXPECT_EQ(boardPage(db, 10, 0).total, 25);
    EXPECT_EQ(drift(), "");
    db.script("UPDATE runs SET score = score + 1500 WHERE id = " + std::to_string(ids[3]));
    db.script(
        "INSERT INTO runs (name, keys, keys_digest, status, score, updates, game) "
        "VALUES ('typed', '', '', 'verified', 2100, 1, 'typed')");
    db.script(
        "UPDATE runs SET status = 'rejected', reason = 'by hand', score = NULL, updates = NULL, game = NULL "
        "WHERE id = " +
        std::to_string(ids[4]));
    EXPECT_EQ(boardPage(db, 10, 0).total, 25);
    EXPECT_EQ(drift(), "");
    db.script("TRUNCATE runs");
    EXPECT_EQ(boardPage(db, 10, 0).total, 0);
    EXPECT_EQ(drift(), "");
}

TEST_F(Moderation, RecountMendsCountsChangedBehindTheirBackAndSaysWhat) {
    for (int i = 0; i < 12; ++i)
        verified("p", 1000 + i % 3);
    db.script(
        "UPDATE score_counts SET runs = runs + 5 WHERE score = 1001;"
        "DELETE FROM score_band_counts;"
        "INSERT INTO score_counts VALUES (424242, 3)");
    EXPECT_NE(drift(), "");
    const std::vector<std::string> mended = recount(db, "cli:tester");
    EXPECT_EQ(mended, (std::vector<std::string>{"score 1001: counted 9, on the board 4",
                                                "score 424242: counted 3, on the board 0",
                                                "band 1: counted 0, on the board 12"}));
    EXPECT_EQ(drift(), "");
    EXPECT_TRUE(recount(db, "cli:tester").empty());
    const LogPage log = readLog(db, 10, 0);
    ASSERT_EQ(log.total, 2);
    EXPECT_EQ(log.entries[0].reason, "every count was right");
    EXPECT_EQ(log.entries[1].reason, "mended 3 counts");
    EXPECT_EQ(log.entries[1].who, "cli:tester");
}

TEST_F(Moderation, HidesAndBansEachWithItsRowOfTheLog) {
    const long long ann = verified("Ann", 900), bob = verified("Bob", 800);
    EXPECT_EQ(hideRun(db, ann, "cheated", "Mo").outcome, Moderated::Done);
    EXPECT_EQ(status(ann), "hidden: cheated");
    EXPECT_EQ(boardPage(db, 10, 0).runs.at(0).id, bob);
    EXPECT_EQ(unhideRun(db, ann, "Mo").outcome, Moderated::Done);
    EXPECT_EQ(unhideRun(db, ann, "Mo").outcome, Moderated::NotHidden);
    EXPECT_EQ(hideRun(db, 99999, "x", "Mo").outcome, Moderated::NoSuchRun);
    EXPECT_EQ(unhideRun(db, 99999, "Mo").outcome, Moderated::NoSuchRun);
    // A hidden run's game may be verified again under another name; then
    // the first may not come back beside it.
    hideRun(db, ann, "cheated", "Mo");
    const long long copy = submit("Cy");
    EXPECT_EQ(verify(900, "game " + std::to_string(ann)), Finish::Done);
    const ModerationResult back = unhideRun(db, ann, "Mo");
    EXPECT_EQ(back.outcome, Moderated::GameOnBoard);
    EXPECT_EQ(back.otherRun, copy);
    EXPECT_EQ(drift(), "");

    // A ban hides every run under the name and its look-alikes, runs stored
    // before names had keys too, and a run verified while it holds.
    db.script(
        "INSERT INTO runs (name, keys, keys_digest, status, score, updates, game) "
        "VALUES ('ANN', '', '', 'verified', 700, 1, 'old')");
    const long long wide = verified("\uff21\uff4e\uff4e", 600), waiting = submit("ann");
    EXPECT_EQ(banName(db, "aNN", nameKeys("aNN"), "rude", "Mo"), 3); // the old, the wide, the waiting
    EXPECT_EQ(nameStanding(db, nameKeys("Ann").skeleton, nameKeys("Ann").look).banned, "rude");
    EXPECT_EQ(verify(500), Finish::Done);
    EXPECT_EQ(status(waiting), "hidden: rude");
    EXPECT_EQ(status(bob), "verified");
    EXPECT_EQ(boardPage(db, 10, 0).total, 2); // Bob and Cy
    EXPECT_EQ(drift(), "");
    // Lifting it shows what it hid, not what was hidden on its own.
    EXPECT_EQ(unbanName(db, "ann", nameKeys("ann"), "Mo"), 3);
    EXPECT_EQ(status(wide), "verified");
    EXPECT_EQ(status(ann), "hidden: cheated");
    EXPECT_FALSE(unbanName(db, "ann", nameKeys("ann"), "Mo"));
    EXPECT_EQ(drift(), "");

    const LogPage log = readLog(db, 3, 0);
    EXPECT_EQ(log.total, 5); // hide, unhide, hide, ban, unban: refusals are not actions
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[0].action, "unban");
    EXPECT_EQ(log.entries[0].name, "ann");
    EXPECT_EQ(log.entries[1].action, "ban");
    EXPECT_EQ(log.entries[1].reason, "rude");
    EXPECT_EQ(log.entries[2].action, "hide");
    EXPECT_EQ(log.entries[2].run, ann);
    EXPECT_EQ(log.entries[2].who, "Mo");
    for (const char* change :
         {"UPDATE moderation_log SET who = 'nobody'", "DELETE FROM moderation_log", "TRUNCATE moderation_log"})
        EXPECT_THROW(db.script(change), Error) << change;
    EXPECT_EQ(readLog(db, 1, 0).total, 5);
}

TEST_F(Moderation, TheFirstVerifiedRunClaimsItsNameAndRacesAreSettledAtVerification) {
    const std::string a = board::names::newSecret(), b = board::names::newSecret();
    // Three runs under one name, submitted before any is verified.
    const long long byA = submit("Ann", a), byB = submit("ANN", b), keyless = submit("ann");
    EXPECT_TRUE(nameStanding(db, nameKeys("Ann").skeleton, nameKeys("Ann").look).playerKeys.empty());
    const auto first = claimRun(db, 30), second = claimRun(db, 30), third = claimRun(db, 30);
    EXPECT_EQ(finishVerified(db, *second, 100, 1, "b"), Finish::Done); // b's run is verified first
    EXPECT_EQ(finishVerified(db, *first, 200, 1, "a"), Finish::Refused);
    EXPECT_EQ(finishVerified(db, *third, 300, 1, "c"), Finish::Refused);
    EXPECT_EQ(findRun(db, byA)->reason, NameTaken);
    EXPECT_EQ(findRun(db, keyless)->status, "rejected");
    EXPECT_EQ(findRun(db, byB)->status, "verified");
    EXPECT_EQ(
        nameStanding(db, nameKeys("\u0391\u039d\u039d").skeleton, nameKeys("\u0391\u039d\u039d").look).playerKeys,
        std::vector<std::string>{digestOf(b)});
    submit("\uff41nn", b);
    EXPECT_EQ(verify(400), Finish::Done);
    EXPECT_EQ(drift(), "");

    // Two workers finishing two runs of one name with two keys at once:
    // one claims it, the other is refused, for each of 20 names.
    std::vector<Claim> claims;
    for (int i = 0; i < 20; ++i) {
        submit("Racer " + std::to_string(i), a);
        submit("RACER " + std::to_string(i), b);
        claims.push_back(*claimRun(db, 30));
        claims.push_back(*claimRun(db, 30));
    }
    std::vector<Finish> finishes(claims.size());
    std::vector<std::thread> workers;
    for (int w = 0; w < 2; ++w)
        workers.emplace_back([&, w] {
            Connection mine(base.url());
            for (std::size_t i = static_cast<std::size_t>(w); i < claims.size(); i += 2)
                finishes[i] = finishVerified(mine, claims[i], 50, 1, "race " + std::to_string(i));
        });
    for (auto& t : workers)
        t.join();
    for (std::size_t i = 0; i < claims.size(); i += 2)
        EXPECT_EQ((finishes[i] == Finish::Done) + (finishes[i + 1] == Finish::Done), 1) << i / 2;
}

TEST(ServerRole, MayReadAndWriteRunsButOnlyAddToTheLog) {
    const std::string role = "t" + std::to_string(getpid()) + "_server";
    {
        Connection admin(board_test::clusterAdminUrl("postgres"));
        try {
            admin.script("CREATE ROLE vexlo_board_server NOLOGIN");
        } catch (const Error&) {
            // made already, by an earlier test on this cluster
        }
        admin.script("CREATE ROLE " + role + " LOGIN IN ROLE vexlo_board_server");
    }
    {
        board_test::TestDatabase base;
        Connection owner(base.url());
        migrate(owner);
        // The cluster lets in only its superuser and board: the server's
        // role is taken on at the start instead, as its own login would be.
        const std::string url = base.url();
        const std::string database = url.substr(url.find("@/") + 2, url.find('?') - url.find("@/") - 2);
        Connection server(board_test::clusterAdminUrl(database) + "&options=-c%20role%3D" + role);
        EXPECT_EQ(migrate(server), 0);
        const auto keys = nameKeys("Ann");
        submitRun(server, {"Ann", "272 13\n", keys.skeleton, keys.look, digestOf("k"), ""});
        const auto claim = claimRun(server, 30);
        EXPECT_EQ(finishVerified(server, *claim, 900, 1, "g"),
                  Finish::Done); // the counts kept by the owner's trigger
        EXPECT_EQ(hideRun(server, claim->id, "by the server", "token note").outcome, Moderated::Done);
        EXPECT_EQ(readLog(server, 5, 0).total, 1);
        EXPECT_EQ(activeTokens(server).size(), 0u);
        // A worker with this role keeps the operators' figures.
        board::ops::beat(server, "test:1");
        board::ops::addVerdicts(server, {"verified", "", 1, 1, 0.5});
        EXPECT_EQ(board::ops::readBoardFigures(server).verdicts.size(), 1u);
        board::ops::forgetWorker(server, "test:1");
        for (const char* refused :
             {"UPDATE moderation_log SET who = 'x'", "DELETE FROM moderation_log", "TRUNCATE moderation_log",
              "UPDATE score_counts SET runs = 5", "INSERT INTO admin_tokens (digest, note) VALUES ('', 'x')",
              "DELETE FROM runs"}) {
            try {
                server.script(refused);
                ADD_FAILURE() << refused << " was allowed";
            } catch (const Error& error) {
                EXPECT_EQ(error.sqlState, "42501") << refused << ": " << error.what();
            }
        }
    }
    Connection admin(board_test::clusterAdminUrl("postgres"));
    admin.script("DROP ROLE " + role);
}

} // namespace
