#include "board/api/board_cache.h"

namespace board::api {

namespace {
long long keyOf(long long limit, long long offset) { return offset * 128 + limit; }
} // namespace

std::optional<std::string> BoardCache::find(long long limit, long long offset) {
    if (!listening_)
        return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto found = pages_.find(keyOf(limit, offset));
    if (found == pages_.end() || found->second.generation != generation_)
        return std::nullopt;
    return found->second.body;
}

void BoardCache::store(long long limit, long long offset, long long generation, std::string page) {
    if (!listening_ || generation != generation_)
        return; // read while the board changed: maybe old already
    std::lock_guard lock(mutex_);
    if (pages_.size() >= MaxPages)
        pages_.clear();
    pages_[keyOf(limit, offset)] = Page{generation, std::move(page)};
}

void BoardCache::invalidate() {
    ++generation_;
    std::lock_guard lock(mutex_);
    pages_.clear();
}

void BoardCache::setListening(bool listening) {
    invalidate();
    listening_ = listening;
    invalidate();
}

} // namespace board::api
