#include "board/api/message.h"

#include <nlohmann/json.hpp>

namespace board::api {

namespace {
constexpr std::size_t MaxErrorBytes = 300;
}

Response jsonAnswer(int status, std::string body) {
    Response response;
    response.status = status;
    response.contentType = "application/json";
    response.body = std::move(body);
    return response;
}

Response errorResponse(int status, const std::string& message) {
    std::string text = message.substr(0, MaxErrorBytes);
    while (!text.empty() && text.size() < message.size() &&
           (static_cast<unsigned char>(message[text.size()]) & 0xC0) == 0x80)
        text.pop_back(); // not in the middle of a character
    return jsonAnswer(
        status, nlohmann::json{{"error", text}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

Response preflightAnswer(const char* methods, const char* headers) {
    Response preflight;
    preflight.status = 204;
    preflight.headers = {{"Allow", methods},
                         {"Access-Control-Allow-Methods", methods},
                         {"Access-Control-Allow-Headers", headers},
                         {"Access-Control-Max-Age", "86400"}};
    return preflight;
}

void addCorsHeaders(Response& response) { response.headers.emplace_back("Access-Control-Allow-Origin", "*"); }

} // namespace board::api
