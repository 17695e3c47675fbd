// Pages of the board kept in the server, because the board is read far more
// often than it changes. A page is kept only while the server listens for
// the notification each verification sends (channel vexlo_board), and all
// are dropped when one comes, so a page is never older than the
// notification's way from the database.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace board::api {

class BoardCache {
public:
    // race: "classic" or "daily YYYY-MM-DD", each board's pages apart.
    std::optional<std::string> find(long long limit, long long offset, const std::string& race = "classic");
    // The generation to give store() for a page read from now on.
    long long generation() const { return generation_; }
    void store(long long limit, long long offset, long long generation, std::string page,
               const std::string& race = "classic");
    // The board changed, or nobody listens any more: every page is old.
    void invalidate();
    void setListening(bool listening);

private:
    static constexpr std::size_t MaxPages = 4096;
    struct Page {
        long long generation;
        std::string body;
    };
    std::atomic<long long> generation_{0};
    std::atomic<bool> listening_{false};
    std::mutex mutex_;
    std::unordered_map<std::string, Page> pages_;
};

} // namespace board::api
