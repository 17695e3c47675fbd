#include "board/db/migrate.h"

#include <set>
#include <string>

namespace board::db {

namespace {

// Any number of our own, the same in every process.
constexpr const char* LockKey = "7319504188821";

const Statement TakeLock{"migrate_lock", "SELECT pg_advisory_xact_lock($1::bigint)"};
const Statement Applied{"migrate_applied", "SELECT version FROM schema_migrations"};
const Statement Record{"migrate_record", "INSERT INTO schema_migrations (version, name) VALUES ($1::integer, $2)"};

} // namespace

int migrate(Connection& connection) {
    Transaction transaction(connection);
    connection.exec(TakeLock, {LockKey});
    connection.script(
        "SET LOCAL statement_timeout = 0;"
        "CREATE TABLE IF NOT EXISTS schema_migrations ("
        "  version integer PRIMARY KEY,"
        "  name text NOT NULL,"
        "  applied_at timestamptz NOT NULL DEFAULT now())");
    const Result rows = connection.exec(Applied);
    std::set<long long> applied;
    for (int r = 0; r < rows.rows(); ++r)
        applied.insert(rows.integer(r, 0));
    int count = 0;
    for (const Migration& m : migrations()) {
        if (applied.count(m.version) != 0)
            continue;
        connection.script(m.sql);
        connection.exec(Record, {std::to_string(m.version), std::string(m.name)});
        ++count;
    }
    transaction.commit();
    return count;
}

} // namespace board::db
