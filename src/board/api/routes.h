// The API: each request to a response, whatever carried it.
// clang-format off
//   POST /api/runs              submit a run    202 {"id", "status": "queued"}; 409 {"error", "id"} when
//                                               its key script is on the board; 429 when too many wait
//   GET  /api/runs/N            a run           200 {"id", "name", "status", "score", "updates", "rank", "reason"}
//   GET  /api/runs/N/keys       its key script  200 text/plain
//   GET  /api/board?limit&offset                200 {"total", "runs": [...]}
//   GET  /api/health                            200 {"ok": true} or 503
// and for operators, with "Authorization: Bearer TOKEN" (admin_routes.cpp):
//   POST /api/admin/runs/N/hide {"reason"}       200 the run, hidden
//   POST /api/admin/runs/N/unhide                200 the run
//   POST /api/admin/names/ban {"name", "reason"} 200 {"name", "hidden": K}
//   POST /api/admin/names/unban {"name"}         200 {"name", "shown": K}
//   GET  /api/admin/log?limit&offset             200 {"total", "entries": [...]}
// clang-format on
// and, with a web folder, its files for any other GET.
#pragma once

#include "board/api/board_cache.h"
#include "board/api/message.h"
#include "board/api/query.h"
#include "board/api/rate_limit.h"
#include "board/api/static_files.h"
#include "board/db/pool.h"
#include "board/db/run_store.h"

#include <functional>
#include <optional>
#include <string>

namespace board::api {

class Api {
public:
    // files may be null: no web folder; cache may be null: no pages kept.
    Api(db::Pool& pool, RateLimiter& limiter, const StaticFiles* files, BoardCache* cache = nullptr);
    Response handle(const Request& request);
    // Told when the database goes away and when it comes back.
    std::function<void(bool reachable, const std::string& why)> onDatabase;
    // Runs one address, or one player key, may have waiting; 0 for no limit.
    int maxWaiting = 3;
    // What a 429 for too many runs waiting says to wait, in seconds.
    static constexpr int WaitingRetrySeconds = 5;

private:
    Response route(const Request& request, const std::string& path, const std::string& query);
    const char* methodsOf(const ApiPath& api) const;
    Response submit(const Request& request);
    Response run(const std::string& id, bool keys);
    Response board(const std::string& query);
    Response health();
    Response admin(const Request& request, const std::string& path, const std::string& query);
    // The note of the admin token the request carries; nothing, with the
    // refusal set, when it carries none that is valid.
    std::optional<std::string> authorize(const Request& request, Response& refusal);
    static Response runAnswer(const db::RunView& run);
    // Runs work with a connection; the database away is a 503.
    Response withDatabase(const std::function<Response(db::Connection&)>& work, bool reading = true);

    db::Pool& pool_;
    RateLimiter& limiter_;
    const StaticFiles* files_;
    BoardCache* cache_;
    std::mutex stateMutex_;
    bool reachable_ = true;
};

} // namespace board::api
