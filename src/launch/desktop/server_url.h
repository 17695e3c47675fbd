// The score server's address, as given by --server or the settings file:
// http:// or https://, a host, and optionally a port and a path prefix.
#pragma once

#include <string>
#include <string_view>

namespace vexlo {

// Why url is no server address, or empty when it is one.
std::string serverUrlProblem(std::string_view url);

// An address without a scheme ("127.0.0.1:8080") as a plain http one.
std::string withScheme(std::string_view url);

// The address of path (starting with '/') on the server at base.
std::string serverAddress(std::string_view base, std::string_view path);

} // namespace vexlo
