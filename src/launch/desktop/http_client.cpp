#include "launch/desktop/http_client.h"

#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include <dlfcn.h>
#include <strings.h>

#include <cstdlib>

namespace vexlo {

namespace {

// libcurl is opened when a game is sent, not linked: its libraries (TLS,
// Kerberos, LDAP ...) would add some ten milliseconds to every start of the
// game. Either of Debian's builds will do; they share the interface.
struct Curl {
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_global_cleanup) globalCleanup = nullptr;
    decltype(&curl_easy_init) init = nullptr;
    decltype(&curl_easy_setopt) setopt = nullptr;
    decltype(&curl_easy_perform) perform = nullptr;
    decltype(&curl_easy_getinfo) getinfo = nullptr;
    decltype(&curl_easy_cleanup) cleanup = nullptr;
    decltype(&curl_easy_strerror) errorText = nullptr;
    decltype(&curl_slist_append) slistAppend = nullptr;
    decltype(&curl_slist_free_all) slistFreeAll = nullptr;
};

template <typename F>
bool resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// The library, or null with `why` set. Opened once, and kept.
const Curl* openCurl(std::string& why) {
    static Curl curl;
    static std::string problem;
    static const bool opened = [] {
        void* library = nullptr;
        for (const char* name : {"libcurl.so.4", "libcurl-gnutls.so.4"})
            if (library == nullptr)
                library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            problem = "libcurl is not installed (Debian's libcurl4): " + std::string(dlerror());
            return false;
        }
        const bool all = resolve(library, "curl_global_init", curl.globalInit) &&
                         resolve(library, "curl_global_cleanup", curl.globalCleanup) &&
                         resolve(library, "curl_easy_init", curl.init) &&
                         resolve(library, "curl_easy_setopt", curl.setopt) &&
                         resolve(library, "curl_easy_perform", curl.perform) &&
                         resolve(library, "curl_easy_getinfo", curl.getinfo) &&
                         resolve(library, "curl_easy_cleanup", curl.cleanup) &&
                         resolve(library, "curl_easy_strerror", curl.errorText) &&
                         resolve(library, "curl_slist_append", curl.slistAppend) &&
                         resolve(library, "curl_slist_free_all", curl.slistFreeAll);
        if (!all)
            problem = "libcurl lacks " + std::string(dlerror());
        return all;
    }();
    why = problem;
    return opened ? &curl : nullptr;
}

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
        return 0; // curl stops with a write error
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
    explicit CurlClient(std::string userAgent) : userAgent_(std::move(userAgent)), c_(openCurl(unusable_)) {
        if (c_ != nullptr)
            c_->globalInit(CURL_GLOBAL_DEFAULT);
    }
    ~CurlClient() override {
        if (c_ != nullptr)
            c_->globalCleanup();
    }
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    HttpReply get(const std::string& url) override { return perform(url, nullptr); }
    HttpReply postJson(const std::string& url, const std::string& body) override { return perform(url, &body); }

private:
    HttpReply perform(const std::string& url, const std::string* body) {
        HttpReply reply;
        if (c_ == nullptr) {
            reply.error = unusable_;
            return reply;
        }
        CURL* curl = c_->init();
        if (curl == nullptr) {
            reply.error = "cannot start libcurl";
            return reply;
        }
        Received received;
        char detail[CURL_ERROR_SIZE] = {};
        curl_slist* headers = nullptr;
        c_->setopt(curl, CURLOPT_URL, url.c_str());
        c_->setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        c_->setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        c_->setopt(curl, CURLOPT_NOSIGNAL, 1L);
        c_->setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, ConnectLimitMs);
        c_->setopt(curl, CURLOPT_TIMEOUT_MS, RequestLimitMs);
        c_->setopt(curl, CURLOPT_USERAGENT, userAgent_.c_str());
        c_->setopt(curl, CURLOPT_ERRORBUFFER, detail);
        c_->setopt(curl, CURLOPT_WRITEFUNCTION, takeBody);
        c_->setopt(curl, CURLOPT_WRITEDATA, &received);
        c_->setopt(curl, CURLOPT_HEADERFUNCTION, takeHeader);
        c_->setopt(curl, CURLOPT_HEADERDATA, &received);
        if (body != nullptr) {
            headers = c_->slistAppend(headers, "Content-Type: application/json");
            c_->setopt(curl, CURLOPT_HTTPHEADER, headers);
            c_->setopt(curl, CURLOPT_POSTFIELDS, body->data());
            c_->setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        }
        const CURLcode code = c_->perform(curl);
        if (code == CURLE_OK) {
            c_->getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
            reply.body = std::move(received.body);
            reply.retryAfter = received.retryAfter;
        } else {
            reply.error = received.tooLarge ? "the answer is larger than " + std::to_string(MaxBody) + " bytes"
                                            : (detail[0] != '\0' ? detail : c_->errorText(code));
        }
        c_->slistFreeAll(headers);
        c_->cleanup(curl);
        return reply;
    }

    std::string userAgent_;
    std::string unusable_; // why libcurl cannot be used
    const Curl* c_;
};

} // namespace

std::unique_ptr<HttpClient> makeCurlClient(const std::string& userAgent) {
    return std::make_unique<CurlClient>(userAgent);
}

std::unique_ptr<HttpClient> makeHttpClient(const std::string& userAgent) { return makeCurlClient(userAgent); }

} // namespace vexlo
