#include "board/db/pool.h"

#include "board/db/migrate.h"

namespace board::db {

Pool::Pool(std::string url) : url_(std::move(url)) {}

Pool::Lease::Lease(Pool& pool, std::unique_ptr<Connection> connection)
    : pool_(&pool), connection_(std::move(connection)) {}

Pool::Lease::~Lease() {
    if (connection_ != nullptr)
        pool_->give(std::move(connection_));
}

Pool::Lease Pool::take() {
    std::unique_ptr<Connection> connection;
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            connection = std::move(idle_.back());
            idle_.pop_back();
        }
    }
    if (connection == nullptr)
        connection = std::make_unique<Connection>(url_);
    Lease lease(*this, std::move(connection));
    if (!migrated_) {
        std::lock_guard lock(migrating_);
        if (!migrated_) {
            migrate(*lease);
            migrated_ = true;
        }
    }
    return lease;
}

void Pool::give(std::unique_ptr<Connection> connection) {
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(connection));
}

} // namespace board::db
