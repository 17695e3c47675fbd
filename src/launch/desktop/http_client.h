// The few HTTP requests --submit makes of a score server, over libcurl
// (opened only then) on Linux and over WinHTTP (part of Windows) on
// Windows: bounded in time and in what they take in, no redirects, http
// and https only. Behind an interface, so that the submission's rules can be tried
// against answers made up by a test.
#pragma once

#include <memory>
#include <string>

namespace vexlo {

struct HttpReply {
    long status = 0; // 0: no answer
    std::string body;
    long retryAfter = -1; // seconds, from Retry-After; -1 without
    std::string error;    // why there was no answer
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual HttpReply get(const std::string& url) = 0;
    virtual HttpReply postJson(const std::string& url, const std::string& body) = 0;
};

std::unique_ptr<HttpClient> makeCurlClient(const std::string& userAgent);
// The system's own: libcurl's on Linux, WinHTTP's on Windows.
std::unique_ptr<HttpClient> makeHttpClient(const std::string& userAgent);

} // namespace vexlo
