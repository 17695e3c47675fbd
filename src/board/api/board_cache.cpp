#include "board/api/board_cache.h"

namespace board::api {

namespace {
std::string keyOf(long long limit, long long offset, const std::string& race) {
    return race + ' ' + std::to_string(offset) + ' ' + std::to_string(limit);
}
} // namespace

std::optional<std::string> BoardCache::find(long long limit, long long offset, const std::string& race) {
    if (!listening_)
        return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto found = pages_.find(keyOf(limit, offset, race));
    if (found == pages_.end() || found->second.generation != generation_)
        return std::nullopt;
    return found->second.body;
}

void BoardCache::store(long long limit, long long offset, long long generation, std::string page,
                       const std::string& race) {
    if (!listening_ || generation != generation_)
        return; // read while the board changed: maybe old already
    std::lock_guard lock(mutex_);
    if (pages_.size() >= MaxPages)
        pages_.clear();
    pages_[keyOf(limit, offset, race)] = Page{generation, std::move(page)};
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
