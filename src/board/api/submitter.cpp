#include "board/api/submitter.h"

#include <arpa/inet.h>

#include <cstring>

namespace board::api {

std::string submitterOf(const std::string& client) {
    in6_addr address{};
    if (inet_pton(AF_INET6, client.c_str(), &address) != 1)
        return client;
    char text[INET6_ADDRSTRLEN] = {};
    if (IN6_IS_ADDR_V4MAPPED(&address)) {
        in_addr v4{};
        std::memcpy(&v4, address.s6_addr + 12, sizeof v4);
        return inet_ntop(AF_INET, &v4, text, sizeof text) != nullptr ? text : client;
    }
    std::memset(address.s6_addr + 8, 0, 8);
    return inet_ntop(AF_INET6, &address, text, sizeof text) != nullptr ? std::string(text) + "/64" : client;
}

} // namespace board::api
