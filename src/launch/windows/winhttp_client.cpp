// The score server's requests on Windows, over WinHTTP, which comes with
// Windows: the same bounds as libcurl's on Linux (http_client.cpp): a
// connection within 5 s, the whole request within about 20 s, an answer of
// at most 1 MiB, no redirects followed, http and https only.
#include "launch/desktop/http_client.h"

#include "launch/windows/utf16.h"

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace vexlo {

namespace {

using windows::utf16;

constexpr std::size_t MaxBody = 1024 * 1024;
constexpr int ConnectLimitMs = 5000;
constexpr int RequestLimitMs = 20000;

class Internet {
public:
    explicit Internet(HINTERNET handle = nullptr) : handle_(handle) {}
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
    ~Internet() {
        if (handle_ != nullptr)
            WinHttpCloseHandle(handle_);
    }
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

// WinHTTP's commonest failures in words, where the system has none for
// them (Wine's WinHTTP, for one).
std::string winHttpText(DWORD code) {
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
        return "the operation timed out";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "the server name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "a connection with the server could not be established";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "the connection with the server was reset or ended";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "the server's answer could not be read";
    case ERROR_WINHTTP_SECURE_FAILURE:
        return "the server's certificate is not valid";
    default:
        return windows::errorText(code, L"winhttp.dll");
    }
}

std::string failure(const char* what) { return std::string(what) + ": " + winHttpText(GetLastError()); }

// A header of the answer as text; empty when it has none.
std::wstring header(HINTERNET request, DWORD which) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0)
        return {};
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(bytes / sizeof(wchar_t));
    return text;
}

long retryAfter(HINTERNET request) {
    const std::wstring text = header(request, WINHTTP_QUERY_RETRY_AFTER);
    if (text.empty())
        return -1;
    wchar_t* end = nullptr;
    const long seconds = std::wcstol(text.c_str(), &end, 10);
    return end != text.c_str() && seconds >= 0 ? seconds : -1;
}

class WinHttpClient : public HttpClient {
public:
    explicit WinHttpClient(const std::string& userAgent) {
        const std::wstring agent = utf16(userAgent);
        // The system's proxy settings where Windows knows them (8.1 and
        // later), WinHTTP's own otherwise.
        session_ = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0);
        if (session_ == nullptr)
            session_ = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0);
        if (session_ == nullptr)
            unusable_ = failure("cannot start WinHTTP");
    }
    ~WinHttpClient() override {
        if (session_ != nullptr)
            WinHttpCloseHandle(session_);
    }
    WinHttpClient(const WinHttpClient&) = delete;
    WinHttpClient& operator=(const WinHttpClient&) = delete;

    HttpReply get(const std::string& url) override { return perform(url, nullptr); }
    HttpReply postJson(const std::string& url, const std::string& body) override { return perform(url, &body); }

private:
    HttpReply perform(const std::string& url, const std::string* body) {
        HttpReply reply;
        if (session_ == nullptr) {
            reply.error = unusable_;
            return reply;
        }
        const auto start = std::chrono::steady_clock::now();
        const std::wstring address = utf16(url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts)) {
            reply.error = failure("not a web address");
            return reply;
        }
        if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
            reply.error = "only http and https are used";
            return reply;
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        if (path.empty())
            path = L"/";

        // Resolving and connecting within the connection's limit; each send
        // and receive within what is left of the whole request's.
        WinHttpSetTimeouts(session_, ConnectLimitMs, ConnectLimitMs, RequestLimitMs, RequestLimitMs);
        Internet connection(WinHttpConnect(session_, host.c_str(), parts.nPort, 0));
        if (!connection) {
            reply.error = failure("cannot connect");
            return reply;
        }
        Internet request(WinHttpOpenRequest(connection.get(), body != nullptr ? L"POST" : L"GET", path.c_str(),
                                            nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
        if (!request) {
            reply.error = failure("cannot make the request");
            return reply;
        }
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);

        const wchar_t* headers =
            body != nullptr ? L"Content-Type: application/json\r\n" : WINHTTP_NO_ADDITIONAL_HEADERS;
        const auto size = body != nullptr ? static_cast<DWORD>(body->size()) : 0;
        void* data = body != nullptr ? const_cast<char*>(body->data()) : WINHTTP_NO_REQUEST_DATA;
        if (!WinHttpSendRequest(request.get(), headers, static_cast<DWORD>(-1), data, size, size, 0) ||
            !WinHttpReceiveResponse(request.get(), nullptr)) {
            reply.error = failure("no answer");
            return reply;
        }
        DWORD status = 0, statusBytes = sizeof status;
        if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusBytes, WINHTTP_NO_HEADER_INDEX)) {
            reply.error = failure("no status in the answer");
            return reply;
        }
        std::string received;
        std::vector<char> buffer(16 * 1024);
        for (;;) {
            const auto spent = std::chrono::steady_clock::now() - start;
            if (spent > std::chrono::milliseconds(RequestLimitMs)) {
                reply.error = "the answer took longer than " + std::to_string(RequestLimitMs / 1000) + " s";
                return reply;
            }
            DWORD got = 0;
            if (!WinHttpReadData(request.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
                reply.error = failure("the answer broke off");
                return reply;
            }
            if (got == 0)
                break;
            if (received.size() + got > MaxBody) {
                reply.error = "the answer is larger than " + std::to_string(MaxBody) + " bytes";
                return reply;
            }
            received.append(buffer.data(), got);
        }
        reply.status = static_cast<long>(status);
        reply.body = std::move(received);
        reply.retryAfter = retryAfter(request.get());
        return reply;
    }

    HINTERNET session_ = nullptr;
    std::string unusable_; // why WinHTTP cannot be used
};

} // namespace

std::unique_ptr<HttpClient> makeHttpClient(const std::string& userAgent) {
    return std::make_unique<WinHttpClient>(userAgent);
}

} // namespace vexlo
