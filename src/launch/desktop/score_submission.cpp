#include "launch/desktop/score_submission.h"

#include "launch/desktop/server_url.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <thread>
#include <variant>

namespace vexlo {

namespace {

using json = nlohmann::json;
using std::chrono::milliseconds;

constexpr std::size_t MaxNameCharacters = 24;
constexpr std::size_t MaxShownText = 200;
// Looks at a run that fail in a row before the server counts as gone.
constexpr int LostLooks = 3;

// What the server says is shown as plain text: no control characters (a
// terminal would act on them), and not at any length.
std::string shown(std::string_view text) {
    std::string out;
    for (const char c : text.substr(0, MaxShownText))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    return out;
}

json parsed(const HttpReply& reply) {
    json value = json::parse(reply.body, nullptr, false);
    return value.is_object() ? value : json::object();
}

std::string serverError(const HttpReply& reply) {
    const json body = parsed(reply);
    const auto error = body.find("error");
    if (error != body.end() && error->is_string())
        return shown(error->get<std::string>());
    return "status " + std::to_string(reply.status);
}

struct Waiter {
    const SubmitPacing& pacing;
    milliseconds waited{0};
    milliseconds next;

    explicit Waiter(const SubmitPacing& p) : pacing(p), next(p.firstPoll) {}
    // Waits before the next look; false once the limit is reached.
    bool wait(long retryAfterSeconds = -1) {
        milliseconds pause = next;
        if (retryAfterSeconds >= 0)
            pause = std::max(pause, milliseconds(std::min(retryAfterSeconds, 60L) * 1000));
        if (waited + pause > pacing.verdictLimit)
            return false;
        if (pacing.sleep)
            pacing.sleep(pause);
        else
            std::this_thread::sleep_for(pause);
        waited += pause;
        next = std::min(next * 2, pacing.longestPoll);
        return true;
    }
};

SubmitOutcome problem(const std::string& line) { return {1, false, line}; }

// POST /api/runs: the run's number, or an outcome saying why not.
std::variant<long, SubmitOutcome> post(HttpClient& http, const std::string& server, const std::string& body,
                                       Waiter& waiter) {
    for (;;) {
        const HttpReply reply = http.postJson(serverAddress(server, "/api/runs"), body);
        if (reply.status == 0)
            return problem("cannot reach the score server at " + server + ": " + shown(reply.error));
        if (reply.status == 429 && waiter.wait(reply.retryAfter))
            continue;
        // The very same recording is on the board already: a verdict, not a fault.
        if (reply.status == 409)
            return SubmitOutcome{1, true, "rejected: " + serverError(reply)};
        if (reply.status != 202) {
            const std::string why = serverError(reply);
            if (reply.status >= 500)
                return problem("the score server at " + server + " cannot take runs now: " + why);
            // A name against the server's rules is the command line's fault,
            // as one this side refuses.
            const bool name = why.rfind("name ", 0) == 0;
            return SubmitOutcome{name ? 2 : 1, false, "the score server refused the run: " + why};
        }
        const json answer = parsed(reply);
        const auto id = answer.find("id");
        if (id == answer.end() || !id->is_number_integer() || id->get<long>() < 1)
            return problem("the score server at " + server + " gave no run number");
        return id->get<long>();
    }
}

// "of T": the number of verified runs, when the board tells it.
std::string ofTotal(HttpClient& http, const std::string& server) {
    const HttpReply reply = http.get(serverAddress(server, "/api/board?limit=1"));
    const json board = reply.status == 200 ? parsed(reply) : json::object();
    const auto total = board.find("total");
    return total != board.end() && total->is_number_integer() ? " of " + std::to_string(total->get<long>()) : "";
}

std::optional<SubmitOutcome> verdict(HttpClient& http, const std::string& server, const json& run) {
    const auto status = run.find("status");
    if (status == run.end() || !status->is_string())
        return problem("the score server at " + server + " gave no status for the run");
    const std::string state = status->get<std::string>();
    if (state == "verified") {
        const auto rank = run.find("rank");
        const auto score = run.find("score");
        if (rank == run.end() || score == run.end() || !rank->is_number_integer() || !score->is_number_integer())
            return problem("the score server at " + server + " verified the run without a rank or score");
        return SubmitOutcome{0, true,
                             "verified: rank " + std::to_string(rank->get<long>()) + ofTotal(http, server) +
                                 ", score " + std::to_string(score->get<long>())};
    }
    if (state == "rejected") {
        const auto reason = run.find("reason");
        const std::string why =
            reason != run.end() && reason->is_string() ? shown(reason->get<std::string>()) : "";
        return SubmitOutcome{1, true, "rejected: " + (why.empty() ? std::string("no reason given") : why)};
    }
    if (state == "hidden") {
        const auto reason = run.find("reason");
        const std::string why =
            reason != run.end() && reason->is_string() ? shown(reason->get<std::string>()) : "";
        return SubmitOutcome{1, true,
                             "hidden by the board's operators: " + (why.empty() ? "no reason given" : why)};
    }
    return std::nullopt; // queued or verifying
}

} // namespace

std::string nameProblem(std::string_view name) {
    const std::size_t first = name.find_first_not_of(" \t");
    const std::size_t last = name.find_last_not_of(" \t");
    const std::string_view trimmed = first == std::string_view::npos ? "" : name.substr(first, last - first + 1);
    std::size_t characters = 0;
    for (std::size_t i = 0; i < trimmed.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(trimmed[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xe  ? 3
                                   : (lead >> 3) == 0x1e ? 4
                                                         : 0;
        if (length == 0 || i + length > trimmed.size())
            return "the name is not valid UTF-8";
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(trimmed[i + k]) & 0xc0) != 0x80)
                return "the name is not valid UTF-8";
        if (lead < 0x20 || lead == 0x7f)
            return "the name holds a control character";
        if (lead == '<' || lead == '>')
            return "the name holds markup (< or >)";
        i += length;
    }
    if (characters == 0 || characters > MaxNameCharacters)
        return "the name must have 1 to " + std::to_string(MaxNameCharacters) + " characters";
    return {};
}

SubmitOutcome submitRun(HttpClient& http, const std::string& server, const std::string& name,
                        const std::string& keys, const std::string& playerKey, const SubmitPacing& pacing) {
    Waiter waiter(pacing);
    json request = {{"name", name}, {"keys", keys}};
    if (!playerKey.empty())
        request["player_key"] = playerKey;
    // Invalid UTF-8 in the keys (a comment) is sent replaced, not refused here.
    const auto posted = post(http, server, request.dump(-1, ' ', false, json::error_handler_t::replace), waiter);
    if (const auto* outcome = std::get_if<SubmitOutcome>(&posted))
        return *outcome;
    const long id = std::get<long>(posted);
    if (pacing.queued)
        pacing.queued(id);
    const std::string runUrl = serverAddress(server, "/api/runs/" + std::to_string(id));
    Waiter looks(pacing);
    int failedInARow = 0;
    long retryAfter = -1;
    while (looks.wait(retryAfter)) {
        const HttpReply reply = http.get(runUrl);
        retryAfter = reply.retryAfter;
        if (reply.status == 200) {
            failedInARow = 0;
            if (auto outcome = verdict(http, server, parsed(reply)))
                return *outcome;
        } else if (reply.status == 404) {
            return problem("the score server at " + server + " no longer knows run " + std::to_string(id));
        } else if (reply.status == 0 && ++failedInARow >= LostLooks) {
            return problem("lost the score server at " + server + " while waiting for run " + std::to_string(id) +
                           ": " + shown(reply.error));
        }
    }
    return problem("no verdict on run " + std::to_string(id) + " within " +
                   std::to_string(pacing.verdictLimit.count() / 1000) + " s; see " + runUrl);
}

} // namespace vexlo
