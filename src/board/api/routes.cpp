#include "board/api/routes.h"

#include "board/api/query.h"
#include "board/api/run_request.h"
#include "board/api/submitter.h"
#include "board/db/queue.h"
#include "board/db/run_store.h"
#include "board/names/player_name.h"
#include "board/names/secret.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

namespace board::api {

namespace {

using json = nlohmann::ordered_json;

Response jsonResponse(int status, const json& body) {
    return jsonAnswer(status, body.dump(-1, ' ', false, json::error_handler_t::replace));
}

Response methodNotAllowed(const char* allow) {
    Response response = errorResponse(405, std::string("this path takes ") + allow);
    response.headers.emplace_back("Allow", allow);
    return response;
}

bool isRead(const std::string& method) { return method == "GET" || method == "HEAD"; }

// application/json, with at most a UTF-8 charset.
bool isJson(const std::string& contentType) {
    std::string type;
    for (char c : contentType)
        type += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    const std::string media = type.substr(0, type.find(';'));
    const std::string rest = type.size() > media.size() ? type.substr(media.size() + 1) : "";
    return media == "application/json" && (rest.empty() || rest == "charset=utf-8");
}

json nullable(const std::optional<long long>& value) { return value ? json(*value) : json(nullptr); }

} // namespace

Api::Api(db::Pool& pool, RateLimiter& limiter, const StaticFiles* files, BoardCache* cache)
    : pool_(pool), limiter_(limiter), files_(files), cache_(cache) {}

Response Api::handle(const Request& request) {
    Response response;
    if (const int wait = limiter_.admit(request.client); wait > 0) {
        response =
            errorResponse(429, "too many requests from this address; try again in " + std::to_string(wait) + " s");
        response.headers.emplace_back("Retry-After", std::to_string(wait));
    } else {
        const std::size_t mark = request.target.find('?');
        const std::string path = request.target.substr(0, mark);
        const std::string query = mark == std::string::npos ? "" : request.target.substr(mark + 1);
        response = route(request, path, query);
    }
    response.headOnly = request.method == "HEAD";
    addCorsHeaders(response);
    return response;
}

// The methods a path takes, for Allow and the preflight; null for no such path.
const char* Api::methodsOf(const ApiPath& api) const {
    switch (api.kind) {
    case ApiPath::Runs:
        return "POST, OPTIONS";
    case ApiPath::Run:
    case ApiPath::RunKeys:
    case ApiPath::Board:
    case ApiPath::Health:
        return "GET, HEAD, OPTIONS";
    case ApiPath::NotApi:
        return files_ != nullptr ? "GET, HEAD, OPTIONS" : nullptr;
    default:
        return nullptr;
    }
}

Response Api::route(const Request& request, const std::string& path, const std::string& query) {
    const std::string& method = request.method;
    if (path.rfind("/api/admin/", 0) == 0)
        return admin(request, path, query);
    const ApiPath api = parseApiPath(path);
    const char* methods = methodsOf(api);
    if (methods == nullptr)
        return errorResponse(404, "no such path");
    if (method == "OPTIONS")
        return preflightAnswer(methods, "Content-Type");
    switch (api.kind) {
    case ApiPath::Runs:
        return method == "POST" ? submit(request) : methodNotAllowed(methods);
    case ApiPath::Run:
    case ApiPath::RunKeys:
        return isRead(method) ? run(api.id, api.kind == ApiPath::RunKeys) : methodNotAllowed(methods);
    case ApiPath::Board:
        return isRead(method) ? board(query) : methodNotAllowed(methods);
    case ApiPath::Health:
        return isRead(method) ? health() : methodNotAllowed(methods);
    default:
        break;
    }
    return isRead(method) ? files_->serve(request, path) : methodNotAllowed(methods);
}

Response Api::submit(const Request& request) {
    if (!isJson(request.contentType))
        return errorResponse(415, "the body must be JSON (Content-Type: application/json)");
    const RunRequest run = parseRunRequest(request.body);
    if (!run.error.empty())
        return errorResponse(400, run.error);
    const names::NameKeys keys = names::nameKeys(run.name);
    db::Submission submission{run.name,  run.keys,     keys.skeleton,
                              keys.look, std::nullopt, submitterOf(request.client)};
    if (run.playerKey)
        submission.playerKey = names::digestOf(*run.playerKey);
    return withDatabase(
        [&](db::Connection& db) {
            // Checked again when the run is verified: another may claim the
            // name meanwhile.
            const db::NameStanding standing = db::nameStanding(db, keys.skeleton, keys.look);
            if (standing.banned)
                return errorResponse(403, "this name is banned");
            for (const std::string& owner : standing.playerKeys)
                if (!submission.playerKey || !names::sameDigest(owner, *submission.playerKey))
                    return errorResponse(403, db::NameTaken);
            const db::Submitted stored = db::submitRun(db, submission, maxWaiting);
            switch (stored.kind) {
            case db::Submitted::Queued:
                break;
            case db::Submitted::OnBoard:
                return jsonResponse(409, json{{"error", "this key script is on the board already, as run " +
                                                            std::to_string(stored.id)},
                                              {"id", stored.id}});
            case db::Submitted::TooManyFromSender:
            case db::Submitted::TooManyForKey: {
                const bool sender = stored.kind == db::Submitted::TooManyFromSender;
                Response response =
                    errorResponse(429, std::to_string(maxWaiting) + " runs " +
                                           (sender ? "from this address" : "under this player key") +
                                           " are waiting to be verified already; try again in " +
                                           std::to_string(WaitingRetrySeconds) + " s");
                response.headers.emplace_back("Retry-After", std::to_string(WaitingRetrySeconds));
                return response;
            }
            }
            return jsonResponse(202, json{{"id", stored.id}, {"status", "queued"}});
        },
        false);
}

Response Api::run(const std::string& id, bool keys) {
    return withDatabase([&](db::Connection& db) {
        const long long number = std::stoll(id);
        if (keys) {
            const auto text = db::runKeys(db, number);
            if (!text)
                return errorResponse(404, "no such run");
            Response response;
            response.contentType = "text/plain; charset=utf-8";
            response.body = *text;
            return response;
        }
        const auto found = db::findRun(db, number);
        if (!found)
            return errorResponse(404, "no such run");
        return runAnswer(*found);
    });
}

// A hidden run says so, with the operators' reason, and nothing of its score.
Response Api::runAnswer(const db::RunView& run) {
    const bool hidden = run.hidden.has_value();
    const std::optional<std::string>& reason = hidden ? run.hidden : run.reason;
    const std::optional<long long> none;
    return jsonResponse(200, json{{"id", run.id},
                                  {"name", run.name},
                                  {"status", hidden ? "hidden" : run.status},
                                  {"score", nullable(hidden ? none : run.score)},
                                  {"updates", nullable(hidden ? none : run.updates)},
                                  {"rank", nullable(hidden ? none : run.rank)},
                                  {"reason", reason ? json(*reason) : json(nullptr)}});
}

Response Api::board(const std::string& query) {
    const BoardQuery page = parseBoardQuery(query);
    if (!page.error.empty())
        return errorResponse(400, page.error);
    if (cache_ != nullptr) {
        if (auto kept = cache_->find(page.limit, page.offset)) {
            Response response;
            response.contentType = "application/json";
            response.body = std::move(*kept);
            return response;
        }
    }
    const long long generation = cache_ != nullptr ? cache_->generation() : 0;
    Response response = withDatabase([&](db::Connection& db) {
        const db::BoardPage found = db::boardPage(db, page.limit, page.offset);
        json runs = json::array();
        for (const db::BoardEntry& e : found.runs)
            runs.push_back(
                {{"rank", e.rank}, {"id", e.id}, {"name", e.name}, {"score", e.score}, {"updates", e.updates}});
        return jsonResponse(200, json{{"total", found.total}, {"runs", std::move(runs)}});
    });
    if (cache_ != nullptr && response.status == 200)
        cache_->store(page.limit, page.offset, generation, response.body);
    return response;
}

Response Api::health() {
    return withDatabase([](db::Connection& db) {
        db::ping(db);
        return jsonResponse(200, json{{"ok", true}});
    });
}

Response Api::withDatabase(const std::function<Response(db::Connection&)>& work, bool reading) {
    std::string problem;
    try {
        auto connection = pool_.take();
        Response response;
        try {
            response = work(*connection);
        } catch (const db::Unavailable&) {
            // After a restart of the database every pooled connection is
            // dead: a read tries once more on a new one. (A submission does
            // not: it may have been stored before the connection broke.)
            if (!reading)
                throw;
            connection->drop();
            response = work(*connection);
        }
        std::lock_guard lock(stateMutex_);
        if (!reachable_ && onDatabase)
            onDatabase(true, "");
        reachable_ = true;
        return response;
    } catch (const db::Unavailable& error) {
        problem = error.what();
    } catch (const db::Error& error) {
        // A statement of ours the database refused: a fault here, not the client's.
        if (onDatabase)
            onDatabase(true, error.what());
        return errorResponse(500, "the server could not do that");
    }
    {
        std::lock_guard lock(stateMutex_);
        if (reachable_ && onDatabase)
            onDatabase(false, problem);
        reachable_ = false;
    }
    Response response = errorResponse(503, "the database cannot be reached; try again shortly");
    response.headers.emplace_back("Retry-After", "5");
    return response;
}

} // namespace board::api
