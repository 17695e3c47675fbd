// The database's schema, grown by numbered migrations kept in
// src/board/migrations/NNN_name.sql and built into the program.
#pragma once

#include "board/db/connection.h"

#include <vector>

namespace board::db {

struct Migration {
    int version;
    const char* name;
    const char* sql;
};

// Every migration, in the order of their numbers.
const std::vector<Migration>& migrations();

// Applies those not yet applied, all in one transaction under an advisory
// lock, so that servers and workers starting together apply each once.
// Returns how many it applied.
int migrate(Connection& connection);

} // namespace board::db
