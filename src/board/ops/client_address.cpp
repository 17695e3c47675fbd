#include "board/ops/client_address.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>

namespace board::ops {

std::optional<std::string> canonicalAddress(const std::string& text) {
    char out[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return inet_ntop(AF_INET, &v4, out, sizeof out);
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1)
        return std::nullopt;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, &v6.s6_addr[12], 4);
        return inet_ntop(AF_INET, &v4, out, sizeof out);
    }
    return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

bool TrustedProxies::add(const std::string& address) {
    const auto canonical = canonicalAddress(address);
    if (canonical)
        proxies_.push_back(*canonical);
    return canonical.has_value();
}

std::string TrustedProxies::client(const std::string& peer, const std::string& forwardedFor) const {
    if (forwardedFor.empty() || proxies_.empty())
        return peer;
    const auto from = canonicalAddress(peer);
    if (!from || std::find(proxies_.begin(), proxies_.end(), *from) == proxies_.end())
        return peer;
    const std::size_t comma = forwardedFor.rfind(',');
    std::string last = forwardedFor.substr(comma == std::string::npos ? 0 : comma + 1);
    last.erase(0, last.find_first_not_of(" \t"));
    last.erase(last.find_last_not_of(" \t") + 1);
    const auto hop = canonicalAddress(last);
    return hop ? *hop : peer;
}

} // namespace board::ops
