#include "launch/desktop/http_client.h"

#include <curl/curl.h>

#include <strings.h>

#include <cstdlib>

namespace vexlo {

namespace {

// The server's answers are small JSON objects; anything much larger is no
// answer of its.
constexpr std::size_t MaxBody = 1024 * 1024;
constexpr long ConnectLimitMs = 5000;
constexpr long RequestLimitMs = 20000;

struct Received {
    std::string body;
    long retryAfter = -1;
    bool tooLarge = false;
};

std::size_t takeBody(char* data, std::size_t size, std::size_t count, void* into) {
    auto& received = *static_cast<Received*>(into);
    const std::size_t bytes = size * count;
    if (received.body.size() + bytes > MaxBody) {
        received.tooLarge = true;
        return 0;  // curl stops with a write error
    }
    received.body.append(data, bytes);
    return bytes;
}

std::size_t takeHeader(char* data, std::size_t size, std::size_t count, void* into) {
    auto& received = *static_cast<Received*>(into);
    const std::string line(data, size * count);
    constexpr const char* Name = "retry-after:";
    if (line.size() > 12 && strncasecmp(line.c_str(), Name, 12) == 0) {
        char* end = nullptr;
        const long seconds = std::strtol(line.c_str() + 12, &end, 10);
        if (end != line.c_str() + 12 && seconds >= 0)
            received.retryAfter = seconds;
    }
    return size * count;
}

class CurlClient : public HttpClient {
public:
    explicit CurlClient(std::string userAgent) : userAgent_(std::move(userAgent)) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }
    ~CurlClient() override { curl_global_cleanup(); }
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    HttpReply get(const std::string& url) override { return perform(url, nullptr); }
    HttpReply postJson(const std::string& url, const std::string& body) override { return perform(url, &body); }

private:
    HttpReply perform(const std::string& url, const std::string* body) {
        HttpReply reply;
        CURL* curl = curl_easy_init();
        if (curl == nullptr) {
            reply.error = "cannot start libcurl";
            return reply;
        }
        Received received;
        char detail[CURL_ERROR_SIZE] = {};
        curl_slist* headers = nullptr;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, ConnectLimitMs);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, RequestLimitMs);
        curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent_.c_str());
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, takeBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, takeHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &received);
        if (body != nullptr) {
            headers = curl_slist_append(headers, "Content-Type: application/json");
            curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        }
        const CURLcode code = curl_easy_perform(curl);
        if (code == CURLE_OK) {
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
            reply.body = std::move(received.body);
            reply.retryAfter = received.retryAfter;
        } else {
            reply.error = received.tooLarge ? "the answer is larger than " + std::to_string(MaxBody) + " bytes"
                                            : (detail[0] != '\0' ? detail : curl_easy_strerror(code));
        }
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        return reply;
    }

    std::string userAgent_;
};

} // namespace

std::unique_ptr<HttpClient> makeCurlClient(const std::string& userAgent) {
    return std::make_unique<CurlClient>(userAgent);
}

} // namespace vexlo
