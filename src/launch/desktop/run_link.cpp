#include "launch/desktop/run_link.h"

#include "launch/desktop/server_url.h"
#include "replay/race.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace vexlo {

namespace {

// The value of `name=` among the fragment's '&'-separated parts.
std::optional<std::string_view> part(std::string_view fragment, std::string_view name) {
    while (!fragment.empty()) {
        const std::size_t end = fragment.find('&');
        const std::string_view item = fragment.substr(0, end);
        if (item.size() > name.size() && item.substr(0, name.size()) == name && item[name.size()] == '=')
            return item.substr(name.size() + 1);
        if (end == std::string_view::npos)
            break;
        fragment.remove_prefix(end + 1);
    }
    return std::nullopt;
}

// %XX decoded; nothing for a broken escape.
std::optional<std::string> decoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size())
            return std::nullopt;
        const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc() || end != text.data() + i + 3)
            return std::nullopt;
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

// A number of the run's answer, or none.
std::optional<long long> numberOf(const nlohmann::json& answer, const char* key) {
    const auto found = answer.find(key);
    return found != answer.end() && found->is_number_integer() ? std::optional(found->get<long long>())
                                                               : std::nullopt;
}

// The run as the window's title tells it. The name is the player's own:
// shown as written, less anything that would not show as text.
std::string aboutRun(const nlohmann::json& answer) {
    std::string about;
    const auto name = answer.find("name");
    if (name != answer.end() && name->is_string())
        for (const char c : name->get<std::string>())
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
                about += c;
    if (const auto score = numberOf(answer, "score"))
        about += ": " + std::to_string(*score) + " points";
    if (const auto rank = numberOf(answer, "rank"))
        about += ", rank " + std::to_string(*rank);
    const auto race = answer.find("race");
    const std::optional<replay::Race> named =
        race != answer.end() && race->is_string() ? replay::raceNamed(race->get<std::string>()) : std::nullopt;
    about += ", " + named.value_or(replay::Race{}).words();
    return about;
}

} // namespace

bool isLink(std::string_view text) { return text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0; }

std::optional<RunLink> parseRunLink(std::string_view url, std::string& problem) {
    const std::size_t hash = url.find('#');
    const std::string_view fragment = hash == std::string_view::npos ? "" : url.substr(hash + 1);
    const std::optional<std::string_view> run = part(fragment, "run");
    RunLink link;
    if (!run ||
        std::from_chars(run->data(), run->data() + run->size(), link.id).ptr != run->data() + run->size() ||
        link.id < 1) {
        problem = "the link names no run (index.html#run=N): " + std::string(url.substr(0, 200));
        return std::nullopt;
    }
    if (const std::optional<std::string_view> board = part(fragment, "board")) {
        const std::optional<std::string> address = decoded(*board);
        if (!address) {
            problem = "the link's board address is damaged: " + std::string(board->substr(0, 200));
            return std::nullopt;
        }
        link.board = *address;
    } else {
        // The page's own folder: the address up to its last '/'.
        const std::string_view page = url.substr(0, std::min(hash, url.find('?')));
        const std::size_t afterHost = page.find('/', page.find("://") + 3);
        link.board = std::string(afterHost == std::string_view::npos ? page : page.substr(0, page.rfind('/')));
    }
    link.board = withScheme(link.board);
    if (const std::string bad = serverUrlProblem(link.board); !bad.empty()) {
        problem = "the link's score server is " + bad;
        return std::nullopt;
    }
    if (link.board.back() != '/')
        link.board += '/';
    return link;
}

FetchedRun fetchRun(HttpClient& http, const RunLink& link, std::string& problem) {
    const std::string run = "run " + std::to_string(link.id);
    const std::string path = "/api/runs/" + std::to_string(link.id);
    auto failed = [&](const HttpReply& reply) {
        if (reply.status == 0)
            problem = "cannot reach the score server at " + link.board + ": " + reply.error;
        else if (reply.status == 404)
            problem = run + " is not on the board at " + link.board + " (unknown, or hidden by its moderators)";
        else
            problem = "the score server at " + link.board + " did not give " + run + " (status " +
                      std::to_string(reply.status) + ")";
        return FetchedRun{};
    };
    // Only a run the board shows is watched, as on the page: the server
    // keeps the keys of hidden and rejected runs too.
    const HttpReply shown = http.get(serverAddress(link.board, path));
    if (shown.status != 200)
        return failed(shown);
    const nlohmann::json answer = nlohmann::json::parse(shown.body, nullptr, false);
    const auto status = answer.is_object() ? answer.find("status") : answer.end();
    if (!answer.is_object() || status == answer.end() || !status->is_string()) {
        HttpReply unreadable;
        unreadable.status = 502;
        return failed(unreadable);
    }
    if (*status == "hidden") {
        problem = run + " is not on the board at " + link.board + " (unknown, or hidden by its moderators)";
        return {};
    }
    if (*status != "verified") {
        problem = run + " is not on the board at " + link.board + ": it has not been verified";
        return {};
    }
    const HttpReply keys = http.get(serverAddress(link.board, path + "/keys"));
    return keys.status == 200 ? FetchedRun{keys.body, aboutRun(answer)} : failed(keys);
}

} // namespace vexlo
