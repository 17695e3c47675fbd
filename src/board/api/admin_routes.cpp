// The admin routes: a bearer token first (401 without a valid one, the
// failed try charged to the address's rate), then the action, which writes
// its row of the moderation log with the token's note as who did it.
#include "board/api/admin_request.h"
#include "board/api/query.h"
#include "board/api/routes.h"
#include "board/db/moderation.h"
#include "board/names/secret.h"

#include <nlohmann/json.hpp>

namespace board::api {

namespace {

using json = nlohmann::ordered_json;

// A failed try costs as much as this many requests, so that one address
// can guess a handful of tokens a second at the default rate.
constexpr double FailedTryCost = 10;

Response answer(const json& body) {
    return jsonAnswer(200, body.dump(-1, ' ', false, json::error_handler_t::replace));
}

json optional(const std::optional<std::string>& text) { return text ? json(*text) : json(nullptr); }

Response unauthorized(const char* why, bool tokenGiven) {
    Response response = errorResponse(401, why);
    response.headers.emplace_back("WWW-Authenticate", tokenGiven
                                                          ? R"(Bearer realm="vexlo-board", error="invalid_token")"
                                                          : R"(Bearer realm="vexlo-board")");
    return response;
}

bool isJsonBody(const Request& request) {
    const std::string& type = request.contentType;
    return type.rfind("application/json", 0) == 0;
}

} // namespace

std::optional<std::string> Api::authorize(const Request& request, Response& refusal) {
    const std::optional<std::string> token = bearerToken(request.authorization);
    std::optional<std::string> who;
    if (token && names::isSecret(*token)) {
        const std::string digest = names::digestOf(*token);
        refusal = withDatabase([&](db::Connection& db) {
            // Every token is compared, each in constant time.
            for (const db::AdminToken& known : db::activeTokens(db))
                if (names::sameDigest(known.digest, digest) && !who)
                    who = known.note;
            return Response{};
        });
        if (refusal.status != 200)
            return std::nullopt; // the database is away: 503, not the client's fault
    }
    if (who)
        return who;
    limiter_.charge(request.client, FailedTryCost);
    refusal =
        unauthorized(token ? "this admin token is not valid" : "an admin token is needed (Authorization: Bearer)",
                     token.has_value());
    return std::nullopt;
}

Response Api::admin(const Request& request, const std::string& path, const std::string& query) {
    const AdminPath target = parseAdminPath(path);
    if (target.kind == AdminPath::Unknown)
        return errorResponse(404, "no such path");
    const bool reads = target.kind == AdminPath::Log;
    const char* methods = reads ? "GET, HEAD, OPTIONS" : "POST, OPTIONS";
    if (request.method == "OPTIONS")
        return preflightAnswer(methods, "Authorization, Content-Type");
    if (reads ? request.method != "GET" && request.method != "HEAD" : request.method != "POST") {
        Response response = errorResponse(405, std::string("this path takes ") + methods);
        response.headers.emplace_back("Allow", methods);
        return response;
    }
    Response refusal;
    const std::optional<std::string> who = authorize(request, refusal);
    if (!who)
        return refusal;

    if (target.kind == AdminPath::Log) {
        const BoardQuery page = parseBoardQuery(query);
        if (!page.error.empty())
            return errorResponse(400, page.error);
        return withDatabase([&](db::Connection& db) {
            const db::LogPage log = db::readLog(db, page.limit, page.offset);
            json entries = json::array();
            for (const db::LogEntry& e : log.entries)
                entries.push_back({{"id", e.id},
                                   {"at", e.at},
                                   {"who", e.who},
                                   {"action", e.action},
                                   {"run", e.run ? json(*e.run) : json(nullptr)},
                                   {"name", optional(e.name)},
                                   {"reason", optional(e.reason)}});
            return answer(json{{"total", log.total}, {"entries", std::move(entries)}});
        });
    }

    const bool takesName = target.kind == AdminPath::Ban || target.kind == AdminPath::Unban;
    const bool takesReason = target.kind == AdminPath::Ban || target.kind == AdminPath::Hide;
    AdminBody body;
    if (takesName || takesReason) {
        if (!isJsonBody(request))
            return errorResponse(415, "the body must be JSON (Content-Type: application/json)");
        body = parseAdminBody(request.body, takesName, takesReason);
        if (!body.error.empty())
            return errorResponse(400, body.error);
    }
    const std::string run = std::to_string(target.run);
    return withDatabase(
        [&](db::Connection& db) {
            switch (target.kind) {
            case AdminPath::Hide:
            case AdminPath::Unhide: {
                const db::ModerationResult done = target.kind == AdminPath::Hide
                                                      ? db::hideRun(db, target.run, body.reason, *who)
                                                      : db::unhideRun(db, target.run, *who);
                if (done.outcome == db::Moderated::NoSuchRun)
                    return errorResponse(404, "no such run");
                if (done.outcome == db::Moderated::NotHidden)
                    return errorResponse(409, "run " + run + " is not hidden");
                if (done.outcome == db::Moderated::GameOnBoard)
                    return errorResponse(409, "run " + run + "'s game is on the board as run " +
                                                  std::to_string(done.otherRun) + "; hide that one first");
                return runAnswer(*db::findRun(db, target.run));
            }
            case AdminPath::Ban: {
                const long long hidden = db::banName(db, body.name, names::nameKeys(body.name), body.reason, *who);
                return answer(json{{"name", body.name}, {"hidden", hidden}});
            }
            default: {
                const auto shown = db::unbanName(db, body.name, names::nameKeys(body.name), *who);
                if (!shown)
                    return errorResponse(404, "the name " + body.name + " is not banned");
                return answer(json{{"name", body.name}, {"shown", *shown}});
            }
            }
        },
        false);
}

} // namespace board::api
