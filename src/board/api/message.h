// A request and its response as the API sees them, free of the HTTP
// library, so that the routes can be tested without sockets.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace board::api {

struct Request {
    std::string method; // as sent: "GET", "POST", "BREW", ...
    std::string target; // path and query, still percent-encoded
    std::string contentType;
    std::string authorization; // the Authorization header, for the admin routes
    std::string body;
    std::string client;                      // the peer's address, or the client a trusted proxy names
    std::string acceptEncoding, ifNoneMatch; // those headers, as sent
    std::string forwardedFor;                // X-Forwarded-For, as sent (every such header, joined by commas)
};

struct Response {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    bool headOnly = false; // a HEAD request: the headers of GET, no body
};

// A JSON answer whose body is written already.
Response jsonAnswer(int status, std::string body);

// {"error": message} with the status; a long message is cut.
Response errorResponse(int status, const std::string& message);

// The answer to OPTIONS on a path that takes `methods` (also in Allow),
// with the request headers a page may send there.
Response preflightAnswer(const char* methods, const char* headers);

// Any page may read and submit: Access-Control-Allow-Origin: *.
void addCorsHeaders(Response& response);

} // namespace board::api
