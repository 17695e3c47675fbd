// Who sent a request. Behind a proxy every request comes from the proxy's
// address; only a proxy the operator trusts (--trust-proxy ADDR) may name
// the client, by the last hop of X-Forwarded-For, which is the one it added
// itself. From any other address the header is ignored, so that nobody can
// pick the address that the rate limit and the logs see.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace board::ops {

class TrustedProxies {
public:
    // False (and nothing added) when address is not an IPv4 or IPv6 address.
    bool add(const std::string& address);
    bool empty() const { return proxies_.empty(); }
    // The client: the last hop of forwardedFor if peer is trusted and that
    // hop is an address, else peer.
    std::string client(const std::string& peer, const std::string& forwardedFor) const;

private:
    std::vector<std::string> proxies_; // in the form canonical() gives
};

// An address written the one way inet_ntop writes it (an IPv4 address
// mapped into IPv6 as IPv4); nullopt for anything else.
std::optional<std::string> canonicalAddress(const std::string& text);

} // namespace board::ops
