// Connections shared by the server's threads: each request borrows one for
// its statements and gives it back. Connections are made when first needed
// and again after they were lost, so a database that comes back is used
// again without a restart. The first connection applies the migrations.
#pragma once

#include "board/db/connection.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace board::db {

class Pool {
public:
    explicit Pool(std::string url);

    class Lease {
    public:
        Lease(Pool& pool, std::unique_ptr<Connection> connection);
        ~Lease();
        Lease(Lease&&) = default;
        Connection& operator*() const { return *connection_; }
        Connection* operator->() const { return connection_.get(); }

    private:
        Pool* pool_;
        std::unique_ptr<Connection> connection_;
    };

    // A connection, migrated. Throws Unavailable when the database cannot be
    // reached.
    Lease take();

private:
    void give(std::unique_ptr<Connection> connection);

    std::string url_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
    std::atomic<bool> migrated_{false};
    std::mutex migrating_;
};

} // namespace board::db
