#include "board/db/migrate.h"

#include <set>
#include <string>

namespace board::db {

namespace {

// Any number of our own, the same in every process.
constexpr const char* LockKey = "7319504188821";

const Statement TakeLock{"migrate_lock", "SELECT pg_advisory_xact_lock($1::bigint)"};
const Statement Applied{"migrate_applied", "SELECT version FROM schema_migrations"};
const Statement Made{"migrate_made", "SELECT to_regclass('schema_migrations') IS NOT NULL"};
constexpr const char* InsufficientPrivilege = "42501";
const Statement Record{"migrate_record", "INSERT INTO schema_migrations (version, name) VALUES ($1::integer, $2)"};

// A statement only the tables' owner may run.
void asOwner(Connection& connection, const std::string& sql, const std::string& what) {
    try {
        connection.script(sql);
    } catch (const Error& error) {
        if (error.sqlState != InsufficientPrivilege)
            throw;
        throw Error(what + " is to be applied by the owner of the board's tables (vexlo-board admin migrate): " +
                        error.what(),
                    error.sqlState);
    }
}

} // namespace

int migrate(Connection& connection) {
    Transaction transaction(connection);
    connection.exec(TakeLock, {LockKey});
    connection.script("SET LOCAL statement_timeout = 0");
    // (A server with a role of its own may not create tables, not even
    // IF NOT EXISTS: it only reads which migrations its owner applied.)
    if (connection.exec(Made).text(0, 0) != "t")
        asOwner(connection,
                "CREATE TABLE schema_migrations ("
                "  version integer PRIMARY KEY,"
                "  name text NOT NULL,"
                "  applied_at timestamptz NOT NULL DEFAULT now())",
                "the schema");
    const Result rows = connection.exec(Applied);
    std::set<long long> applied;
    for (int r = 0; r < rows.rows(); ++r)
        applied.insert(rows.integer(r, 0));
    int count = 0;
    for (const Migration& m : migrations()) {
        if (applied.count(m.version) != 0)
            continue;
        asOwner(connection, m.sql, "migration " + std::to_string(m.version) + " (" + m.name + ")");
        connection.exec(Record, {std::to_string(m.version), std::string(m.name)});
        ++count;
    }
    transaction.commit();
    return count;
}

} // namespace board::db
