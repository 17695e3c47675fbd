// A PostgreSQL connection over libpq that connects when first used and
// again after it was lost, runs statements with text parameters under a
// deadline, and tells a database that cannot be reached (Unavailable) from
// a statement that failed (Error).
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace board::db {

// The database cannot be reached now: refused, lost, timed out, shutting down.
class Unavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A statement the database refused; sqlState is its five-character code.
class Error : public std::runtime_error {
public:
    Error(const std::string& message, std::string state)
        : std::runtime_error(message), sqlState(std::move(state)) {}
    std::string sqlState;
};

constexpr const char* UniqueViolation = "23505";

using Param = std::optional<std::string>; // nullopt is SQL NULL

class Result {
public:
    explicit Result(pg_result* result);
    int rows() const;
    bool isNull(int row, int column) const;
    std::string text(int row, int column) const;
    long long integer(int row, int column) const;
    // Rows an INSERT, UPDATE or DELETE changed.
    long long affected() const;

private:
    std::shared_ptr<pg_result> result_;
};

// A statement prepared once per connection under its name.
struct Statement {
    const char* name;
    const char* sql;
};

class Connection {
public:
    // url: a libpq connection string or URI (DATABASE_URL). options: server
    // settings for the session ("-c name=value ..."), unless the URL has its own.
    explicit Connection(std::string url, std::chrono::milliseconds deadline = std::chrono::seconds(5),
                        std::string options = "");
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Result exec(const Statement& statement, const std::vector<Param>& params = {});
    // Statements without parameters, several allowed (migrations, BEGIN).
    void script(const std::string& sql);
    // Drops the connection; the next call connects again.
    void drop();
    bool connected() const;
    // Waits up to timeout for notifications (after a LISTEN); true when at
    // least one came. Throws Unavailable when the connection is lost.
    bool awaitNotifications(std::chrono::milliseconds timeout);
    void setDeadline(std::chrono::milliseconds deadline) { deadline_ = deadline; }

private:
    pg_conn* ready();
    Result finish(const char* what);
    [[noreturn]] void fail(pg_result* result, const char* what);

    std::string url_;
    std::chrono::milliseconds deadline_;
    std::string options_;
    pg_conn* conn_ = nullptr;
    std::set<std::string> prepared_;
};

// BEGIN now; ROLLBACK unless commit() was called.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    void commit();

private:
    Connection& connection_;
    bool done_ = false;
};

} // namespace board::db
