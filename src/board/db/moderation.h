// What the board's operators do, from the command line or over HTTP: hide
// a run and show it again, ban a name and lift the ban, list runs, read the
// log, keep admin tokens, count the board afresh. Each action is one
// transaction that also writes its row of the moderation log; `who` is a
// token's note or "cli:" and the system's user.
#pragma once

#include "board/db/connection.h"
#include "board/names/player_name.h"

#include <optional>
#include <string>
#include <vector>

namespace board::db {

enum class Moderated {
    Done,
    NoSuchRun,
    NotHidden,   // unhide of a run that is shown
    GameOnBoard, // unhide of a run whose game is on the board as another run
};

struct ModerationResult {
    Moderated outcome = Moderated::Done;
    long long otherRun = 0; // for GameOnBoard
};

ModerationResult hideRun(Connection& db, long long id, const std::string& reason, const std::string& who);
ModerationResult unhideRun(Connection& db, long long id, const std::string& who);

// The runs it hid: every run under either of the name's keys.
long long banName(Connection& db, const std::string& name, const names::NameKeys& keys, const std::string& reason,
                  const std::string& who);
// Nothing when no name under its keys was banned; else the runs shown
// again (those its ban hid, unless their game is on the board by now).
std::optional<long long> unbanName(Connection& db, const std::string& name, const names::NameKeys& keys,
                                   const std::string& who);

struct RunLine {
    long long id = 0;
    std::string submitted, name, status; // status "hidden" when hidden
    std::optional<long long> score;
    std::string why; // the reason it was rejected or hidden
};

struct RunFilter {
    std::optional<names::NameKeys> name;
    std::string status; // empty: any; queued, verifying, verified, rejected, hidden or stuck
    long long limit = 50;
};

// The statuses a filter takes.
bool isRunStatus(const std::string& status);
// The latest runs first.
std::vector<RunLine> listRuns(Connection& db, const RunFilter& filter);

struct LogEntry {
    long long id = 0;
    std::string at, who, action;
    std::optional<long long> run;
    std::optional<std::string> name, reason;
};

struct LogPage {
    long long total = 0;
    std::vector<LogEntry> entries; // the latest first
};

LogPage readLog(Connection& db, long long limit, long long offset);

struct AdminToken {
    long long id = 0;
    std::string digest; // SHA-256 of the token
    std::string note, created;
    std::optional<std::string> revoked;
};

long long createToken(Connection& db, const std::string& digest, const std::string& note, const std::string& who);
std::vector<AdminToken> listTokens(Connection& db);
// The tokens not revoked, with their digests.
std::vector<AdminToken> activeTokens(Connection& db);
// False when no token has that id or it was revoked already.
bool revokeToken(Connection& db, long long id, const std::string& who);

// The board's counts made equal to a fresh count of the runs on the board:
// one line for each count that was wrong ("score 1328: counted 3, on the
// board 2"); none when all were right.
std::vector<std::string> recount(Connection& db, const std::string& who);

// Runs stored before names had keys get theirs, so that a ban or a listing
// by name finds them.
void fillNameKeys(Connection& db);

} // namespace board::db
