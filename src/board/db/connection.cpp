#include "board/db/connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cstring>

namespace board::db {

namespace {

using Clock = std::chrono::steady_clock;

// SQLSTATE classes that mean the server is away, not that the statement
// was wrong: connection exceptions, shutdown, too many connections,
// a server starting up or in recovery.
bool meansUnavailable(const char* state) {
    if (state == nullptr)
        return true;
    return std::strncmp(state, "08", 2) == 0 || std::strncmp(state, "57P", 3) == 0 ||
           std::strcmp(state, "53300") == 0;
}

std::string firstLine(const char* message) {
    std::string text = message != nullptr ? message : "";
    text.erase(std::min(text.find('\n'), text.size()));
    return text;
}

} // namespace

Result::Result(pg_result* result) : result_(result, PQclear) {}
int Result::rows() const { return PQntuples(result_.get()); }
bool Result::isNull(int row, int column) const { return PQgetisnull(result_.get(), row, column) != 0; }
std::string Result::text(int row, int column) const {
    return std::string(PQgetvalue(result_.get(), row, column),
                       static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
}
long long Result::integer(int row, int column) const {
    return std::strtoll(PQgetvalue(result_.get(), row, column), nullptr, 10);
}

long long Result::affected() const { return std::strtoll(PQcmdTuples(result_.get()), nullptr, 10); }

Connection::Connection(std::string url, std::chrono::milliseconds deadline, std::string options)
    : url_(std::move(url)), deadline_(deadline), options_(std::move(options)) {}

Connection::~Connection() { drop(); }

void Connection::drop() {
    if (conn_ != nullptr)
        PQfinish(conn_);
    conn_ = nullptr;
    prepared_.clear();
}

bool Connection::connected() const { return conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK; }

pg_conn* Connection::ready() {
    if (conn_ != nullptr && PQstatus(conn_) != CONNECTION_OK)
        drop();
    if (conn_ != nullptr)
        return conn_;
    // Our defaults first: whatever the URL says overrides them.
    const char* keys[] = {"connect_timeout", "application_name", "options", "dbname", nullptr};
    const char* values[] = {"5", "vexlo-board", options_.c_str(), url_.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn_) != CONNECTION_OK) {
        const std::string message = firstLine(PQerrorMessage(conn_));
        drop();
        throw Unavailable("cannot connect to the database: " + message);
    }
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr); // "already exists, skipping" and such
    return conn_;
}

[[noreturn]] void Connection::fail(pg_result* result, const char* what) {
    const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const std::string message =
        std::string(what) + ": " +
        firstLine(result != nullptr ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
    const std::string code = state != nullptr ? state : "";
    const bool lost = PQstatus(conn_) != CONNECTION_OK || meansUnavailable(state);
    PQclear(result);
    if (lost) {
        drop();
        throw Unavailable(message);
    }
    // Read what is left so that the connection can take the next statement.
    while (pg_result* rest = PQgetResult(conn_))
        PQclear(rest);
    throw Error(message, code);
}

// Waits for the statement sent, within the deadline, and takes its last
// result (a script's results before it are checked and dropped).
Result Connection::finish(const char* what) {
    const auto deadline = Clock::now() + deadline_;
    pg_result* last = nullptr;
    for (;;) {
        while (PQisBusy(conn_)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{PQsocket(conn_), POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
                PQclear(last);
                drop();
                throw Unavailable(std::string(what) + ": the database did not answer in time");
            }
            if (PQconsumeInput(conn_) == 0) {
                PQclear(last);
                fail(nullptr, what);
            }
        }
        pg_result* result = PQgetResult(conn_);
        if (result == nullptr)
            break;
        const auto status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            PQclear(last);
            fail(result, what);
        }
        PQclear(last);
        last = result;
    }
    if (last == nullptr)
        fail(nullptr, what);
    return Result(last);
}

bool Connection::awaitNotifications(std::chrono::milliseconds timeout) {
    pg_conn* conn = ready();
    pollfd p{PQsocket(conn), POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) > 0 && PQconsumeInput(conn) == 0)
        fail(nullptr, "listening");
    bool any = false;
    while (PGnotify* n = PQnotifies(conn)) {
        PQfreemem(n);
        any = true;
    }
    return any;
}

Result Connection::exec(const Statement& statement, const std::vector<Param>& params) {
    pg_conn* conn = ready();
    if (prepared_.count(statement.name) == 0) {
        if (PQsendPrepare(conn, statement.name, statement.sql, 0, nullptr) == 0)
            fail(nullptr, statement.name);
        finish(statement.name);
        prepared_.insert(statement.name);
    }
    std::vector<const char*> values;
    for (const Param& p : params)
        values.push_back(p ? p->c_str() : nullptr);
    if (PQsendQueryPrepared(conn, statement.name, static_cast<int>(values.size()), values.data(), nullptr, nullptr,
                            0) == 0)
        fail(nullptr, statement.name);
    return finish(statement.name);
}

void Connection::script(const std::string& sql) {
    pg_conn* conn = ready();
    if (PQsendQuery(conn, sql.c_str()) == 0)
        fail(nullptr, "statement");
    finish("statement");
}

Transaction::Transaction(Connection& connection) : connection_(connection) { connection_.script("BEGIN"); }

Transaction::~Transaction() {
    if (done_ || !connection_.connected())
        return;
    try {
        connection_.script("ROLLBACK");
    } catch (const std::exception&) {
        connection_.drop(); // a connection in an unknown state is not kept
    }
}

void Transaction::commit() {
    connection_.script("COMMIT");
    done_ = true;
}

} // namespace board::db
