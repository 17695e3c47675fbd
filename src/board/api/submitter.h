// Who sent a run, for the limit on runs waiting and the queue's turns.
#pragma once

#include <string>

namespace board::api {

// The client's address; for IPv6 its /64 network, which one household or
// one server is given whole, so that one sender cannot pass for many. An
// IPv4 address written as IPv6 (::ffff:a.b.c.d) is the IPv4 address.
std::string submitterOf(const std::string& client);

} // namespace board::api
